#include "jobs/taskbar/LogColors.h"

QColor LogColor(TLogColor Color, const std::optional<QColor> &DarkText) {
  switch (Color) {
  case clBlue:
    return DarkText ? QColor(98, 162, 228) : QColor(0, 0, 255);
  case clGreen:
    return DarkText ? QColor(55, 221, 130) : QColor(0, 128, 0);
  case clRed:
    return DarkText ? QColor(228, 97, 97) : QColor(255, 0, 0);
  case clGrey:
    return QColor(128, 128, 128);
  case clMaroon:
    return QColor(128, 0, 0);
  case clBlack:
    break;
  }
  return DarkText ? *DarkText : QColor(0, 0, 0);
}

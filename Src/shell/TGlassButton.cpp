#include "shell/TGlassButton.h"

#include <QPainter>
#include <QPainterPath>

const QColor TGlassButton::DesignFace(241, 245, 250);
const QColor TGlassButton::DesignFrame(164, 206, 249);

TGlassButton::TGlassButton(QWidget *parent) : QToolButton(parent) {
  setAutoRaise(true);
  // Repaint on hover so the face and frame follow the mouse.
  setAttribute(Qt::WA_Hover);
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::ArrowCursor);
  FFontColor = palette().color(QPalette::WindowText);
}

void TGlassButton::SetColors(const QColor &font, const QColor &face, const QColor &frame,
                             const QColor &pressed) {
  FFontColor = font;
  FFaceColor = face;
  FFrameColor = frame;
  FPressedColor = pressed;
  update();
}

void TGlassButton::SetImageOffset(int offset) {
  FImageOffset = offset;
  updateGeometry();
  update();
}

QSize TGlassButton::sizeHint() const {
  const int side = iconSize().width();
  int width = side + 2 * FImageOffset;
  if (!text().isEmpty())
    width = FImageOffset + side + 6 + fontMetrics().horizontalAdvance(text()) + FImageOffset;
  return {width, side + 2 * FImageOffset};
}

void TGlassButton::paintEvent(QPaintEvent *) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const bool pressed = isDown();
  const bool hot = underMouse() && isEnabled();
  if (pressed || hot) {
    QPainterPath frame;
    frame.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    p.fillPath(frame, pressed ? FPressedColor : FFaceColor);
    p.setPen(FFrameColor);
    p.drawPath(frame);
  }
  const QSize side = iconSize();
  const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
  const int top = (height() - side.height()) / 2;
  const int left = text().isEmpty() ? (width() - side.width()) / 2 : FImageOffset;
  icon().paint(&p, QRect(QPoint(left, top), side), Qt::AlignCenter, mode);
  if (!text().isEmpty()) {
    QColor font = FFontColor;
    if (!isEnabled())
      font.setAlpha(110);
    p.setPen(font);
    const QRect textRect(left + side.width() + 6, 0, width() - left - side.width() - 6, height());
    p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, text());
  }
}

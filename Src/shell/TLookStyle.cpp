#include "shell/TLookStyle.h"

#include <QStyleFactory>
#include <QStyleOption>

namespace {

bool IsIndicator(QStyle::PrimitiveElement AElement) {
  // A check box in a list is drawn through PE_IndicatorCheckBox as well.
  return AElement == QStyle::PE_IndicatorCheckBox || AElement == QStyle::PE_IndicatorRadioButton;
}

bool IsDark(const QPalette &APalette) {
  return APalette.color(QPalette::Window).lightness() < 128;
}

// A window colour whose outline shade (Fusion draws it 140 % darker) lies halfway between
// the box and its mark.
QColor OutlineWindow(const QPalette &APalette) {
  const QColor base = APalette.color(QPalette::Base);
  const QColor text = APalette.color(QPalette::Text);
  const QColor middle((base.red() + text.red()) / 2, (base.green() + text.green()) / 2,
                      (base.blue() + text.blue()) / 2);
  return middle.lighter(140);
}

} // namespace

TLookStyle::TLookStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

void TLookStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option,
                               QPainter *painter, const QWidget *widget) const {
  const auto *button = qstyleoption_cast<const QStyleOptionButton *>(option);
  if (!button || !IsIndicator(element) || !IsDark(option->palette)) {
    QProxyStyle::drawPrimitive(element, option, painter, widget);
    return;
  }
  QStyleOptionButton copy(*button);
  copy.palette.setColor(QPalette::Window, OutlineWindow(copy.palette));
  QProxyStyle::drawPrimitive(element, &copy, painter, widget);
}

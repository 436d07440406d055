// TLookStyle: the program's widget style, Fusion with check boxes and radio buttons that stay
// readable on a dark palette. Fusion outlines them in a shade darker than the window colour,
// which on a dark window is lost against the dark box.
#pragma once

#include <QProxyStyle>

class TLookStyle : public QProxyStyle {
  Q_OBJECT
public:
  TLookStyle();

  void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget = nullptr) const override;
};

// Flat toolbar button with an icon, an optional caption and the four colours the main window's
// light and dark looks set: font, face (hovered), frame and pressed face.
#pragma once

#include <QColor>
#include <QToolButton>

class TGlassButton : public QToolButton {
  Q_OBJECT
public:
  explicit TGlassButton(QWidget *parent = nullptr);

  // Colours of the form as designed, before any look is applied.
  static const QColor DesignFace;
  static const QColor DesignFrame;

  QColor FontColor() const { return FFontColor; }
  QColor FaceColor() const { return FFaceColor; }
  QColor FrameColor() const { return FFrameColor; }
  QColor PressedColor() const { return FPressedColor; }
  void SetColors(const QColor &font, const QColor &face, const QColor &frame,
                 const QColor &pressed);

  // Horizontal offset of the icon from the left edge (centred vertically).
  void SetImageOffset(int offset);
  int ImageOffset() const { return FImageOffset; }

  QSize sizeHint() const override;

protected:
  void paintEvent(QPaintEvent *event) override;

private:
  QColor FFontColor;
  QColor FFaceColor = DesignFace;
  QColor FFrameColor = DesignFrame;
  QColor FPressedColor = DesignFrame;
  int FImageOffset = 12;
};

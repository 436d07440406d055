// TPreviewerForm: the engine's stay-on-top preview window (a tool window with a close button
// only). It shows the last picture painted, scaled into its client area with the aspect kept,
// and the position in its caption. It opens at the picture's size, at most half the screen,
// beside the job window (PreviewPlacement), and the user may resize it; a picture of another
// size places it anew; closing it only marks it closed (the engine then stops
// previewing and frees it). A left button press anywhere drags it like its title bar.
// Main thread only.
#pragma once

#include <QImage>
#include <QPoint>
#include <QWidget>

#include "media/TPreviewer.h"

class TPreviewerForm : public QWidget, public TPreviewWindow {
  Q_OBJECT

public:
  TPreviewerForm();

  void Paint(const TBitmap &ABitmap, const std::string &ACaption) override;
  bool Closed() const override { return FClosed; }
  // The picture shown now.
  const QImage &Image() const { return FImage; }

protected:
  void paintEvent(QPaintEvent *AEvent) override;
  void closeEvent(QCloseEvent *AEvent) override;
  void mousePressEvent(QMouseEvent *AEvent) override;
  void mouseMoveEvent(QMouseEvent *AEvent) override;

private:
  void ShowCentred();
  // Sizes and places the window for the picture, beside the modal (job) window.
  void Place();

  QImage FImage;
  QSize FPlacedFor; // the picture size the window was placed for
  bool FClosed = false;
  // Where the left button grabbed the window (relative to its frame) when the window system
  // leaves the move to us.
  QPoint FDragOffset;
  bool FDragging = false;
};

// Installs TPreviewerForm as the engine's preview window. Main thread, at start.
void InstallPreviewerWindows();

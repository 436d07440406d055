// TPreviewerForm: the engine's stay-on-top preview window (a tool window with a close button
// only). It shows the last picture painted at 0, 0 in a client area of the picture's size and
// the position in its caption; closing it only marks it closed (the engine then stops
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

  QImage FImage;
  bool FClosed = false;
  // Where the left button grabbed the window (relative to its frame) when the window system
  // leaves the move to us.
  QPoint FDragOffset;
  bool FDragging = false;
};

// Installs TPreviewerForm as the engine's preview window. Main thread, at start.
void InstallPreviewerWindows();

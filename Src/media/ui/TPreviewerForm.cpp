#include "media/ui/TPreviewerForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "media/ui/TPictureBox.h"

TPreviewerForm::TPreviewerForm()
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint |
                           Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPreviewerForm::Paint(const TBitmap &ABitmap, const std::string &ACaption) {
  FImage = ImageOf(ABitmap).copy(); // the engine reuses its bitmap for the next frame
  if (!isVisible() && !FClosed)
    ShowCentred();
  else if (FImage.size() != size() && !FImage.isNull())
    resize(FImage.size());
  setWindowTitle(QString::fromStdString(ACaption));
  update();
}

// A modal window (the job window runs modally) blocks every window but its own: over it the
// preview could be neither moved nor closed. Standing in for it as its transient child keeps
// the preview usable without tying its lifetime to it.
void TPreviewerForm::ShowCentred() {
  if (!FImage.isNull())
    resize(FImage.size());
  if (const QWidget *modal = QApplication::activeModalWidget()) {
    winId(); // the window handle exists from here on
    windowHandle()->setTransientParent(modal->windowHandle());
  }
  if (const QScreen *screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
  show();
}

void TPreviewerForm::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  painter.drawImage(0, 0, FImage);
}

void TPreviewerForm::closeEvent(QCloseEvent *AEvent) {
  FClosed = true;
  AEvent->accept();
}

void TPreviewerForm::mousePressEvent(QMouseEvent *AEvent) {
  if (AEvent->button() != Qt::LeftButton)
    return;
  if (windowHandle() && windowHandle()->startSystemMove())
    return;
  FDragOffset = AEvent->globalPosition().toPoint() - frameGeometry().topLeft();
  FDragging = true;
}

void TPreviewerForm::mouseMoveEvent(QMouseEvent *AEvent) {
  if (FDragging && (AEvent->buttons() & Qt::LeftButton))
    move(AEvent->globalPosition().toPoint() - FDragOffset);
  else
    FDragging = false;
}

void InstallPreviewerWindows() {
  SetPreviewWindowFactory([] { return std::make_unique<TPreviewerForm>(); });
}

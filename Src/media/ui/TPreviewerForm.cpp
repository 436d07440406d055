#include "media/ui/TPreviewerForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "media/ui/PreviewUtils.h"
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
  else if (FImage.size() != FPlacedFor && !FImage.isNull())
    Place();
  setWindowTitle(QString::fromStdString(ACaption));
  update();
}

// A modal window (the job window runs modally) blocks every window but its own: over it the
// preview could be neither moved nor closed. Standing in for it as its transient child keeps
// the preview usable without tying its lifetime to it.
void TPreviewerForm::ShowCentred() {
  if (const QWidget *modal = QApplication::activeModalWidget()) {
    winId(); // the window handle exists from here on
    windowHandle()->setTransientParent(modal->windowHandle());
  }
  Place();
  show();
}

void TPreviewerForm::Place() {
  if (FImage.isNull())
    return;
  FPlacedFor = FImage.size();
  const QWidget *job = QApplication::activeModalWidget();
  const QScreen *screen = job && job->screen() ? job->screen() : QGuiApplication::primaryScreen();
  if (!screen) {
    resize(FImage.size());
    return;
  }
  // The frame's edges count: the whole window stays clear of the job window and on screen.
  // Before the window has a frame, the job window's stands in for it.
  const auto marginsOf = [](const QWidget *w) {
    const QRect outer = w->frameGeometry(), inner = w->geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                    outer.right() - inner.right(), outer.bottom() - inner.bottom());
  };
  const QMargins frame = isVisible() ? marginsOf(this) : job ? marginsOf(job) : QMargins();
  const QRect area = screen->availableGeometry();
  const QRect placed =
      PreviewPlacement(FImage.size().grownBy(frame), area,
                       job && job->isVisible() ? job->frameGeometry() : QRect());
  const QRect client = placed.marginsRemoved(frame);
  resize(client.size());
  move(placed.topLeft());
}

void TPreviewerForm::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(FittedRect(width(), height(), FImage.width(), FImage.height()), FImage);
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

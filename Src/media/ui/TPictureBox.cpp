#include "media/ui/TPictureBox.h"

#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include "media/ui/PreviewUtils.h"

QImage ImageOf(const TBitmap &ABitmap) {
  if (ABitmap.Empty())
    return {};
  QImage::Format format;
  switch (ABitmap.PixelFormat()) {
  case pf32bit:
    format = QImage::Format_RGB32; // B,G,R,A bytes on little-endian
    break;
  case pf24bit:
    format = QImage::Format_BGR888;
    break;
  default:
    return {};
  }
  return QImage(ABitmap.Bits(), ABitmap.Width(), ABitmap.Height(), ABitmap.Stride(), format);
}

TPictureBox::TPictureBox(QWidget *AParent) : QWidget(AParent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(16, 16);
}

void TPictureBox::SetBitmap(const TBitmap *ABitmap) {
  FBitmap = ABitmap;
  update();
}

void TPictureBox::SetNote(const QString &ANote) {
  FNote = ANote;
  update();
}

QRect TPictureBox::PictureRect() const {
  if (!FBitmap || FBitmap->Empty())
    return {};
  return FittedRect(width(), height(), FBitmap->Width(), FBitmap->Height());
}

void TPictureBox::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  const QRect target = PictureRect();
  if (target.isEmpty()) {
    painter.setPen(Qt::lightGray);
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, FNote);
    return;
  }
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, ImageOf(*FBitmap));
}

void TPictureBox::mouseReleaseEvent(QMouseEvent *AEvent) {
  if (AEvent->button() == Qt::LeftButton && rect().contains(AEvent->position().toPoint()))
    emit clicked();
}

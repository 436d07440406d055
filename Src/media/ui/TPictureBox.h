// TPictureBox: the preview's picture area. Paints black and draws the current frame fitted
// into it (aspect ratio kept, centred, black bars on the sides). It shows the caller's bitmap
// in place: the bitmap must outlive the box or be cleared with SetBitmap(nullptr).
#pragma once

#include <QWidget>

#include "media/TBitmap.h"

class QImage;

class TPictureBox : public QWidget {
  Q_OBJECT

public:
  explicit TPictureBox(QWidget *AParent = nullptr);

  void SetBitmap(const TBitmap *ABitmap);
  // A line shown in the middle while there is no picture ("This file has no video.").
  void SetNote(const QString &ANote);
  QString Note() const { return FNote; }
  // Where the picture is drawn now; empty when there is nothing to draw.
  QRect PictureRect() const;

signals:
  void clicked();

protected:
  void paintEvent(QPaintEvent *AEvent) override;
  void mouseReleaseEvent(QMouseEvent *AEvent) override;

private:
  const TBitmap *FBitmap = nullptr;
  QString FNote;
};

// A QImage over the bitmap's pixels (no copy); valid while the bitmap keeps its size. Null for
// an empty bitmap or a format without a matching image format.
QImage ImageOf(const TBitmap &ABitmap);

#include "media/ui/PreviewUtils.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Round to nearest, ties to even (the rounding of the track bar and frame count), kept within
// ALow ... AHigh: a file's claims can make the value any size, and NaN gives ALow.
int64_t RoundEven(double v, int64_t ALow, int64_t AHigh) {
  const double r = std::nearbyint(v);
  if (!(r > double(ALow)))
    return ALow;
  return r < double(AHigh) ? int64_t(r) : AHigh;
}

} // namespace

QString TimeText(int64_t t) {
  const int64_t seconds = t / 1000000;
  return QString::asprintf("%.2d:%.2d:%.2d.%.3d", int(seconds / 60 / 60), int(seconds / 60 % 60),
                           int(seconds % 60), int((t % 1000000) * 1000 / 1000000));
}

int FrameCountOf(int64_t AStreamDuration, int64_t AFileDuration, AVRational AFrameRate) {
  if (AFrameRate.den <= 0)
    return 0;
  const int64_t duration = AStreamDuration > 0 ? AStreamDuration : AFileDuration;
  if (duration <= 0)
    return 0;
  const double seconds = double(duration) / 1000000.0;
  return int(RoundEven(seconds * AFrameRate.num / AFrameRate.den, 0, INT_MAX));
}

int TrackBarPositionOf(int64_t APTS, int64_t ADuration, int AMax) {
  if (ADuration <= 0 || AMax <= 0)
    return 0;
  return int(RoundEven(double(AMax) * double(APTS) / double(ADuration), 0, AMax));
}

int64_t TrackBarTimeOf(int APosition, int AMax, int64_t ADuration) {
  if (AMax < 1 || ADuration <= 0)
    return 0;
  return RoundEven(double(APosition) / AMax * double(ADuration), 0, ADuration);
}

TTrackBarScale TrackBarScaleOf(int ACurrentMax, int AFrames) {
  TTrackBarScale s;
  s.Max = AFrames > 0 ? AFrames : ACurrentMax;
  s.Tick = s.Max > 10 ? s.Max / 10 : 1;
  s.Page = s.Max < 10 ? 2 : s.Max < 100 ? 5 : s.Max / 20;
  return s;
}

QRect FittedRect(int W, int H, int w, int h) {
  if (W <= 0 || H <= 0 || w <= 0 || h <= 0)
    return {};
  const double rw = double(w) / W;
  const double rh = double(h) / H;
  if (rh > rw) {
    const int margin = int(RoundEven((W - w / rh) / 2, 0, W / 2));
    return QRect(margin, 0, W - 2 * margin, H);
  }
  const int margin = int(RoundEven((H - h / rw) / 2, 0, H / 2));
  return QRect(0, margin, W, H - 2 * margin);
}

QString PropertiesSizeText(int64_t ASize, const QLocale &ALocale) {
  // The "#,0" pattern: whole numbers with group separators, halves rounded away from zero.
  auto whole = [&](double v) { return ALocale.toString(qlonglong(std::round(v))); };
  if (ASize < 1024)
    return whole(double(ASize)) + QStringLiteral(" bytes");
  if (ASize < 1048576)
    return whole(ASize / 1024.0) + QStringLiteral(" KB");
  if (ASize < 1073741824)
    return whole(ASize / 1048576.0) + QStringLiteral(" MB");
  QLocale plain = ALocale;
  plain.setNumberOptions(QLocale::OmitGroupSeparator);
  return plain.toString(ASize / 1073741824.0, 'f', 2) + QStringLiteral(" GB");
}

bool IsSinglePictureFormat(const std::string &AFormatName) {
  static const std::string pipe = "_pipe";
  return AFormatName == "image2" ||
         (AFormatName.size() > pipe.size() &&
          AFormatName.compare(AFormatName.size() - pipe.size(), pipe.size(), pipe) == 0);
}

std::string DisplayTurnFilter(int ARotation) {
  switch (ARotation) {
  case 90:
    return "transpose=cclock";
  case 180:
    return "hflip,vflip";
  case 270:
    return "transpose=clock";
  default:
    return {};
  }
}

namespace {

// APicture scaled down (never up) to fit ABox, aspect kept; at least 1x1 when ABox is.
QSize FittedSize(QSize APicture, QSize ABox) {
  if (APicture.isEmpty() || ABox.isEmpty())
    return {};
  if (APicture.width() <= ABox.width() && APicture.height() <= ABox.height())
    return APicture;
  return APicture.scaled(ABox, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

int Clamped(int AValue, int ALow, int AHigh) {
  return std::max(ALow, std::min(AValue, AHigh));
}

} // namespace

QRect PreviewPlacement(QSize APicture, const QRect &AArea, const QRect &AJob) {
  const QSize halfWide(AArea.width() / 2, AArea.height());
  const QSize halfTall(AArea.width(), AArea.height() / 2);
  if (APicture.isEmpty() || AArea.isEmpty())
    return QRect(AArea.topLeft(), APicture);
  const QRect job = AJob.intersected(AArea);
  if (job.isEmpty()) {
    QRect r(QPoint(), FittedSize(APicture, halfWide));
    r.moveCenter(AArea.center());
    return r;
  }
  struct TSide {
    QSize Room, Half;
  };
  const TSide sides[] = {
      {{AArea.right() - job.right(), AArea.height()}, halfWide}, // right
      {{job.left() - AArea.left(), AArea.height()}, halfWide},   // left
      {{AArea.width(), AArea.bottom() - job.bottom()}, halfTall}, // below
      {{AArea.width(), job.top() - AArea.top()}, halfTall},       // above
  };
  int best = -1;
  QSize bestSize;
  for (int i = 0; i < 4; ++i) {
    const QSize size = FittedSize(APicture, sides[i].Room.boundedTo(sides[i].Half));
    if (!size.isEmpty() && (best < 0 || size.width() * size.height() >
                                            bestSize.width() * bestSize.height())) {
      best = i;
      bestSize = size;
    }
  }
  QRect r(QPoint(), best < 0 ? FittedSize(APicture, halfWide) : bestSize);
  // Level with the job window's middle, moved in where that would leave the area.
  const int top = Clamped(job.center().y() - r.height() / 2, AArea.top(),
                          AArea.bottom() + 1 - r.height());
  const int left = Clamped(job.center().x() - r.width() / 2, AArea.left(),
                           AArea.right() + 1 - r.width());
  switch (best) {
  case 0:
    r.moveTopLeft(QPoint(job.right() + 1, top));
    break;
  case 1:
    r.moveTopLeft(QPoint(job.left() - r.width(), top));
    break;
  case 2:
    r.moveTopLeft(QPoint(left, job.bottom() + 1));
    break;
  case 3:
    r.moveTopLeft(QPoint(left, job.top() - r.height()));
    break;
  default:
    r.moveCenter(AArea.center());
  }
  return r;
}

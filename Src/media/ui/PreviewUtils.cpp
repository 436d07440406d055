#include "media/ui/PreviewUtils.h"

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

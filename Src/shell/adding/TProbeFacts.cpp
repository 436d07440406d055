#include "shell/adding/TProbeFacts.h"

#include <filesystem>

#include "components/filelist/LocalPath.h"
#include "media/TCustomDecoder.h"

TProbeFacts ProbeFactsOf(TCustomDecoder &ADecoder, int64_t ASize) {
  TProbeFacts facts;
  facts.Duration = ADecoder.FileStreamInfo().Duration;
  facts.Size = ASize;
  // Stream 0 of the file, not the first video stream: a file that starts with its audio
  // gets the placeholders.
  if (ADecoder.VideoStreamCount() >= 1 && ADecoder.IsVideoStream(0)) {
    TVideoStreamInfo info = ADecoder.VideoStreamInfos(0);
    facts.VideoAtStream0 = true;
    facts.FrameRate = info.FrameRate;
    facts.BitRate = info.BitRate;
    facts.Width = info.Width;
    facts.Height = info.Height;
    facts.Rotation = info.Rotation;
  }
  return facts;
}

int64_t FileSizeOf(const QString &APath) {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(LocalPathString(APath), ec);
  return ec ? 0 : static_cast<int64_t>(size);
}

QString FrameRateText(AVRational AFrameRate) {
  // An unknown rate (0/0 or x/0) reads 0.00 rather than "inf" or "nan".
  double fps = AFrameRate.den != 0 ? double(AFrameRate.num) / AFrameRate.den : 0.0;
  return QString::asprintf("%.2f fps", fps);
}

QString BitRateText(int ABitRate) {
  return ABitRate < 1 ? QStringLiteral("-") : QString::asprintf("%d kb", ABitRate / 1000);
}

QString FrameSizeText(int AWidth, int AHeight, int ARotation) {
  if (ARotation == 0)
    return QString::asprintf("%dx%d", AWidth, AHeight);
  const bool quarter = ARotation == 90 || ARotation == 270;
  return QString::asprintf("%dx%d (rotated %d degrees)", quarter ? AHeight : AWidth,
                           quarter ? AWidth : AHeight, ARotation);
}

TFileEntry FileEntryOf(const QString &APath, const TProbeFacts &AFacts, const QLocale &ALocale) {
  TFileEntry entry;
  // The caption is for reading (jobs name their outputs after it); the source keeps the bytes.
  entry.Caption = DisplayPath(LocalFileName(APath));
  int64_t rawDuration = AFacts.Duration == AV_NOPTS_VALUE ? 0 : AFacts.Duration;
  // An unknown duration (-1) reads "-".
  entry.SubItems[siDuration] = FormatDuration(rawDuration);
  entry.SubItems[siSize] = HumanSizeText(AFacts.Size, ALocale);
  entry.SubItems[siSource] = APath;
  entry.SubItems[siRawDuration] = QString::number(rawDuration);
  entry.SubItems[siRawSize] = QString::number(AFacts.Size);
  if (AFacts.VideoAtStream0) {
    entry.SubItems[siFrameRate] = FrameRateText(AFacts.FrameRate);
    entry.SubItems[siBitRate] = BitRateText(AFacts.BitRate);
    entry.SubItems[siFrameSize] = FrameSizeText(AFacts.Width, AFacts.Height, AFacts.Rotation);
  } else {
    entry.SubItems[siFrameRate] = entry.SubItems[siBitRate] = entry.SubItems[siFrameSize] =
        QStringLiteral("-");
  }
  return entry;
}

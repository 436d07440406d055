#include "burn/ui/BurnTexts.h"

#include "components/filelist/FileListUtils.h"

#include <cmath>

QString DataLineText(int FileCount, int64_t ProjectSize, const QLocale &Locale) {
  return QStringLiteral("Data: %1%2%3")
      .arg(FileCount)
      .arg(FileCount == 1 ? QStringLiteral(" file, ") : QStringLiteral(" files, "),
           SizeText(ProjectSize + 1048576, Locale));
}

QString DiscLineText(const QString &MediumType, int64_t FreeSize, const QLocale &Locale) {
  return QStringLiteral("Disc: ") + MediumType + QStringLiteral(", ") + SizeText(FreeSize, Locale);
}

QString WrittenText(double BytesWritten, double ImageSize, const QLocale &Locale) {
  auto mb = [&](double bytes) { return Locale.toString(std::round(bytes / 1048576.0), 'f', 0); };
  return QStringLiteral("Written: ") + mb(BytesWritten) + QStringLiteral(" of ") + mb(ImageSize) +
         QStringLiteral(" MB");
}

QString BurnElapsedText(int Seconds) {
  return FormatDuration(int64_t(Seconds) * 1000000);
}

QString EraseElapsedText(int Seconds) {
  return QStringLiteral("%1:%2")
      .arg(Seconds / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(Seconds % 60, 2, 10, QLatin1Char('0'));
}

QString MediumTypeText(const QString &MediumType, int MediumTypeCode) {
  // MMC profiles 0x13 (restricted overwrite) and 0x14 (sequential recording).
  if (MediumTypeCode == 0x13 || MediumTypeCode == 0x14)
    return QStringLiteral("DVD-RW");
  return MediumType;
}

QString LeftOffText(int Count) {
  return QStringLiteral("Done, but %1 listed %2 not on the disc (see the red lines above). Check "
                        "%3 and burn again.")
      .arg(Count)
      .arg(Count == 1 ? QStringLiteral("file is") : QStringLiteral("files are"),
           Count == 1 ? QStringLiteral("it") : QStringLiteral("them"));
}

#include "components/filelist/FileListUtils.h"

#include "components/filelist/LocalPath.h"

#include <cmath>
#include <limits>

QString FormatDuration(int64_t d) {
  if (d < 0)
    return QStringLiteral("-");
  const int64_t seconds = d / 1000000;
  const int64_t hours = seconds / 60 / 60;
  const int64_t minutes = (seconds / 60) % 60;
  return QString::asprintf("%.2lld:%.2lld:%.2lld", static_cast<long long>(hours),
                           static_cast<long long>(minutes), static_cast<long long>(seconds % 60));
}

QString SizeText(int64_t bytes, const QLocale &locale) {
  constexpr int64_t GiB = 1073741824;
  if (bytes <= GiB) {
    const double mb = std::round(static_cast<double>(bytes) / 1048576.0);
    return locale.toString(mb, 'f', 0) + QStringLiteral(" MB");
  }
  QLocale plain = locale;
  plain.setNumberOptions(QLocale::OmitGroupSeparator);
  return plain.toString(static_cast<double>(bytes) / GiB, 'f', 2) + QStringLiteral(" GB");
}

QString HumanSizeText(int64_t bytes, const QLocale &locale) {
  return locale.formattedDataSize(bytes);
}

int64_t RawValue(const QString &text) {
  bool ok = false;
  const qlonglong value = text.trimmed().toLongLong(&ok);
  return ok ? value : 0;
}

int64_t SaturatingAdd(int64_t a, int64_t b) {
  constexpr int64_t Max = std::numeric_limits<int64_t>::max();
  constexpr int64_t Min = std::numeric_limits<int64_t>::min();
  if (b > 0 && a > Max - b)
    return Max;
  if (b < 0 && a < Min - b)
    return Min;
  return a + b;
}

void TListTotals::Add(const TFileEntry &entry) {
  Size = SaturatingAdd(Size, RawValue(entry.SubItems.value(siRawSize)));
  const int64_t duration = RawValue(entry.SubItems.value(siRawDuration));
  if (duration > 0)
    Duration = SaturatingAdd(Duration, duration);
}

namespace {
int CompareText(const QString &a, const QString &b) {
  return QString::compare(a.toUpper(), b.toUpper(), Qt::CaseInsensitive);
}

int CompareNumbers(int64_t a, int64_t b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}
} // namespace

int CompareEntries(int column, const TFileEntry &A, const TFileEntry &B) {
  switch (column) {
  case lcName:
    return CompareText(A.Caption, B.Caption);
  case lcDuration:
    return CompareNumbers(RawValue(A.SubItems.value(siRawDuration)),
                          RawValue(B.SubItems.value(siRawDuration)));
  case lcSize:
    return CompareNumbers(RawValue(A.SubItems.value(siRawSize)),
                          RawValue(B.SubItems.value(siRawSize)));
  case lcSource:
    return CompareText(A.SubItems.value(siSource), B.SubItems.value(siSource));
  default:
    return 0;
  }
}

int CompareEntries(int column, bool descending, const TFileEntry &A, const TFileEntry &B) {
  return descending ? CompareEntries(column, B, A) : CompareEntries(column, A, B);
}

void TSortState::ColumnClicked(int column) {
  SortDescending = column == SortColumn ? !SortDescending : false;
  SortColumn = column;
}

QString FilesStatusText(int count, int64_t totalSize, int64_t totalDuration,
                        const QLocale &locale) {
  return QStringLiteral("Files: %1 (Size: %2, Duration: %3)")
      .arg(count)
      .arg(HumanSizeText(totalSize, locale), FormatDuration(totalDuration));
}

QString SelectedStatusText(int count, int64_t selectedSize, const QLocale &locale) {
  return QStringLiteral("Selected: %1 %2, %3")
      .arg(count)
      .arg(count == 1 ? QStringLiteral("file") : QStringLiteral("files"),
           HumanSizeText(selectedSize, locale));
}

std::string EntrySourceBytes(const TFileEntry &entry) {
  return LocalPathString(entry.SubItems.value(siSource));
}

std::string EntryCaptionBytes(const TFileEntry &entry) {
  return LocalPathString(entry.Caption);
}

QString EntrySourceDisplay(const TFileEntry &entry) {
  return DisplayPath(entry.SubItems.value(siSource));
}

// Plain helpers behind the main window's file list: entry layout, display texts and the sort
// compare. Kept free of widgets so they can be tested headlessly.
#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <string>

// Positions of the eight sub-items every file list entry carries after its caption.
enum TEntrySubItem : int {
  siDuration = 0,    // display duration, FormatDuration
  siSize = 1,        // display size, HumanSizeText
  siSource = 2,      // full clean path, a path text of LocalPath.h (bytes: LocalPathString)
  siRawDuration = 3, // microseconds, decimal
  siRawSize = 4,     // bytes, decimal
  siFrameRate = 5,   // "25.00 fps" or "-"
  siBitRate = 6,     // "1500 kb" or "-"
  siFrameSize = 7,   // "320x240" or "-"
  SubItemCount = 8
};

// One row of the file list: the caption (file name) plus exactly SubItemCount sub-items.
struct TFileEntry {
  QString Caption;
  QStringList SubItems = QStringList(SubItemCount);
};

// An entry's source path and caption (its file name) as the exact bytes the file system and
// the core take, and the source path for display (bytes that are not UTF-8 show as the
// replacement character). For windows that cannot include the path helpers themselves.
std::string EntrySourceBytes(const TFileEntry &entry);
std::string EntryCaptionBytes(const TFileEntry &entry);
QString EntrySourceDisplay(const TFileEntry &entry);

// Columns of the list (and sort keys).
enum TListColumn : int {
  lcName = 0,
  lcDuration = 1,
  lcSize = 2,
  lcSource = 3,
  ListColumnCount = 4
};

// "hh:mm:ss" of a duration in microseconds; divisions truncate toward zero, hours may exceed
// two digits. A negative duration is unknown (the decoder reports -1) and reads "-", like the
// other unknown facts of an entry.
QString FormatDuration(int64_t d);

// Status line size text: whole megabytes with group separators up to and including 1 GiB,
// gigabytes with two decimals above.
QString SizeText(int64_t bytes, const QLocale &locale = QLocale());

// Size of an entry and of the list's totals in the status line, in the units the Add Files
// dialog shows ("483.00 KiB", "1.21 GiB"), so a small selection is never "0 MB".
QString HumanSizeText(int64_t bytes, const QLocale &locale = QLocale());

// A raw 64-bit sub-item; text that is not a number counts as 0.
int64_t RawValue(const QString &text);

// a + b held at the limits of int64_t instead of overflowing.
int64_t SaturatingAdd(int64_t a, int64_t b);

// Totals over entries: the raw sizes, and the raw durations that are known (not negative).
// Both are held at the int64_t limits, whatever sizes and durations the files claim.
struct TListTotals {
  int64_t Size = 0;
  int64_t Duration = 0;
  void Add(const TFileEntry &entry);
};

// Sort compare of two entries for a column: negative when A belongs before B (ascending).
int CompareEntries(int column, const TFileEntry &A, const TFileEntry &B);

// The compare for a direction: descending swaps the operands.
int CompareEntries(int column, bool descending, const TFileEntry &A, const TFileEntry &B);

// Sort state of the list: a click on the current column toggles the direction, a click on
// another column sorts it ascending.
struct TSortState {
  int SortColumn = lcName;
  bool SortDescending = false;
  void ColumnClicked(int column);
};

// "Files: n (Size: ..., Duration: ...)" of the left status text.
QString FilesStatusText(int count, int64_t totalSize, int64_t totalDuration,
                        const QLocale &locale = QLocale());

// "Selected: n file(s), size" of the right status text.
QString SelectedStatusText(int count, int64_t selectedSize, const QLocale &locale = QLocale());

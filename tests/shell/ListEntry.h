// Test helper: a file list entry with the display and raw texts the adding run writes. The
// video columns hold the placeholders of a file without video at stream 0; set them where a
// test needs them.
#pragma once

#include "components/filelist/FileListUtils.h"

inline TFileEntry ListEntry(const QString &caption, const QString &path, int64_t duration,
                            int64_t size, const QLocale &locale = QLocale()) {
  TFileEntry e;
  e.Caption = caption;
  e.SubItems[siDuration] = FormatDuration(duration);
  e.SubItems[siSize] = HumanSizeText(size, locale);
  e.SubItems[siSource] = path;
  e.SubItems[siRawDuration] = QString::number(duration);
  e.SubItems[siRawSize] = QString::number(size);
  e.SubItems[siFrameRate] = e.SubItems[siBitRate] = e.SubItems[siFrameSize] = QStringLiteral("-");
  return e;
}

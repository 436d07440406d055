// Texts of the burn dialog and its windows, kept apart from the widgets so that
// they can be tested headlessly.
#pragma once

#include <QColor>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <optional>

// The burn log's colours are those of the job windows' logs.
#include "jobs/taskbar/LogColors.h"

// "Data: 3 files, 12 MB": the project with one MiB added for the file system.
QString DataLineText(int FileCount, int64_t ProjectSize, const QLocale &Locale = QLocale());
// "Disc: DVD+R, 4,482 MB".
QString DiscLineText(const QString &MediumType, int64_t FreeSize,
                     const QLocale &Locale = QLocale());
// "Written: 12 of 300 MB".
QString WrittenText(double BytesWritten, double ImageSize, const QLocale &Locale = QLocale());
// Elapsed time of a burn, "hh:mm:ss".
QString BurnElapsedText(int Seconds);
// Elapsed time of an erase, "mm:ss" (minutes of the hour).
QString EraseElapsedText(int Seconds);
// The disc type shown to the user: both DVD-RW recording modes read "DVD-RW".
QString MediumTypeText(const QString &MediumType, int MediumTypeCode);
// The end line of a burn that left listed files off the disc.
QString LeftOffText(int Count);

// Texts and figures of the job windows, kept apart from the windows so they can be checked
// alone.
#pragma once

#include <QList>
#include <QLocale>
#include <QString>
#include <cstdint>

// "hh:nn:ss" of whole seconds (hours keep counting past 99).
QString ClockText(int64_t seconds);

// Size written so far, in the units of the file list's Size column and the Add Files dialog
// (HumanSizeText: "483.00 KiB", "1.43 MiB").
QString JobSizeText(int64_t bytes, const QLocale &locale = QLocale());

// The output's file name: the caption with its extension replaced by AExtension (".mp4"),
// or AExtension added when the caption has none. An empty AExtension removes the extension.
QString OutputFileName(const QString &ACaption, const QString &AExtension);

// Percent done (remainder dropped), or -1 when there is nothing to show: no known total, or
// the current position has reached it.
int ProgressPercent(int64_t current, int64_t total);

// Remaining time of the current file: "calculation..." for its first five seconds, then the
// estimate from the share done, "N/A" when nothing or an unknown total has been reported.
QString RemainingText(int64_t current, int64_t total, int fileSeconds);

// What a stopped job left undone, ACurrent (from 0) being the file it stopped in: "File #2 of 6
// was stopped; files #3 to #6 were not converted."
QString StoppedJobText(int ACurrent, int ACount);

// The same for a job that ran several files at once: the files (from 0) that were running and
// those never started, of ACount: "Files #2 and #3 of 6 were stopped; files #4, #5 and #6 were
// not converted."
QString StoppedFilesText(const QList<int> &AStopped, const QList<int> &ANotConverted, int ACount);

// The log of a command-line run ending in "x": "log.txt" in the program's folder when that
// folder is writable (the build tree), else $XDG_STATE_HOME/quillet/log.txt (default
// ~/.local/state; an installed program's folder is read-only).
QString CommandLineLogFile();

// Replaces the command-line log with AText (AAppend: adds AText at its end); a folder that
// cannot be written is left alone.
void WriteCommandLineLog(const QString &AText, bool AAppend = false);

// The end of a batch: "2 converted, 1 failed, 0 skipped, 1 stopped".
QString BatchSummaryText(int AConverted, int AFailed, int ASkipped, int AStopped);

// What a stopped file holds, of microseconds converted and expected in all (-1: unknown):
// "Stopped at 00:00:06 of 00:00:30; the output holds what was converted".
QString StoppedAtText(int64_t current, int64_t total);

// The whole batch by duration: "All files: 40%, 00:01:10 left" (the time left estimated from the
// job's seconds so far, as RemainingText does for one file).
QString BatchProgressText(int64_t done, int64_t total, int jobSeconds);

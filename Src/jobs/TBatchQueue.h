// The saved queue of a running batch: what it converts (option string, output folder, format)
// and each file's state and output, so that a batch cut off by a crash, a kill or a logout
// can be resumed at the next start. A small JSON file, replaced atomically (a temporary file
// renamed over it) on every change, so a reader never sees half of one. Each job has a file of
// its own in the queue folder, so jobs running at the same time (two processes) never share
// one.
#pragma once

#include "jobs/TBatch.h"
#include "jobs/TJobRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <optional>

struct TSavedFile {
  QString Source;
  QString Output;       // empty until chosen
  bool Partial = false; // Output holds an unfinished conversion of this batch
  bool Resume = false;  // not converted yet: pending, running, or stopped by the program's end
};

struct TSavedBatch {
  bool Audio = false; // an audio extraction job
  qint64 Owner = 0;   // the process that runs the batch
  QString Options;
  QString OutputPath;
  QString VideoFormat;
  int AudioFormat = 0;
  QList<TSavedFile> Files;
  // When Owner started (clock ticks after boot), so that another process given the same id
  // later is not taken for it; 0: unknown.
  qint64 OwnerStart = 0;
  // The target size in MB and the audio bit rate it reckons with (TJobRecord); 0: off.
  int TargetSize = 0;
  int AudioKbps = 0;
  // The settings each file's options are built from, when they differ by source.
  std::optional<TSourceSettings> PerSource = std::nullopt;
};

// A new job's queue file in AFolder, named by this process and the time.
QString NewQueueFile(const QString &AFolder);
// The queue files in AFolder (every job's), by name.
QStringList QueueFiles(const QString &AFolder);

TSavedBatch QueueOf(const TJobRecord &AJob, const TBatch &ABatch, bool AAudio);
// False when the file cannot be written (the batch runs on unsaved).
bool SaveBatchQueue(const QString &APath, const TSavedBatch &ABatch);
// The queue a file holds; nothing when it is not one (not JSON, cut short).
std::optional<TSavedBatch> ParseBatchQueue(const QByteArray &AText);
// ABatch as this process's: a resumed queue taken over so that no other start offers it.
TSavedBatch Claimed(TSavedBatch ABatch);
// The batch's program still runs (another window, or a command-line job): not to be resumed.
bool OwnerRunning(const TSavedBatch &ABatch);
// The files to resume (Resume set), as a job: entries, their unfinished outputs, the option
// string, output folder, format and target size. The caller adds what belongs to this run (look,
// files at once, priority, queue file).
TJobRecord ResumeJob(const TSavedBatch &ABatch);

// The saved queue of a running batch: what it converts (option string, output folder, format)
// and each file's state and output, so that a batch cut off by a crash, a kill or a logout
// can be resumed at the next start. A small JSON file, replaced atomically (a temporary file
// renamed over it) on every change, so a reader never sees half of one.
#pragma once

#include "jobs/TBatch.h"
#include "jobs/TJobRecord.h"

#include <QList>
#include <QString>
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
};

TSavedBatch QueueOf(const TJobRecord &AJob, const TBatch &ABatch, bool AAudio);
// False when the file cannot be written (the batch runs on unsaved).
bool SaveBatchQueue(const QString &APath, const TSavedBatch &ABatch);
// Nothing when there is no queue or it cannot be read.
std::optional<TSavedBatch> LoadBatchQueue(const QString &APath);
// The batch's program still runs (another window, or a command-line job): not to be resumed.
bool OwnerRunning(const TSavedBatch &ABatch);
// The files to resume (Resume set), as a job: entries, their unfinished outputs, the option
// string, output folder and format. The caller adds what belongs to this run (look, files at
// once, priority, queue file).
TJobRecord ResumeJob(const TSavedBatch &ABatch);

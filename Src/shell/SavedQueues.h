// The queues of batches cut off before their end, as found at a start: those to offer (their
// program is gone and they have files left), those to forget (nothing left), those of batches
// still running (left to their program), and files that cannot be read as a queue (named to
// the user and left alone).
#pragma once

#include "jobs/TBatchQueue.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <cstddef>

struct TSavedQueue {
  QString Path;
  TSavedBatch Batch;
};

struct TSavedQueues {
  QList<TSavedQueue> Left; // to offer, in file-name order
  QStringList Done;        // no file left to convert
  int Running = 0;         // owned by a program that still runs
  QStringList Unreadable;  // "file: why"
};

// The largest queue file read.
constexpr size_t MaxQueueFileSize = 16 << 20;

// Reads every queue file of AFolder (through the guarded reader: a FIFO or an oversized file
// never stalls the start).
TSavedQueues FindSavedQueues(const QString &AFolder);
// The files the queues have left to convert.
int FilesLeft(const QList<TSavedQueue> &AQueues);
// The question whether to convert them: one text for one queue or several.
QString ResumeQuestionText(const QList<TSavedQueue> &AQueues);
// The message naming the queue files that could not be read.
QString UnreadableQueuesText(const QStringList &AUnreadable);

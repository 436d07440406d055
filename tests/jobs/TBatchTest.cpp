// The batch state apart from the windows: start order and the number running at once, the
// overwrite answers and their one-at-a-time question, a file skipped while others run, stop,
// pause and resume, what a stop by the program's end leaves to resume, failed files again,
// and the progress by duration.
#include <gtest/gtest.h>

#include "jobs/TBatch.h"
#include "jobs/TBatchQueue.h"
#include "jobs/TQueueWriter.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <algorithm>

namespace {

QStringList Sources(int ACount) {
  QStringList sources;
  for (int i = 0; i < ACount; ++i)
    sources << QStringLiteral("/in/clip%1.mp4").arg(i);
  return sources;
}

// Starts what the batch lets start, as the job window does; the outputs go to /out.
QList<int> StartAll(TBatch &ABatch) {
  QList<int> started;
  for (int next = ABatch.Next(); next >= 0; next = ABatch.Next()) {
    const QString base = QStringLiteral("clip%1").arg(next);
    const TBatch::TOutput output =
        ABatch.ChooseOutput(next, QStringLiteral("/out/"), base, QStringLiteral(".mkv"));
    if (output.Decision == TBatch::TWrite::Write) {
      ABatch.Started(next);
      started << next;
    } else if (output.Decision == TBatch::TWrite::Skip)
      ABatch.Ended(next, TFileState::Skipped);
    else
      break; // the question is open
  }
  return started;
}

bool NoFile(const QString &) {
  return false;
}

class BatchAtOnce : public testing::TestWithParam<int> {};

// Files start in list order and never more than AtOnce run; ending any one lets the next in.
TEST_P(BatchAtOnce, StartsInOrderWithAtMostAtOnceRunning) {
  const int atOnce = GetParam();
  TBatch batch(Sources(6), atOnce, NoFile);
  QList<int> order = StartAll(batch);
  EXPECT_EQ(batch.Running().size(), atOnce);
  while (!batch.Running().isEmpty()) {
    // The newest running file ends first: order must not depend on which ends.
    batch.Ended(batch.Running().last(), TFileState::Done);
    order << StartAll(batch);
    EXPECT_LE(batch.Running().size(), atOnce);
  }
  EXPECT_EQ(order, (QList<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_TRUE(batch.Finished());
  EXPECT_EQ(batch.Counted(TFileState::Done), 6);
}

// Skip ends one running file; the others run on and the batch goes on to its end.
TEST_P(BatchAtOnce, SkippingOneFileLetsTheBatchGoOn) {
  const int atOnce = GetParam();
  TBatch batch(Sources(5), atOnce, NoFile);
  StartAll(batch);
  batch.Ended(0, TFileState::Stopped);
  EXPECT_FALSE(batch.Finished());
  const QList<int> next = StartAll(batch);
  EXPECT_EQ(next, QList<int>{atOnce});
  while (!batch.Running().isEmpty()) {
    batch.Ended(batch.Running().first(), TFileState::Done);
    StartAll(batch);
  }
  EXPECT_EQ(batch.Counted(TFileState::Stopped), 1);
  EXPECT_EQ(batch.Counted(TFileState::Done), 4);
  EXPECT_TRUE(batch.File(0).Partial);
}

// Stop lets nothing more start; the batch ends when the running files have ended, and the
// files never started stay pending (not converted).
TEST_P(BatchAtOnce, StopEndsTheBatchOnceTheRunningFilesHaveEnded) {
  const int atOnce = GetParam();
  TBatch batch(Sources(6), atOnce, NoFile);
  StartAll(batch);
  batch.Stop(false);
  EXPECT_EQ(batch.Next(), -1);
  for (const int running : batch.Running()) {
    EXPECT_FALSE(batch.Finished());
    batch.Ended(running, TFileState::Stopped);
  }
  EXPECT_TRUE(batch.Finished());
  EXPECT_EQ(batch.Counted(TFileState::Stopped), atOnce);
  EXPECT_EQ(batch.Counted(TFileState::Pending), 6 - atOnce);
  EXPECT_TRUE(batch.Resumable().size() == 6 - atOnce);
}

// While paused nothing new starts, also when a running file ends; Resume lets the next in.
TEST_P(BatchAtOnce, PauseHoldsTheNextFileBackUntilResume) {
  const int atOnce = GetParam();
  TBatch batch(Sources(atOnce + 1), atOnce, NoFile);
  StartAll(batch);
  batch.Pause();
  batch.Ended(0, TFileState::Done);
  EXPECT_EQ(batch.Next(), -1);
  EXPECT_FALSE(batch.Finished());
  batch.Resume();
  EXPECT_EQ(StartAll(batch), QList<int>{atOnce});
}

INSTANTIATE_TEST_SUITE_P(FilesAtOnce, BatchAtOnce, testing::Values(1, 2, 4));

// Outputs that were there before the batch: each answer, and one question at a time.
TEST(Batch, OverwriteAnswers) {
  const struct {
    TOverwriteAnswer Answer;
    int Questions; // of three existing outputs
    int Written;
  } cases[] = {{TOverwriteAnswer::Yes, 3, 3},
               {TOverwriteAnswer::No, 3, 0},
               {TOverwriteAnswer::YesToAll, 1, 3},
               {TOverwriteAnswer::NoToAll, 1, 0}};
  for (const auto &c : cases) {
    TBatch batch(Sources(3), 2, [](const QString &) { return true; });
    int questions = 0;
    int written = 0;
    while (!batch.Finished()) {
      StartAll(batch);
      if (const int asked = batch.Asking(); asked >= 0) {
        ++questions;
        // Nothing else starts while the question is open.
        EXPECT_EQ(batch.Next(), -1);
        if (batch.Answer(c.Answer))
          batch.Started(asked);
        else
          batch.Ended(asked, TFileState::Skipped);
        continue;
      }
      for (const int running : batch.Running()) {
        batch.Ended(running, TFileState::Done);
        ++written;
      }
    }
    EXPECT_EQ(questions, c.Questions) << int(c.Answer);
    EXPECT_EQ(written, c.Written) << int(c.Answer);
    EXPECT_EQ(batch.Counted(TFileState::Skipped), 3 - c.Written);
  }
}

// Two sources of one name: the second output is numbered, nothing is asked.
TEST(Batch, OutputsOfOneNameAreNumbered) {
  TBatch batch({QStringLiteral("/a/clip.mp4"), QStringLiteral("/b/clip.mp4")}, 2, NoFile);
  const QString first =
      batch.ChooseOutput(0, QStringLiteral("/out/"), QStringLiteral("clip"), QStringLiteral(".mkv"))
          .Path;
  const TBatch::TOutput second = batch.ChooseOutput(1, QStringLiteral("/out/"),
                                                    QStringLiteral("clip"), QStringLiteral(".mkv"));
  EXPECT_EQ(first, QStringLiteral("/out/clip.mkv"));
  EXPECT_EQ(second.Path, QStringLiteral("/out/clip (2).mkv"));
  EXPECT_EQ(second.Decision, TBatch::TWrite::Write);
}

// A stop by the program's end keeps the stopped and unstarted files for a later run; what a
// file of this batch left unfinished is written again without a question, under its own name.
TEST(Batch, WhatAStopByTheProgramsEndLeavesIsResumedOverItsOwnOutput) {
  QSet<QString> disk;
  TBatch batch(Sources(4), 2, [&disk](const QString &APath) { return disk.contains(APath); });
  StartAll(batch);
  disk << batch.File(0).Output << batch.File(1).Output;
  batch.Ended(0, TFileState::Done);
  StartAll(batch);
  batch.Stop(true);
  for (const int running : batch.Running())
    batch.Ended(running, TFileState::Stopped);
  EXPECT_EQ(batch.Resumable(), (QList<int>{1, 2, 3}));
  // The next run: file 1's output is its own unfinished one.
  TBatch resumed({batch.File(1).Source, batch.File(3).Source}, 2,
                 [&disk](const QString &APath) { return disk.contains(APath); });
  resumed.SetPartialOutput(0, batch.File(1).Output);
  EXPECT_EQ(StartAll(resumed), (QList<int>{0, 1}));
  EXPECT_EQ(resumed.Asking(), -1);
  EXPECT_EQ(resumed.File(0).Output, QStringLiteral("/out/clip1.mkv"));
}

// "Convert failed again" runs only the failed files, each into the output it had.
TEST(Batch, FailedFilesRunAgainIntoTheirOwnOutputs) {
  TBatch batch(Sources(3), 1, NoFile);
  for (TFileState end : {TFileState::Failed, TFileState::Done, TFileState::Failed}) {
    StartAll(batch);
    batch.Ended(batch.Running().first(), end);
  }
  EXPECT_TRUE(batch.Finished());
  const QString firstOutput = batch.File(0).Output;
  EXPECT_EQ(batch.RetryFailed(), 2);
  EXPECT_EQ(StartAll(batch), QList<int>{0});
  EXPECT_EQ(batch.File(0).Output, firstOutput);
  batch.Ended(0, TFileState::Done);
  EXPECT_EQ(StartAll(batch), QList<int>{2});
  batch.Ended(2, TFileState::Done);
  EXPECT_EQ(batch.Counted(TFileState::Done), 3);
  EXPECT_TRUE(batch.Finished());
}

// Progress by duration: unknown durations weigh the average of the known; a running file
// counts what it has written, an ended one (any end) its whole duration.
TEST(Batch, ProgressByDuration) {
  TBatch batch(Sources(3), 2, NoFile);
  batch.SetDurations({4000000, 0, 2000000});
  EXPECT_EQ(batch.TotalDuration(), 9000000);
  StartAll(batch);
  batch.Progress(0, 1000000);
  batch.Progress(1, 99000000); // past its length: counts its length
  EXPECT_EQ(batch.DoneDuration(), 4000000);
  batch.Ended(0, TFileState::Failed);
  EXPECT_EQ(batch.DoneDuration(), 7000000);
}

// Every change of a file's state reaches the saver.
TEST(Batch, EveryStateChangeIsReported) {
  TBatch batch(Sources(2), 2, NoFile);
  int changes = 0;
  batch.OnChange = [&changes] { ++changes; };
  StartAll(batch);
  batch.Ended(0, TFileState::Done);
  batch.Ended(1, TFileState::Failed);
  EXPECT_EQ(changes, 4);
}

std::optional<TSavedBatch> Load(const QString &APath) {
  QFile file(APath);
  return ParseBatchQueue(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
}

// The saved queue reads back as the job to resume: only the files not converted, each stopped
// or cut-off one with its unfinished output; a queue that is not there or not JSON is none.
TEST(BatchQueue, SavedQueueReadsBackAsTheJobToResume) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("batch.json"));
  EXPECT_FALSE(Load(path));
  TBatch batch(Sources(4), 2, NoFile);
  StartAll(batch);
  batch.Ended(0, TFileState::Done);
  StartAll(batch); // 1 and 2 run, 3 waits: as at a kill
  TJobRecord job;
  job.Options = QStringLiteral("-c:v mpeg4 -an");
  job.OutputPath = QStringLiteral("/out/");
  job.VideoFormat = QStringLiteral("MKV");
  job.TargetSize = 700;
  job.AudioKbps = 96;
  ASSERT_TRUE(SaveBatchQueue(path, QueueOf(job, batch, false)));
  const std::optional<TSavedBatch> saved = Load(path);
  ASSERT_TRUE(saved);
  EXPECT_FALSE(saved->Audio);
  const TJobRecord resumed = ResumeJob(*saved);
  EXPECT_EQ(resumed.Options, job.Options);
  EXPECT_EQ(resumed.OutputPath, job.OutputPath);
  EXPECT_EQ(resumed.VideoFormat, job.VideoFormat);
  // A target size is resumed in two passes again, at the file's own rate.
  EXPECT_EQ(resumed.TargetSize, 700);
  EXPECT_EQ(resumed.AudioKbps, 96);
  // A queue of an earlier version, without them: one pass at the string's rate.
  EXPECT_EQ(ResumeJob(*ParseBatchQueue("{\"options\": \"-an\"}")).TargetSize, 0);
  ASSERT_EQ(resumed.Entries.size(), 3);
  EXPECT_EQ(resumed.Entries[0].SubItems[siSource], QStringLiteral("/in/clip1.mp4"));
  EXPECT_EQ(resumed.Entries[0].Caption, QStringLiteral("clip1.mp4"));
  EXPECT_EQ(resumed.PartialOutputs, (QStringList{QStringLiteral("/out/clip1.mkv"),
                                                 QStringLiteral("/out/clip2.mkv"), QString()}));
  EXPECT_FALSE(resumed.PerSource);
  // Options built per source keep the settings they are built from, effects included.
  TSourceSettings perSource;
  perSource.Settings.VideoFormat = 2;
  perSource.Settings.EncoderListFormat = 0;
  perSource.Settings.Subtitles = sbBurn;
  perSource.Settings.AudioTracks = atLanguages;
  perSource.Settings.AudioLanguages = "eng, fre";
  perSource.Settings.Custom = "1920x816";
  perSource.Effects.ef_HFlip = perSource.Effects.ef_Rotate = true;
  perSource.Effects.ef_Degrees = 2;
  job.PerSource = perSource;
  ASSERT_TRUE(SaveBatchQueue(path, QueueOf(job, batch, false)));
  EXPECT_EQ(ResumeJob(*Load(path)).PerSource, perSource);
  QFile::remove(path);
  QFile junk(path);
  junk.open(QIODevice::WriteOnly);
  junk.write("{\"files\": [");
  junk.close();
  EXPECT_FALSE(Load(path));
}

// A queue is its running program's only while a process of that id runs and, where both are
// known, started when the owner did: an id given to another process later (after a reboot)
// does not keep a queue from being offered; this process's own id is an earlier run's.
TEST(BatchQueue, TheOwnerRunsOnlyAsTheProcessThatSavedTheQueue) {
  QProcess running;
  running.start(QStringLiteral("sleep"), {QStringLiteral("60")});
  ASSERT_TRUE(running.waitForStarted());
  QProcess gone;
  gone.start(QStringLiteral("true"));
  ASSERT_TRUE(gone.waitForFinished());
  const struct {
    qint64 Owner;
    qint64 OwnerStart;
    bool Running;
  } cases[] = {
      {running.processId(), 0, true}, // start unknown: the id decides
      {running.processId(), 1, false},
      {gone.processId(), 0, false},
      {QCoreApplication::applicationPid(), 0, false},
      {0, 0, false},
  };
  for (const auto &c : cases) {
    TSavedBatch saved;
    saved.Owner = c.Owner;
    saved.OwnerStart = c.OwnerStart;
    EXPECT_EQ(OwnerRunning(saved), c.Running) << c.Owner << " " << c.OwnerStart;
  }
  // A queue this process saves (or takes over) names it with its start.
  const TSavedBatch claimed = Claimed({});
  EXPECT_EQ(claimed.Owner, QCoreApplication::applicationPid());
  EXPECT_GT(claimed.OwnerStart, 0);
  running.kill();
  running.waitForFinished();
}

// Each job has a queue file of its own; the folder's queues are every job's, nothing else.
TEST(BatchQueue, QueueFilesAreEveryJobs) {
  QTemporaryDir dir;
  const QString mine = NewQueueFile(dir.path());
  EXPECT_TRUE(QFileInfo(mine).fileName().startsWith(
      QStringLiteral("batch-%1-").arg(QCoreApplication::applicationPid())));
  for (const QString &name : {mine, dir.filePath(QStringLiteral("batch.json")),
                              dir.filePath(QStringLiteral("quillet.ini")),
                              dir.filePath(QStringLiteral("batch-1-1.json.tmp"))}) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  EXPECT_EQ(QueueFiles(dir.path()), (QStringList{mine}));
}

// The writer carries out the last request, whatever came before it, by the time it is gone:
// the window hands states over faster than the disk may take them.
TEST(BatchQueue, TheWriterLeavesTheLastRequest) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("batch.json"));
  TSavedBatch first, last;
  first.Options = QStringLiteral("-c:v mpeg4");
  last.Options = QStringLiteral("-c:v libx264");
  const struct {
    QList<std::optional<TSavedBatch>> Requests; // nothing: remove
    std::optional<QString> Left;                // the options saved, or no file
  } cases[] = {
      {{first}, first.Options},
      {{first, last, last, first, last}, last.Options},
      {{first, std::nullopt}, std::nullopt},
      {{first, std::nullopt, last}, last.Options},
  };
  for (const auto &c : cases) {
    QFile::remove(path);
    {
      TQueueWriter writer(path);
      for (const std::optional<TSavedBatch> &request : c.Requests)
        request ? writer.Save(*request) : writer.Remove();
    }
    const std::optional<TSavedBatch> saved = Load(path);
    ASSERT_EQ(bool(saved), bool(c.Left)) << c.Requests.size();
    EXPECT_EQ(saved ? saved->Options : QString(), c.Left.value_or(QString()));
  }
}

} // namespace

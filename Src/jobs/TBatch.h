// The state of one conversion batch, apart from any window: the files in list order, their
// outputs, the overwrite answers, each file's state, how many files run at once, pause and
// stop, and the batch's progress by duration. The job window drives it: it starts what Next
// names, reports each file's end, and asks the user when ChooseOutput says so.
//
// Rules: files start in list order, at most AtOnce at a time, never while paused, stopping or
// while an overwrite question is open (one question at a time: the others wait). A file whose
// output this batch left unfinished (stopped, failed, or cut off by the program's end) is
// written again over that output without a question.
// Threads: main thread only.
#pragma once

#include "jobs/TBatchOutputs.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

enum class TFileState { Pending, Running, Done, Failed, Skipped, Stopped };

struct TBatchFile {
  QString Source;
  QString Output; // once chosen
  TFileState State = TFileState::Pending;
  bool Partial = false;   // Output holds an unfinished conversion of this batch
  bool Resumable = false; // stopped by the program's end: converted again when resumed
  int64_t Duration = 0;   // microseconds, the file's weight in the batch's progress
  int64_t Converted = 0;  // microseconds written while it runs
};

enum class TOverwriteAnswer { Yes, No, YesToAll, NoToAll };

class TBatch {
public:
  // AExists tells whether a file is on disk (paths kept in their exact bytes).
  TBatch(const QStringList &ASources, int AAtOnce, std::function<bool(const QString &)> AExists);

  int AtOnce() const { return FAtOnce; }
  int Count() const { return int(FFiles.size()); }
  const TBatchFile &File(int AIndex) const { return FFiles[AIndex]; }
  // Called after every change of a file's state or output (the job saves its queue there).
  std::function<void()> OnChange;

  // A file resumed from an earlier run whose output it left unfinished.
  void SetPartialOutput(int AIndex, const QString &AOutput);
  // The sources' durations (microseconds, 0 or less when unknown). An unknown one weighs the
  // average of the known ones, one second when none is known.
  void SetDurations(const QList<int64_t> &ADurations);

  // The file to start now, or -1: none pending, AtOnce running, paused, stopping or asking.
  int Next() const;

  enum class TWrite { Write, Ask, Skip };
  struct TOutput {
    QString Path;
    TWrite Decision = TWrite::Write;
  };
  // Where file AIndex goes: AFolder (ending "/") + ABase + AExtension, numbered when this batch
  // has that name already. Ask: a file from before the batch is there and no "to all" answer
  // was given; the question is then open until Answer. Skip: "No to all" was given.
  TOutput ChooseOutput(int AIndex, const QString &AFolder, const QString &ABase,
                       const QString &AExtension);
  // The file the open question is about, or -1.
  int Asking() const { return FAskingFile; }
  // Closes the open question; true when the file is to be written.
  bool Answer(TOverwriteAnswer AAnswer);

  // File AIndex runs now, into the output ChooseOutput gave it.
  void Started(int AIndex);
  void Progress(int AIndex, int64_t AConverted);
  // The end of file AIndex: Done, Failed, Skipped or Stopped (a running one or one not started).
  void Ended(int AIndex, TFileState AState);

  void Pause() { FPaused = true; }
  void Resume() { FPaused = false; }
  bool Paused() const { return FPaused; }
  // No further file starts; the running ones are to be stopped by the caller. AResumable: the
  // program is ending, so the files not converted are kept for a later run.
  void Stop(bool AResumable);
  bool Stopping() const { return FStopping; }
  bool StoppedResumably() const { return FStopping && FResumable; }
  // Nothing runs and nothing more will start.
  bool Finished() const;
  // Failed files back to pending, to be written over their own outputs; their number.
  int RetryFailed();

  int Counted(TFileState AState) const;
  QList<int> Running() const;
  QList<int> Resumable() const; // pending, running, or stopped by the program's end
  int64_t TotalDuration() const { return FTotal; }
  int64_t DoneDuration() const;

private:
  void Changed();

  QList<TBatchFile> FFiles;
  int FAtOnce;
  TBatchOutputs FOutputs;
  int FAskingFile = -1;
  enum { oaAsk, oaYes, oaNo } FAll = oaAsk;
  bool FPaused = false;
  bool FStopping = false;
  bool FResumable = false;
  int64_t FTotal = 0;
};

#include "jobs/TBatch.h"

#include <algorithm>

TBatch::TBatch(const QStringList &ASources, int AAtOnce,
               std::function<bool(const QString &)> AExists)
    : FAtOnce(std::max(AAtOnce, 1)), FOutputs(std::move(AExists)) {
  for (const QString &source : ASources) {
    TBatchFile file;
    file.Source = source;
    FFiles.append(file);
  }
}

void TBatch::SetPartialOutput(int AIndex, const QString &AOutput) {
  FFiles[AIndex].Output = AOutput;
  FFiles[AIndex].Partial = true;
  FOutputs.Claim(AOutput);
}

void TBatch::SetDurations(const QList<int64_t> &ADurations) {
  int64_t known = 0;
  int measured = 0;
  for (const int64_t duration : ADurations)
    if (duration > 0) {
      known += duration;
      ++measured;
    }
  const int64_t standIn = measured > 0 ? known / measured : 1000000;
  FTotal = 0;
  for (int i = 0; i < Count() && i < ADurations.size(); ++i) {
    FFiles[i].Duration = ADurations[i] > 0 ? ADurations[i] : standIn;
    FTotal += FFiles[i].Duration;
  }
}

int TBatch::Next() const {
  if (FPaused || FStopping || FAskingFile >= 0 || Running().size() >= FAtOnce)
    return -1;
  for (int i = 0; i < Count(); ++i)
    if (FFiles[i].State == TFileState::Pending)
      return i;
  return -1;
}

TBatch::TOutput TBatch::ChooseOutput(int AIndex, const QString &AFolder, const QString &ABase,
                                     const QString &AExtension) {
  TBatchFile &file = FFiles[AIndex];
  if (file.Partial)
    return {file.Output, TWrite::Write};
  const TBatchOutputs::TChoice choice = FOutputs.Choose(file.Source, AFolder, ABase, AExtension);
  file.Output = choice.Path;
  if (!choice.Existing || FAll == oaYes) {
    FOutputs.Claim(choice.Path);
    return {choice.Path, TWrite::Write};
  }
  if (FAll == oaNo)
    return {choice.Path, TWrite::Skip};
  FAskingFile = AIndex;
  return {choice.Path, TWrite::Ask};
}

bool TBatch::Answer(TOverwriteAnswer AAnswer) {
  if (AAnswer == TOverwriteAnswer::YesToAll)
    FAll = oaYes;
  else if (AAnswer == TOverwriteAnswer::NoToAll)
    FAll = oaNo;
  const bool write = AAnswer == TOverwriteAnswer::Yes || AAnswer == TOverwriteAnswer::YesToAll;
  if (write && FAskingFile >= 0)
    FOutputs.Claim(FFiles[FAskingFile].Output);
  FAskingFile = -1;
  return write;
}

void TBatch::Started(int AIndex) {
  TBatchFile &file = FFiles[AIndex];
  file.State = TFileState::Running;
  file.Converted = 0;
  Changed();
}

void TBatch::Progress(int AIndex, int64_t AConverted) {
  FFiles[AIndex].Converted = std::clamp<int64_t>(AConverted, 0, FFiles[AIndex].Duration);
}

void TBatch::Ended(int AIndex, TFileState AState) {
  TBatchFile &file = FFiles[AIndex];
  const bool wasRunning = file.State == TFileState::Running;
  file.State = AState;
  file.Converted = 0;
  // What a started file left behind is this batch's own: a later run replaces it unasked.
  file.Partial = wasRunning && AState != TFileState::Done;
  file.Resumable = AState == TFileState::Stopped && StoppedResumably();
  Changed();
}

void TBatch::Stop(bool AResumable) {
  FStopping = true;
  FResumable = AResumable;
  FPaused = false;
  Changed();
}

bool TBatch::Finished() const {
  return Running().isEmpty() && FAskingFile < 0 && (FStopping || Counted(TFileState::Pending) == 0);
}

int TBatch::RetryFailed() {
  int count = 0;
  for (TBatchFile &file : FFiles)
    if (file.State == TFileState::Failed) {
      file.State = TFileState::Pending;
      // Its output name is this batch's already, whether anything was written or not.
      file.Partial = !file.Output.isEmpty();
      ++count;
    }
  FStopping = false;
  Changed();
  return count;
}

int TBatch::Counted(TFileState AState) const {
  return int(std::count_if(FFiles.begin(), FFiles.end(),
                           [AState](const TBatchFile &AFile) { return AFile.State == AState; }));
}

QList<int> TBatch::Running() const {
  QList<int> running;
  for (int i = 0; i < Count(); ++i)
    if (FFiles[i].State == TFileState::Running)
      running << i;
  return running;
}

QList<int> TBatch::Resumable() const {
  QList<int> files;
  for (int i = 0; i < Count(); ++i)
    if (FFiles[i].State == TFileState::Pending || FFiles[i].State == TFileState::Running ||
        FFiles[i].Resumable)
      files << i;
  return files;
}

int64_t TBatch::DoneDuration() const {
  int64_t done = 0;
  for (const TBatchFile &file : FFiles)
    done += file.State == TFileState::Pending   ? 0
            : file.State == TFileState::Running ? file.Converted
                                                : file.Duration;
  return done;
}

void TBatch::Changed() {
  if (OnChange)
    OnChange();
}

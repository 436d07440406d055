#include "components/encoder/TFFmpegList.h"

#include <algorithm>
#include <stdexcept>

#include "transcode/common/TextFormat.h"

int TFFmpegList::Add(std::shared_ptr<TFFmpeg> AEngine) {
  std::lock_guard lock(FLock);
  AEngine->FTaskIndex = int(FList.size());
  FList.push_back(std::move(AEngine));
  return int(FList.size()) - 1;
}

void TFFmpegList::Clear() {
  std::vector<std::shared_ptr<TFFmpeg>> gone;
  {
    std::lock_guard lock(FLock);
    gone.swap(FList);
  }
}

void TFFmpegList::Delete(int AIndex) {
  std::shared_ptr<TFFmpeg> gone;
  std::lock_guard lock(FLock);
  CheckIndex(AIndex);
  gone = std::move(FList[AIndex]);
  FList.erase(FList.begin() + AIndex);
  for (size_t i = AIndex; i < FList.size(); i++)
    if (FList[i])
      FList[i]->FTaskIndex = int(i);
}

void TFFmpegList::Release(int AIndex) {
  std::shared_ptr<TFFmpeg> gone;
  std::lock_guard lock(FLock);
  CheckIndex(AIndex);
  gone.swap(FList[AIndex]);
}

std::shared_ptr<TFFmpeg> TFFmpegList::Get(int AIndex) const {
  std::lock_guard lock(FLock);
  CheckIndex(AIndex);
  return FList[AIndex];
}

int TFFmpegList::Count() const {
  std::lock_guard lock(FLock);
  return int(FList.size());
}

void TFFmpegList::ForEach(const std::function<void(TFFmpeg &)> &AAction) const {
  for (const std::shared_ptr<TFFmpeg> &engine : Snapshot())
    AAction(*engine);
}

bool TFFmpegList::Any(const std::function<bool(const TFFmpeg &)> &APredicate) const {
  const std::vector<std::shared_ptr<TFFmpeg>> engines = Snapshot();
  return std::any_of(engines.begin(), engines.end(),
                     [&](const std::shared_ptr<TFFmpeg> &e) { return APredicate(*e); });
}

std::vector<std::shared_ptr<TFFmpeg>> TFFmpegList::Snapshot() const {
  std::lock_guard lock(FLock);
  std::vector<std::shared_ptr<TFFmpeg>> engines;
  for (const std::shared_ptr<TFFmpeg> &engine : FList)
    if (engine)
      engines.push_back(engine);
  return engines;
}

void TFFmpegList::CheckIndex(int AIndex) const {
  if (AIndex < 0 || AIndex >= int(FList.size()))
    throw std::out_of_range(Format("List index out of bounds (%d)", AIndex));
}

#include "components/TLogQueue.h"

#include <cstring>
#include <utility>

void TLogItem::SetText(const char *text, size_t length, size_t granule) {
  if (length < sizeof LogMsg) {
    ExtraMsg.reset();
    ExtraSize = 0;
    std::memcpy(LogMsg, text, length);
    LogMsg[length] = 0;
    return;
  }
  const size_t size = (length / granule + 1) * granule;
  auto buffer = std::make_unique<char[]>(size); // zero-filled
  std::memcpy(buffer.get(), text, length);
  ExtraMsg = std::move(buffer);
  ExtraSize = size;
  LogMsg[0] = 0;
}

TLogItem TLogItem::Clone() const {
  TLogItem copy;
  copy.LogTime = LogTime;
  copy.LogType = LogType;
  copy.Reporter = Reporter;
  copy.ThreadID = ThreadID;
  copy.FromMainThread = FromMainThread;
  copy.LogLevel = LogLevel;
  copy.Repeats = Repeats;
  std::memcpy(copy.LogMsg, LogMsg, sizeof LogMsg);
  std::memcpy(copy.ReporterInfo, ReporterInfo, sizeof ReporterInfo);
  if (ExtraMsg) {
    copy.ExtraMsg = std::make_unique<char[]>(ExtraSize);
    std::memcpy(copy.ExtraMsg.get(), ExtraMsg.get(), ExtraSize);
    copy.ExtraSize = ExtraSize;
  }
  return copy;
}

void TLogQueue::Push(TLogItem &&item) {
  bool wasEmpty;
  {
    std::lock_guard lock(FLock);
    wasEmpty = FHeader == FTailer;
    size_t slot = FTailer;
    FTailer = Next(FTailer);
    if (FTailer == FHeader) { // full: drop the oldest
      FList[FHeader].ExtraMsg.reset();
      FHeader = Next(FHeader);
    }
    FList[slot] = std::move(item);
  }
  // The consumer only waits on an empty queue.
  if (wasEmpty)
    FEvent.notify_all();
}

bool TLogQueue::PopLocked(TLogItem &item) {
  if (FHeader == FTailer)
    return false;
  item = std::move(FList[FHeader]); // leaves the slot without ExtraMsg
  FHeader = Next(FHeader);
  return true;
}

bool TLogQueue::Pop(TLogItem &item) {
  std::lock_guard lock(FLock);
  return PopLocked(item);
}

bool TLogQueue::TakeByThread(uint32_t threadID, TLogItem &item) {
  std::lock_guard lock(FLock);
  for (size_t i = FHeader; i != FTailer; i = Next(i)) {
    if (FList[i].ThreadID != threadID)
      continue;
    item = std::move(FList[i]);
    for (size_t j = i, k = Next(i); k != FTailer; j = k, k = Next(k))
      FList[j] = std::move(FList[k]);
    FTailer = (FTailer + SlotCount - 1) % SlotCount;
    FList[FTailer] = TLogItem();
    return true;
  }
  return false;
}

void TLogQueue::Clear() {
  {
    std::lock_guard lock(FLock);
    for (TLogItem &slot : FList)
      slot = TLogItem();
    FHeader = FTailer = 0;
  }
  FEvent.notify_all();
}

size_t TLogQueue::Count() const {
  std::lock_guard lock(FLock);
  return (FTailer + SlotCount - FHeader) % SlotCount;
}

bool TLogQueue::WaitPop(TLogItem &item, const std::atomic<bool> &stop) {
  std::unique_lock lock(FLock);
  FEvent.wait(lock, [&] { return FHeader != FTailer || stop; });
  return PopLocked(item);
}

void TLogQueue::Stop(std::atomic<bool> &stop) {
  {
    std::lock_guard lock(FLock);
    stop = true;
  }
  FEvent.notify_all();
}

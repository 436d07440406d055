#include "media/TCircularBuffer.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

int64_t RoundedCapacity(int64_t ACapacity) {
  const int64_t unit = TCircularBuffer::CapacityUnit;
  return ACapacity <= 0 ? 0 : (ACapacity + unit - 1) / unit * unit;
}

// The largest capacity an int holds, a whole number of units.
constexpr int64_t MaxCapacity =
    INT_MAX / TCircularBuffer::CapacityUnit * TCircularBuffer::CapacityUnit;

// Growth step at a capacity: a quarter of it, 16 bytes while it is at most 64, 4 below 9.
int64_t GrowthStep(int64_t ACapacity) {
  if (ACapacity > 64)
    return ACapacity / 4;
  return ACapacity > 8 ? 16 : 4;
}

} // namespace

TCircularBuffer::TCircularBuffer(int ACapacity) {
  InitBuffer(ACapacity);
  Reset();
}

TCircularBuffer::~TCircularBuffer() {
  FreeBuffer();
}

void TCircularBuffer::InitBuffer(int ACapacity) {
  std::lock_guard lock(FLock);
  FHead = 0;
  FTail = 0;
  ResizeLocked(RoundedCapacity(ACapacity));
  FSpaceSignalled = true;
  FSpaceEvent.notify_all();
}

void TCircularBuffer::FreeBuffer() {
  Terminate();
  std::lock_guard lock(FLock);
  FMemory.reset();
  FCapacity = 0;
  FHead = 0;
  FTail = 0;
}

void TCircularBuffer::Reset() {
  std::lock_guard lock(FLock);
  FHead = 0;
  FTail = 0;
  FWriteCount = 0;
  FReadCount = 0;
  FEndOfWriting = false;
  FTerminated = false;
  FSpaceSignalled = true;
  FSpaceEvent.notify_all();
}

void TCircularBuffer::EndWriting() {
  std::lock_guard lock(FLock);
  FEndOfWriting = true;
  FDataSignalled = true;
  FDataEvent.notify_all();
}

void TCircularBuffer::Terminate() {
  std::unique_lock lock(FLock);
  FTerminated = true;
  FDataSignalled = true;
  FSpaceSignalled = true;
  FDataEvent.notify_all();
  FSpaceEvent.notify_all();
  FWaitersLeft.wait(lock, [this] { return FWaiters == 0; });
}

void TCircularBuffer::WaitLocked(std::unique_lock<std::mutex> &ALock,
                                 std::condition_variable &AEvent, const bool &ASignalled) {
  ++FWaiters;
  AEvent.wait(ALock, [&] { return ASignalled; });
  if (--FWaiters == 0)
    FWaitersLeft.notify_all();
}

int64_t TCircularBuffer::DataSize() {
  std::lock_guard lock(FLock);
  return HeldLocked();
}

int TCircularBuffer::Discard(int ACount) {
  std::lock_guard lock(FLock);
  if (FTerminated)
    return -1;
  const int count = int(std::min<int64_t>(std::max(ACount, 0), HeldLocked()));
  FHead = int((int64_t(FHead) + count) % std::max(FCapacity, 1));
  FSpaceSignalled = true;
  FSpaceEvent.notify_all();
  return count;
}

int TCircularBuffer::Read(void *ABuffer, int ACount) {
  if (ACount <= 0)
    return 0;
  std::unique_lock lock(FLock);
  for (;;) {
    if (FTerminated)
      return -1;
    if (HeldLocked() > 0)
      break;
    if (FEndOfWriting)
      return -1;
    FDataSignalled = false;
    if (!FWaitForData)
      return 0;
    WaitLocked(lock, FDataEvent, FDataSignalled);
  }
  const int count = int(std::min<int64_t>(ACount, HeldLocked()));
  CopyOut(static_cast<uint8_t *>(ABuffer), count);
  FHead = (FHead + count) % FCapacity;
  FReadCount += count;
  FSpaceSignalled = true;
  FSpaceEvent.notify_all();
  return count;
}

int TCircularBuffer::Write(const void *ABuffer, int ACount) {
  if (ACount <= 0)
    return 0;
  std::unique_lock lock(FLock);
  for (;;) {
    if (FTerminated)
      return -1;
    const int64_t space = FreeLocked();
    if (space >= ACount)
      break;
    if (MayGrowLocked(ACount)) {
      if (int64_t(FCapacity) >= MaxCapacity)
        return -1; // can never fit
      GrowLocked(ACount - space);
      continue;
    }
    FSpaceSignalled = false;
    if (!FWaitForSpace)
      return 0;
    WaitLocked(lock, FSpaceEvent, FSpaceSignalled);
  }
  CopyIn(static_cast<const uint8_t *>(ABuffer), ACount);
  FTail = (FTail + ACount) % FCapacity;
  FWriteCount += ACount;
  FDataSignalled = true;
  FDataEvent.notify_all();
  return ACount;
}

int64_t TCircularBuffer::HeldLocked() const {
  return FCapacity == 0 ? 0 : (int64_t(FCapacity) + FTail - FHead) % FCapacity;
}

int64_t TCircularBuffer::FreeLocked() const {
  return FCapacity == 0 ? 0 : (int64_t(FCapacity) + FHead - FTail - 1) % FCapacity;
}

bool TCircularBuffer::MayGrowLocked(int ACount) const {
  return (FAutoGrow && FCapacity < FAutoGrowMax) || ACount >= FCapacity;
}

// Adds growth steps until they exceed the missing space; the bytes held keep their order.
void TCircularBuffer::GrowLocked(int64_t AMissing) {
  int64_t added = 0;
  while (added <= AMissing)
    added += GrowthStep(FCapacity);
  ResizeLocked(std::min(RoundedCapacity(FCapacity + added), MaxCapacity));
}

// Moves the bytes held to the start of a new area of ACapacity (which holds them all).
void TCircularBuffer::ResizeLocked(int64_t ACapacity) {
  const int held = int(std::min(HeldLocked(), std::max<int64_t>(ACapacity - 1, 0)));
  std::unique_ptr<uint8_t[]> memory(ACapacity > 0 ? new uint8_t[size_t(ACapacity)] : nullptr);
  if (held > 0)
    CopyOut(memory.get(), held);
  FMemory = std::move(memory);
  FCapacity = int(ACapacity);
  FHead = 0;
  FTail = ACapacity > 0 ? held : 0;
}

void TCircularBuffer::CopyIn(const uint8_t *ASource, int ACount) {
  const int first = std::min(ACount, FCapacity - FTail);
  std::memcpy(FMemory.get() + FTail, ASource, size_t(first));
  std::memcpy(FMemory.get(), ASource + first, size_t(ACount - first));
}

void TCircularBuffer::CopyOut(uint8_t *ATarget, int ACount) const {
  const int first = std::min(ACount, FCapacity - FHead);
  std::memcpy(ATarget, FMemory.get() + FHead, size_t(first));
  std::memcpy(ATarget + first, FMemory.get(), size_t(ACount - first));
}

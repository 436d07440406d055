// TCircularBuffer: a thread-safe ring of bytes between one writer and one reader (the engine's
// audio preview: the conversion thread writes decoded audio, the wave player's refill thread
// reads it).
//
// One byte of the area always stays free, so head == tail means empty: a capacity of 8192 holds
// at most 8191 bytes. Capacities are rounded up to a multiple of 8192 bytes.
//
// Write grows the area when it lacks space and AutoGrow is on (up to AutoGrowMax, or always
// when one write is at least the whole capacity); otherwise it waits for space (WaitForSpace)
// or returns 0. Read waits for data (WaitForData) or returns 0; on an empty buffer after
// EndWriting it returns -1. Terminate wakes and refuses every waiting and later Read, Write and
// Discard (-1) until Reset; it returns once every waiting thread has left.
//
// Threads: every operation may be called from any thread; all fields are guarded by one lock.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

class TCircularBuffer {
public:
  static constexpr int DefaultCapacity = 1048576;
  static constexpr int CapacityUnit = 8192;

  explicit TCircularBuffer(int ACapacity = DefaultCapacity);
  ~TCircularBuffer();
  TCircularBuffer(const TCircularBuffer &) = delete;
  TCircularBuffer &operator=(const TCircularBuffer &) = delete;

  // Replaces the area by an empty one of ACapacity (rounded up; 0 frees it). A waiting writer
  // sees the new space.
  void InitBuffer(int ACapacity);
  // Terminate, then free the area.
  void FreeBuffer();
  // Empties the buffer, clears the totals, end of writing and terminated.
  void Reset();
  // No more data will come: a reader of an empty buffer gets -1 instead of waiting.
  void EndWriting();
  // Wakes every waiter; Read, Write and Discard return -1 until Reset. Sleeps 10 ms so that
  // woken threads leave before the caller goes on.
  void Terminate();

  // Bytes held.
  int64_t DataSize();
  // Drops up to ACount bytes from the head; the count dropped, -1 when terminated.
  int Discard(int ACount);
  // Copies up to ACount bytes into ABuffer; the count copied, 0 (nothing and not waiting) or -1
  // (terminated, or empty after EndWriting).
  int Read(void *ABuffer, int ACount);
  // Appends ACount bytes; ACount, 0 (no space and not waiting) or -1 (terminated).
  int Write(const void *ABuffer, int ACount);

  int Capacity() { return Locked(FCapacity); }
  int64_t WriteCount() { return Locked(FWriteCount); }
  int64_t ReadCount() { return Locked(FReadCount); }
  void SetAutoGrow(bool AValue) { SetLocked(FAutoGrow, AValue); }
  void SetAutoGrowMax(int AValue) { SetLocked(FAutoGrowMax, AValue); }
  void SetWaitForData(bool AValue) { SetLocked(FWaitForData, AValue); }
  void SetWaitForSpace(bool AValue) { SetLocked(FWaitForSpace, AValue); }

private:
  template <typename T> T Locked(const T &AField) {
    std::lock_guard lock(FLock);
    return AField;
  }
  template <typename T> void SetLocked(T &AField, T AValue) {
    std::lock_guard lock(FLock);
    AField = AValue;
  }
  // Waits for the event with FLock held by ALock, counted among the waiters.
  void WaitLocked(std::unique_lock<std::mutex> &ALock, std::condition_variable &AEvent,
                  const bool &ASignalled);
  // Both need FLock held.
  int64_t HeldLocked() const;
  int64_t FreeLocked() const;
  bool MayGrowLocked(int ACount) const;
  void GrowLocked(int64_t AMissing);
  void ResizeLocked(int64_t ACapacity);
  void CopyIn(const uint8_t *ASource, int ACount);
  void CopyOut(uint8_t *ATarget, int ACount) const;

  std::unique_ptr<uint8_t[]> FMemory;
  int FCapacity = 0;
  int FHead = 0;
  int FTail = 0;
  int64_t FWriteCount = 0;
  int64_t FReadCount = 0;
  std::mutex FLock;
  // Manual-reset events: the flag stays set until reset; waiters wait on the variable.
  std::condition_variable FDataEvent;
  std::condition_variable FSpaceEvent;
  bool FDataSignalled = false;
  bool FSpaceSignalled = false;
  bool FAutoGrow = true;
  int FAutoGrowMax = 16777216;
  bool FWaitForData = true;
  bool FWaitForSpace = true;
  bool FEndOfWriting = false;
  bool FTerminated = false;
  // Threads inside a wait; Terminate returns once they have all left, so the buffer may be
  // freed right after it.
  int FWaiters = 0;
  std::condition_variable FWaitersLeft;
};

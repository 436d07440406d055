// TLogItem and TLogQueue: the fixed-size records of the logger and the ring that carries them
// between producers and the log thread. A producer only formats into an item and copies it into
// the pre-allocated ring; the heap is used only for texts of 2048 bytes or more.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "components/TFFLogger.h"

enum TLogType { ltAVLog, ltLogger };

struct TLogItem {
  std::chrono::system_clock::time_point LogTime{}; // created, or the last folded repeat
  TLogType LogType = ltAVLog;
  const void *Reporter = nullptr; // ltAVLog: library context; ltLogger: the Sender TObject
  uint32_t ThreadID = 0;
  bool FromMainThread = false;
  TLogLevel LogLevel = llQuiet;
  int Repeats = 0;                  // folded repeats (last-line copy only)
  std::unique_ptr<char[]> ExtraMsg; // the text when it does not fit LogMsg
  size_t ExtraSize = 0;
  char LogMsg[2048] = {};
  char ReporterInfo[256] = {}; // "[class.name] " prefix

  const char *Text() const { return ExtraMsg ? ExtraMsg.get() : LogMsg; }
  char *Text() { return ExtraMsg ? ExtraMsg.get() : LogMsg; }
  size_t Capacity() const { return ExtraMsg ? ExtraSize : sizeof LogMsg; }
  // Replaces the text; texts that do not fit LogMsg go to an ExtraMsg of a multiple of
  // `granule` bytes greater than their length.
  void SetText(const char *text, size_t length, size_t granule);
  // A copy with its own ExtraMsg.
  TLogItem Clone() const;
};

// Ring of 256 slots holding at most 255 items; when full the oldest item is dropped.
class TLogQueue {
public:
  static constexpr size_t SlotCount = 256;

  void Push(TLogItem &&item);
  bool Pop(TLogItem &item);
  // Removes the first item of thread `threadID`; the items behind it move up.
  bool TakeByThread(uint32_t threadID, TLogItem &item);
  void Clear();
  size_t Count() const;
  // Waits until an item can be popped (true) or `stop` is set on an empty queue (false).
  bool WaitPop(TLogItem &item, const std::atomic<bool> &stop);
  // Sets a WaitPop stop flag without losing the wake-up.
  void Stop(std::atomic<bool> &stop);

private:
  static size_t Next(size_t index) { return (index + 1) % SlotCount; }
  bool PopLocked(TLogItem &item);

  mutable std::mutex FLock;
  std::condition_variable FEvent;
  std::array<TLogItem, SlotCount> FList;
  size_t FHeader = 0; // oldest item
  size_t FTailer = 0; // next free slot
};

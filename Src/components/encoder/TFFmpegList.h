// TFFmpegList: the encoder component's tasks, one engine per slot; index = task index. A slot
// is empty once its engine has been released (the list keeps its length then).
// Threads: the component's thread adds, deletes and clears (only while no task runs); a
// termination delivery thread may release a slot while the component's thread broadcasts, so
// every operation takes the list's lock, and engines are destroyed outside it (destroying a
// running engine waits for its task, whose events must not meet a held lock).
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "components/encoder/TFFmpeg.h"

class TFFmpegList {
public:
  // Appends; returns the new index (also stored in the engine's TaskIndex).
  int Add(std::shared_ptr<TFFmpeg> AEngine);
  // Frees every engine and empties the list.
  void Clear();
  // Frees the engine and removes the slot: later tasks move down one index.
  void Delete(int AIndex);
  // Frees the engine and empties the slot (the list keeps its length).
  void Release(int AIndex);
  // The engine of a slot (null for an empty slot); throws std::out_of_range
  // "List index out of bounds (%d)" outside 0..Count-1.
  std::shared_ptr<TFFmpeg> Get(int AIndex) const;
  int Count() const;
  // Calls AAction for every engine of a non-empty slot, outside the lock.
  void ForEach(const std::function<void(TFFmpeg &)> &AAction) const;
  bool Any(const std::function<bool(const TFFmpeg &)> &APredicate) const;

private:
  std::vector<std::shared_ptr<TFFmpeg>> Snapshot() const;
  void CheckIndex(int AIndex) const;

  mutable std::mutex FLock;
  std::vector<std::shared_ptr<TFFmpeg>> FList;
};

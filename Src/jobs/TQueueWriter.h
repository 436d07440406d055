// Keeps a batch's queue file up to date from a thread of its own. Every write is synced to the
// disk, which can take long on a busy or slow disk; the job window hands the state over and
// goes on. Only the last request matters: one still waiting is replaced by the next.
#pragma once

#include "jobs/TBatchQueue.h"

#include <QString>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

class TQueueWriter {
public:
  explicit TQueueWriter(QString APath);
  // Carries out the last request before it returns.
  ~TQueueWriter();
  TQueueWriter(const TQueueWriter &) = delete;
  TQueueWriter &operator=(const TQueueWriter &) = delete;

  void Save(TSavedBatch ABatch);
  void Remove();

private:
  // A state to write, or nothing: the file is to go.
  using TRequest = std::optional<TSavedBatch>;
  void Request(TRequest ARequest);
  void Run();

  const QString FPath;
  std::mutex FLock;
  std::condition_variable FWake;
  std::optional<TRequest> FWaiting;
  bool FQuit = false;
  std::thread FThread;
};

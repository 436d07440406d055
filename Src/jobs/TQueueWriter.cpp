#include "jobs/TQueueWriter.h"

#include <QFile>

TQueueWriter::TQueueWriter(QString APath) : FPath(std::move(APath)) {
  FThread = std::thread([this] { Run(); });
}

TQueueWriter::~TQueueWriter() {
  {
    std::lock_guard lock(FLock);
    FQuit = true;
  }
  FWake.notify_one();
  FThread.join();
}

void TQueueWriter::Save(TSavedBatch ABatch) {
  Request(std::move(ABatch));
}

void TQueueWriter::Remove() {
  Request(std::nullopt);
}

void TQueueWriter::Request(TRequest ARequest) {
  {
    std::lock_guard lock(FLock);
    FWaiting = std::move(ARequest);
  }
  FWake.notify_one();
}

void TQueueWriter::Run() {
  for (;;) {
    TRequest request;
    {
      std::unique_lock lock(FLock);
      FWake.wait(lock, [this] { return FWaiting || FQuit; });
      if (!FWaiting)
        return;
      request = std::move(*FWaiting);
      FWaiting.reset();
    }
    // A file that cannot be written leaves the batch running unsaved.
    if (request)
      SaveBatchQueue(FPath, *request);
    else
      QFile::remove(FPath);
  }
}

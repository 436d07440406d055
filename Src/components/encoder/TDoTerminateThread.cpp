#include "components/encoder/TDoTerminateThread.h"

#include <thread>

#include "components/CallInMainThread.h"
#include "components/TFFLogger.h"

void TTerminateGate::Enter(bool ATaskRecord) {
  std::lock_guard lock(FLock);
  FAll++;
  if (ATaskRecord)
    FTaskRecords++;
}

void TTerminateGate::Leave(bool ATaskRecord) {
  std::lock_guard lock(FLock);
  FAll--;
  if (ATaskRecord)
    FTaskRecords--;
  FChanged.notify_all();
}

void TTerminateGate::WaitTaskRecords() {
  std::unique_lock lock(FLock);
  FChanged.wait(lock, [this] { return FTaskRecords == 0; });
}

void TTerminateGate::WaitAll() {
  WaitInMainThread([this] {
    std::lock_guard lock(FLock);
    return FAll == 0;
  });
}

void TTerminateGate::Close() {
  std::lock_guard lock(FLock);
  FClosed = true;
}

bool TTerminateGate::Closed() const {
  std::lock_guard lock(FLock);
  return FClosed;
}

void TDoTerminateThread::Start(TTerminateEvent AOnTerminate, TObject *ASender,
                               const TTerminateInfo &ATerminateInfo,
                               std::shared_ptr<TTerminateGate> AGate,
                               bool ATriggerEventInMainThread, TAfterDelivery AAfterDelivery) {
  auto self = std::make_unique<TDoTerminateThread>();
  self->FOnTerminate = std::move(AOnTerminate);
  self->FSender = ASender;
  self->FTerminateInfo = ATerminateInfo;
  self->FGate = std::move(AGate);
  self->FTriggerEventInMainThread = ATriggerEventInMainThread;
  self->FAfterDelivery = std::move(AAfterDelivery);
  self->FGate->Enter(ATerminateInfo.TaskIndex >= 0);
  std::thread([t = std::move(self)] { t->Execute(); }).detach();
}

void TDoTerminateThread::Execute() {
  const bool taskRecord = FTerminateInfo.TaskIndex >= 0;
  try {
    if (!taskRecord)
      FGate->WaitTaskRecords();
    auto deliver = [this] {
      if (FOnTerminate && !FGate->Closed())
        FOnTerminate(FSender, FTerminateInfo);
    };
    if (FTriggerEventInMainThread)
      CallInMainThread(deliver);
    else
      deliver();
    if (taskRecord && FAfterDelivery && !FGate->Closed())
      FAfterDelivery(FTerminateInfo.TaskIndex);
  } catch (const std::exception &e) {
    Log(FSender, llError, "OnTerminate: %s", e.what());
  }
  FGate->Leave(taskRecord);
}

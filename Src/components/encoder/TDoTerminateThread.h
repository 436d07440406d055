// TDoTerminateThread: delivers one termination record of the encoder component on a thread of
// its own, so that a finishing task never waits for the main thread, then ends by itself.
// The -1 record waits until every task record handed to a delivery thread before it has been
// delivered (and its task released), so it always comes last.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "components/encoder/EncoderTypes.h"

// Shared by the component and its delivery threads (which may outlive neither: the component
// waits for them when it is destroyed).
class TTerminateGate {
public:
  // Counts a delivery before its thread starts.
  void Enter(bool ATaskRecord);
  void Leave(bool ATaskRecord);
  // Off the main thread: blocks until no task record is still being delivered.
  void WaitTaskRecords();
  // Until no delivery thread runs; on the main thread it serves their calls meanwhile.
  void WaitAll();
  // Set when the component goes: handlers are no longer called.
  void Close();
  bool Closed() const;

private:
  mutable std::mutex FLock;
  std::condition_variable FChanged;
  int FTaskRecords = 0;
  int FAll = 0;
  bool FClosed = false;
};

class TDoTerminateThread {
public:
  // After delivering a task record (TaskIndex >= 0); frees the task when the component says so.
  using TAfterDelivery = std::function<void(int ATaskIndex)>;

  // Counts the delivery at the gate and starts the thread. AWaitForTasks: the -1 record.
  static void Start(TTerminateEvent AOnTerminate, TObject *ASender,
                    const TTerminateInfo &ATerminateInfo, std::shared_ptr<TTerminateGate> AGate,
                    bool ATriggerEventInMainThread, TAfterDelivery AAfterDelivery);

private:
  void Execute();

  TTerminateEvent FOnTerminate;
  TObject *FSender = nullptr;
  TTerminateInfo FTerminateInfo;
  std::shared_ptr<TTerminateGate> FGate;
  bool FTriggerEventInMainThread = true;
  TAfterDelivery FAfterDelivery;
};

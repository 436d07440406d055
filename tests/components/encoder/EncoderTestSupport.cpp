#include "EncoderTestSupport.h"

#include <chrono>

#include "components/CallInMainThread.h"

TEventRecorder::TEventRecorder(TFFEncoder &AEncoder) {
  AEncoder.OnStart = [this](TObject *, int) {
    std::lock_guard lock(FLock);
    FStartThreads.push_back(std::this_thread::get_id());
  };
  AEncoder.OnProgress = [this](TObject *, TProgressInfo *) {
    std::lock_guard lock(FLock);
    FProgresses++;
  };
  AEncoder.OnTerminate = [this](TObject *, const TTerminateInfo &AInfo) {
    std::lock_guard lock(FLock);
    FEnds.push_back(AInfo);
    if (AInfo.TaskIndex < 0)
      FAllEndedThread = std::this_thread::get_id();
  };
}

std::vector<TTerminateInfo> TEventRecorder::Ends() {
  std::lock_guard lock(FLock);
  return FEnds;
}

std::vector<std::thread::id> TEventRecorder::StartThreads() {
  std::lock_guard lock(FLock);
  return FStartThreads;
}

int TEventRecorder::Progresses() {
  std::lock_guard lock(FLock);
  return FProgresses;
}

bool TEventRecorder::AllEnded() {
  std::lock_guard lock(FLock);
  return !FEnds.empty() && FEnds.back().TaskIndex < 0;
}

std::thread::id TEventRecorder::AllEndedThread() {
  std::lock_guard lock(FLock);
  return FAllEndedThread;
}

void EncoderTest::SetUpTestSuite() {
  FilesTest::SetUpTestSuite();
  SetMainThreadDispatcher([](const std::function<void()> &) {});
}

bool EncoderTest::WaitForAllEnded(TEventRecorder &ARecorder) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  WaitInMainThread(
      [&] { return ARecorder.AllEnded() || std::chrono::steady_clock::now() > deadline; });
  return ARecorder.AllEnded();
}

int EncoderTest::AddConversion(TFFEncoder &AEncoder, const std::string &AInput,
                               const std::string &AOutput, const std::string &AOptions,
                               const std::string &AInputOptions) {
  TInputOptions input;
  input.Options = AInputOptions;
  const int task = AEncoder.AddTask(AInput, &input);
  EXPECT_GE(task, 0) << AEncoder.LastErrMsg();
  TOutputOptions output;
  output.Options = AOptions;
  EXPECT_GE(AEncoder.SetOutput(task, AOutput, &output), 0) << AEncoder.LastErrMsg();
  return task;
}

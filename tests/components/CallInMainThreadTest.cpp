#include <atomic>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "components/CallInMainThread.h"

namespace {

// Installs a dispatcher that only counts wake-ups: queued calls run only when the main thread
// serves them itself (as it does while it waits for a worker).
class MainThreadBridgeTest : public ::testing::Test {
protected:
  void SetUp() override {
    SetMainThreadDispatcher([this](const std::function<void()> &) { ++WakeUps; });
  }
  void TearDown() override { SetMainThreadDispatcher(nullptr); }
  std::atomic<int> WakeUps{0};
};

} // namespace

TEST_F(MainThreadBridgeTest, AWaitingMainThreadServesAWorkerCall) {
  std::atomic<bool> ranOnMain{false};
  std::atomic<bool> workerDone{false};
  std::thread worker([&] {
    CallInMainThread([&] { ranOnMain = IsMainThread(); });
    workerDone = true;
  });
  WaitInMainThread([&] { return workerDone.load(); });
  worker.join();
  EXPECT_TRUE(ranOnMain);
  EXPECT_EQ(WakeUps, 1);
}

TEST_F(MainThreadBridgeTest, AnExceptionOfTheCallReachesTheWorker) {
  std::atomic<bool> workerDone{false};
  std::string caught;
  std::thread worker([&] {
    try {
      CallInMainThread([] { throw std::runtime_error("refused"); });
    } catch (const std::runtime_error &e) {
      caught = e.what();
    }
    workerDone = true;
  });
  WaitInMainThread([&] { return workerDone.load(); });
  worker.join();
  EXPECT_EQ(caught, "refused");
}

TEST_F(MainThreadBridgeTest, OnTheMainThreadTheMethodRunsDirectly) {
  bool ran = false;
  CallInMainThread([&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_EQ(WakeUps, 0);
  EXPECT_EQ(ServeMainThreadCalls(), 0);
}

TEST_F(MainThreadBridgeTest, ADispatcherThatServesAtOnceCompletesTheCall) {
  // A dispatcher may also run the serve function itself (as a blocking queued call does).
  SetMainThreadDispatcher([](const std::function<void()> &serve) {
    std::thread([serve] { serve(); }).join(); // not the main thread: serves nothing
  });
  std::atomic<int> calls{0};
  std::atomic<bool> workerDone{false};
  std::thread worker([&] {
    for (int i = 0; i < 20; ++i)
      CallInMainThread([&] { ++calls; });
    workerDone = true;
  });
  WaitInMainThread([&] { return workerDone.load(); });
  worker.join();
  EXPECT_EQ(calls, 20);
}

TEST(MainThreadBridge, WithoutDispatcherAWorkerRunsTheMethodItself) {
  SetMainThreadDispatcher(nullptr);
  std::thread::id ranOn;
  std::thread::id workerId;
  std::thread worker([&] {
    workerId = std::this_thread::get_id();
    CallInMainThread([&] { ranOn = std::this_thread::get_id(); });
  });
  worker.join();
  EXPECT_EQ(ranOn, workerId);
}

// The Qt dispatcher behind CallInMainThread: a worker's call runs on the main thread, both when
// the main thread runs its event loop and when it waits for the worker.
#include "shell/MainThreadDispatcher.h"
#include "components/CallInMainThread.h"

#include <QCoreApplication>
#include <QtTest>
#include <atomic>
#include <thread>

class MainThreadDispatcherTest : public QObject {
  Q_OBJECT
  std::thread::id FMain = std::this_thread::get_id();

private slots:
  void initTestCase() { InstallMainThreadDispatcher(QCoreApplication::instance()); }

  void workerCallRunsInTheEventLoop() {
    std::thread::id ranOn;
    std::atomic<bool> done = false;
    std::thread worker([&] {
      CallInMainThread([&] { ranOn = std::this_thread::get_id(); });
      done = true;
    });
    QTRY_VERIFY(done.load());
    worker.join();
    QVERIFY(ranOn == FMain);
  }

  void mainThreadWaitingForTheWorkerServesIt() {
    int calls = 0;
    std::atomic<bool> done = false;
    std::thread worker([&] {
      for (int i = 0; i < 5; ++i)
        CallInMainThread([&] { ++calls; });
      done = true;
    });
    WaitInMainThread([&] { return done.load(); });
    worker.join();
    QCOMPARE(calls, 5);
    // The wake-ups queued meanwhile find nothing left to run.
    QCoreApplication::processEvents();
    QCOMPARE(calls, 5);
  }
};

QTEST_GUILESS_MAIN(MainThreadDispatcherTest)
#include "MainThreadDispatcherTest.moc"

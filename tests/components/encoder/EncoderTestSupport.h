// Shared helpers of the encoder component tests: an event recorder, a wait that serves the
// component's main-thread calls, and one-call task set-up.
#pragma once

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../../transcode/files/FilesTestSupport.h"
#include "components/encoder/TFFEncoder.h"

// Records what the component reports; handlers may run on any thread.
class TEventRecorder {
public:
  explicit TEventRecorder(TFFEncoder &AEncoder);
  std::vector<TTerminateInfo> Ends();
  std::vector<std::thread::id> StartThreads();
  int Progresses();
  bool AllEnded();
  // Runs on the thread that delivered the -1 event.
  std::thread::id AllEndedThread();

private:
  std::mutex FLock;
  std::vector<TTerminateInfo> FEnds;
  std::vector<std::thread::id> FStartThreads;
  std::thread::id FAllEndedThread;
  int FProgresses = 0;
};

// Main-thread calls are queued to the test's thread and served by WaitForAllEnded.
class EncoderTest : public FilesTest {
protected:
  static void SetUpTestSuite();
  // Serves the component's calls until the -1 event (false after 60 s).
  static bool WaitForAllEnded(TEventRecorder &ARecorder);
  // A task converting AInput with AOptions into AOutput; asserts that both opened.
  static int AddConversion(TFFEncoder &AEncoder, const std::string &AInput,
                           const std::string &AOutput, const std::string &AOptions,
                           const std::string &AInputOptions = "");
};

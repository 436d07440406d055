// Batch benchmark driver: converts every input file with one option string through one
// encoder component (one task per file, Start with the given thread count) and returns when
// the last task has ended. Exit status 0 only when every task finished.
//   batch_bench THREADS "output options" OUTDIR EXT FILE...
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>

#include "components/encoder/TFFEncoder.h"

int main(int argc, char **argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: %s THREADS \"output options\" OUTDIR EXT FILE...\n", argv[0]);
    return 2;
  }
  const int threads = std::stoi(argv[1]);
  const std::string options = argv[2], outDir = argv[3], ext = argv[4];
  TFFEncoder encoder;
  if (!encoder.LoadAVLib("")) {
    std::fprintf(stderr, "%s\n", encoder.LastErrMsg().c_str());
    return 1;
  }
  encoder.SetTriggerEventInMainThread(false);
  std::mutex lock;
  std::condition_variable ended;
  bool allEnded = false;
  int failed = 0;
  encoder.OnTerminate = [&](TObject *, const TTerminateInfo &AInfo) {
    std::lock_guard guard(lock);
    if (AInfo.TaskIndex < 0)
      allEnded = true;
    else if (!AInfo.Finished || AInfo.Exception) {
      failed++;
      std::fprintf(stderr, "task %d: %s\n", AInfo.TaskIndex, AInfo.ExceptionMsg.c_str());
    }
    ended.notify_all();
  };
  for (int i = 5; i < argc; i++) {
    const std::string out =
        outDir + "/" + std::filesystem::path(argv[i]).stem().string() + "." + ext;
    TOutputOptions output;
    output.Options = options;
    const int task = encoder.AddTask(argv[i]);
    if (task < 0 || encoder.SetOutput(task, out, &output) < 0) {
      std::fprintf(stderr, "%s: %s\n", argv[i], encoder.LastErrMsg().c_str());
      return 1;
    }
  }
  encoder.Start(threads);
  std::unique_lock guard(lock);
  ended.wait(guard, [&] { return allEnded; });
  return failed == 0 ? 0 : 1;
}

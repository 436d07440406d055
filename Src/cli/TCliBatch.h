// TCliBatch: quillet-cli's batch form. Each of the -j slots is an encoder component running one
// task at a time on its worker, so that only the files being converted are open and an output is
// made (and checked against an existing file) only when its turn comes. The main thread opens
// the next file of a slot whose task ended and serves the components' events (CallInMainThread)
// in between; the log comes from the workers.
#pragma once

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "cli/BatchArguments.h"
#include "cli/BatchReport.h"
#include "cli/TOutputNamer.h"
#include "cli/TStopSignal.h"
#include "components/TFFLogger.h"
#include "components/encoder/TFFEncoder.h"

class TCliBatch {
public:
  // AReport takes the JSON lines (--json); AMessages the log and, without --json, the lines of
  // text about each file.
  TCliBatch(const TBatchArguments &AArgs, TStopSignal &AStop, FILE *AReport, FILE *AMessages);
  ~TCliBatch();
  TCliBatch(const TCliBatch &) = delete;
  TCliBatch &operator=(const TCliBatch &) = delete;
  // The exit status (see BatchUsage).
  int Run(const std::string &ALibraryPath);

private:
  struct TSlot {
    TFFEncoder Encoder;
    int File = -1; // the file being converted; -1 when idle
    bool Ended = false;
    TTerminateInfo TaskEnd;
    std::chrono::steady_clock::time_point Started;
  };

  void ShowLog();
  void ShowLogLine(const TObject *ASender, TLogLevel ALevel, const std::string &ALine);
  // Opens files into the slot until one starts converting or none is left.
  void StartNext(TSlot &ASlot);
  // Opens AFile into the slot; false, with the file's report written, when it was refused.
  bool Open(TSlot &ASlot, int AFile);
  void Refused(TSlot &ASlot, int AFile, const std::string &AReason);
  void Progress(TSlot &ASlot, const TProgressInfo &AInfo);
  // The slot's task has ended (its -1 event): reports the file and frees the task.
  void Collect(TSlot &ASlot);
  void Release(TSlot &ASlot);
  bool Busy() const;
  bool AnyEnded() const;
  void StopAll();
  // A line about AFile, one of FFiles.
  void Report(const TBatchFile &AFile);
  int ExitStatus() const;

  const TBatchArguments &FArgs;
  TStopSignal &FStop;
  FILE *FReport;
  FILE *FMessages;
  std::vector<TBatchFile> FFiles;
  std::unique_ptr<TOutputNamer> FNamer;
  std::vector<std::unique_ptr<TSlot>> FSlots;
  size_t FNextFile = 0;
  bool FStopSent = false;
  std::mutex FOutLock;                              // the log comes from the workers
  std::map<const TObject *, std::string> FLogNames; // engine -> its input, under FOutLock
};

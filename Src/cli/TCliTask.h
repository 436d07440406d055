// TCliTask: quillet-cli's one conversion through the encoder component. Runs on the main
// thread: the task converts on its worker and the main thread serves the component's events
// (CallInMainThread) until the task's end has been delivered.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <functional>

#include "cli/CliArguments.h"
#include "components/TFFEncoder.h"

class TCliTask {
public:
  // AStopRequest: set (by a signal handler) to stop the conversion cleanly.
  TCliTask(const TCliArguments &AArgs, const std::atomic<bool> &AStopRequest, FILE *AOut);
  // Switches the previews on; AProcessEvents lets the window system paint while Run waits.
  void ShowPreview(std::function<void()> AProcessEvents);
  // The exit status (see CliUsage).
  int Run(const std::string &ALibraryPath);

private:
  // Prints the engine's refusal; returns the exit status for it.
  int Refused(const std::string &AMessage);
  void ShowProgress(const TProgressInfo &AInfo);
  void Ended(const TTerminateInfo &AInfo);
  bool Done();

  const TCliArguments &FArgs;
  const std::atomic<bool> &FStopRequest;
  FILE *FOut;
  TFFEncoder FEncoder;
  std::chrono::steady_clock::time_point FStarted;
  size_t FLineWidth = 0;
  bool FStopSent = false;
  bool FAllEnded = false;
  std::function<void()> FProcessEvents;
  TTerminateInfo FTaskEnd;
};

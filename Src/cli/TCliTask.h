// TCliTask: quillet-cli's one conversion through the encoder component. The task converts on
// the main thread, as the ffmpeg tool does, while a watcher thread waits for Ctrl+C; with the
// preview window the main thread belongs to the window: the task converts on its worker and the
// main thread serves the component's events (CallInMainThread) until the task's end.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <functional>
#include <mutex>

#include "cli/CliArguments.h"
#include "cli/TStopSignal.h"
#include "components/TFFLogger.h"
#include "components/encoder/TFFEncoder.h"

class TCliTask {
public:
  // AStop: asks (on Ctrl+C) for a clean stop of the conversion.
  TCliTask(const TCliArguments &AArgs, TStopSignal &AStop, FILE *AOut);
  ~TCliTask();
  TCliTask(const TCliTask &) = delete;
  TCliTask &operator=(const TCliTask &) = delete;
  // Switches the previews on; AProcessEvents lets the window system paint while Run waits.
  void ShowPreview(std::function<void()> AProcessEvents);
  // The exit status (see CliUsage).
  int Run(const std::string &ALibraryPath);

private:
  // The log at the ffmpeg tool's default level (warnings and errors; -loglevel changes it) goes
  // to the messages' stream, in the tool's form.
  void ShowLog();
  void ShowLogLine(const TObject *ASender, TLogLevel ALevel, const std::string &ALine);
  // Prints the engine's refusal; returns the exit status for it.
  int Refused(const std::string &AMessage);
  void ShowProgress(const TProgressInfo &AInfo);
  void Ended(const TTerminateInfo &AInfo);
  // Converts on this thread; a watcher thread passes Ctrl+C on.
  void ConvertHere();
  // Converts on the task's worker while this thread serves the events and the window.
  void ConvertOnWorker();
  bool Done();
  void StopOnRequest();

  const TCliArguments &FArgs;
  TStopSignal &FStop;
  FILE *FOut;
  TFFEncoder FEncoder;
  std::chrono::steady_clock::time_point FStarted;
  size_t FLineWidth = 0; // of the progress line on screen; 0 when none
  std::mutex FOutLock;   // progress and log lines come from several threads
  std::atomic<bool> FStopSent{false};
  std::atomic<bool> FAllEnded{false};
  std::function<void()> FProcessEvents;
  TTerminateInfo FTaskEnd;
};

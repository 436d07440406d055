// The process-wide state of the logger, shared by every TFFLogger instance, the producers and
// the log thread. Internal to the logger's sources.
#pragma once

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "components/FFAPI.h"
#include "components/Owners.h"
#include "components/TFFLogger.h"
#include "components/TLogQueue.h"

// Process-wide logger state, shared by every TFFLogger instance.
struct TLoggerState {
  std::recursive_mutex SettingsLock; // settings, registration, OnLog
  std::recursive_mutex CallbackLock; // AVLogCallback, PendingQueue, LastLine
  std::mutex FileLock;               // LogFileStream
  std::atomic<bool> Active{true};
  std::atomic<int> LibLevel{AV_LOG_INFO};
  std::atomic<int> LogFlags{LogFlagSkipRepeated | LogFlagPrintLevel};
  std::atomic<bool> LogToFile{false};
  std::atomic<bool> Synchronous{false};
  std::atomic<bool> Skip{true};
  std::string LogFile;                   // SettingsLock
  TFFLogger *Registered = nullptr;       // SettingsLock
  std::unique_ptr<TFFLogger> AutoLogger; // made by GlobalLogger; SettingsLock
  TFilePtr LogFileStream;                // FileLock
  std::string LogFileStreamName;         // FileLock
  TLogQueue PendingQueue;                // library lines waiting for their line feed
  TLogQueue OutputQueue;                 // lines waiting for the sinks
  TLogItem LastLine;                     // last finished library line, for folding
  std::mutex ThreadLock;
  std::thread LogThread; // ThreadLock
  std::atomic<bool> ThreadStarted{false};
  std::atomic<bool> ThreadFinished{false};
  std::atomic<bool> Terminate{false};
};

// Never destroyed: lines logged from static destructors of other files still find it.
TLoggerState &State();

// Skip := not (Active and (OnLog or (LogToFile and LogFile))). SettingsLock held.
void RecomputeSkip(TLoggerState &s);
void CloseLogFile(TLoggerState &s);

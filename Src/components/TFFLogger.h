// TFFLogger: the one diagnostics channel of the media code. Engine and decoder code call Log();
// the FFmpeg library log is routed here by AVLogCallback. Finished lines go through a ring to
// the log thread, which writes them to the log file and/or hands them to OnLog. With no sink
// attached (no OnLog, no log file) every line is discarded at entry without locking.
//
// The settings (Active, LogLevel, LogFlags, LogFile, LogToFile, Synchronous) are process-wide;
// TriggerEventInMainThread and OnLog belong to the logger object. There is one registered
// logger per process: GlobalLogger() creates one on demand.
//
// Threads: Log and AVLogCallback run on any thread and never wait for a sink (unless
// Synchronous); the sinks are reached from the log thread only, OnLog on the main thread
// (through CallInMainThread) unless TriggerEventInMainThread is false. A full queue (255 lines)
// drops its oldest line. A library line that ends without a line feed waits for the same
// thread's next call.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <functional>
#include <string>

#include "components/TFFBaseComponent.h"

enum TLogLevel : int {
  llQuiet,
  llPanic,
  llFatal,
  llError,
  llWarning,
  llInfo,
  llVerbose,
  llDebug,
  llTrace
};

// Library level (AV_LOG_*) of a TLogLevel and back.
constexpr int LibraryLevel(TLogLevel level) {
  return (int(level) - 1) * 8;
}
TLogLevel LogLevelOfLibraryLevel(int level);
// "Quiet" ... "Trace".
const char *LogLevelName(TLogLevel level);

// LogFlags bits (the library's AV_LOG_SKIP_REPEATED and AV_LOG_PRINT_LEVEL).
constexpr int LogFlagSkipRepeated = 1;
constexpr int LogFlagPrintLevel = 2;

// Sender: the object that logged (ltLogger lines; it may no longer exist when the line is
// delivered, so compare it, do not call it) or the logger itself (library lines).
using TLogEvent = std::function<void(const TObject *Sender, uint32_t AThreadID, TLogLevel ALogLevel,
                                     const std::string &ALogMsg)>;

class TFFLogger : public TFFBaseComponent {
public:
  // Registers the new logger; an auto-created one is replaced. Throws std::logic_error
  // "Allow creating only one instance of TFFLogger." when another explicit logger exists.
  TFFLogger();
  ~TFFLogger() override;
  TFFLogger(const TFFLogger &) = delete;
  TFFLogger &operator=(const TFFLogger &) = delete;

  std::string ClassName() const override { return "TFFLogger"; }

  bool Active() const;
  void SetActive(bool Value);
  TLogLevel LogLevel() const;
  void SetLogLevel(TLogLevel Value); // pushes the library level when it changed
  int LogFlags() const;
  void SetLogFlags(int Value); // pushes the flags to the library when they changed
  std::string LogFile() const;
  void SetLogFile(const std::string &Value);
  bool LogToFile() const;
  void SetLogToFile(bool Value);
  bool Synchronous() const; // write on the producing thread instead of the log thread
  void SetSynchronous(bool Value);
  bool TriggerEventInMainThread() const;
  void SetTriggerEventInMainThread(bool Value);
  TLogEvent OnLog() const;
  void SetOnLog(TLogEvent Value);

  // True while lines are discarded at entry (inactive, or no sink attached).
  bool Skipping() const;
  bool AutoCreated() const { return FAutoCreated; }

  // Routes the library log here and pushes the flags and level. avutil must be bound.
  void InstallAVLogCallback();

  // Whether the log thread runs; it starts with the first line queued for the sinks.
  static bool LogThreadRunning();
  // Writes out what is queued (to the file only), then ends the log thread; the next queued
  // line starts it again. Used at process end.
  static void StopLogThread();

private:
  struct TAutoCreate {};
  explicit TFFLogger(TAutoCreate);
  void Register();
  friend TFFLogger *GlobalLogger();

  bool FAutoCreated = false;
  bool FTriggerEventInMainThread = true;
  TLogEvent FOnLog;
};

// The process-wide logger, created on first use.
TFFLogger *GlobalLogger();

// The object that also receives the library's error lines logged on the calling thread (see
// TObject::ErrorLogged); null for none. Returns the previous one.
const TObject *SetThreadErrorReceiver(const TObject *AReceiver);

// Makes AReceiver the calling thread's error receiver while it lives.
class TErrorReceiverScope {
public:
  explicit TErrorReceiverScope(const TObject *AReceiver)
      : FPrevious(SetThreadErrorReceiver(AReceiver)) {}
  ~TErrorReceiverScope() { SetThreadErrorReceiver(FPrevious); }
  TErrorReceiverScope(const TErrorReceiverScope &) = delete;
  TErrorReceiverScope &operator=(const TErrorReceiverScope &) = delete;

private:
  const TObject *FPrevious;
};

// The library log callback (av_log_set_callback); any thread.
void AVLogCallback(void *Ptr, int Level, const char *Fmt, va_list Args);

void Log(const TObject *Sender, TLogLevel ALogLevel, const std::string &ALogMsg);
void Log(const TObject *Sender, TLogLevel ALogLevel, const char *AFormat, ...)
    __attribute__((format(printf, 3, 4)));

#include "components/TFFLogger.h"

#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "components/CallInMainThread.h"
#include "components/LogWriter.h"

namespace {

const char *const LevelNames[] = {"Quiet", "Panic",   "Fatal", "Error", "Warning",
                                  "Info",  "Verbose", "Debug", "Trace"};

uint32_t CurrentThreadID() {
  thread_local const uint32_t id = uint32_t(gettid());
  return id;
}

void InitItem(TLogItem &item, TLogType type, const void *reporter, TLogLevel level) {
  item.LogTime = std::chrono::system_clock::now();
  item.LogType = type;
  item.Reporter = reporter;
  item.ThreadID = CurrentThreadID();
  item.FromMainThread = IsMainThread();
  item.LogLevel = level;
}

void CopyLimited(char (&target)[256], const std::string &text) {
  const size_t n = std::min(text.size(), sizeof target - 1);
  std::memcpy(target, text.data(), n);
  target[n] = 0;
}

void SetLoggerReporterInfo(TLogItem &item, const TObject *sender) {
  if (!sender)
    return;
  std::string info;
  if (auto *component = dynamic_cast<const TComponent *>(sender))
    info = "[" + component->ClassName() + "." + component->Name + "] ";
  else if (const TComponent *parent = sender->ParentComponent())
    info = "[" + parent->ClassName() + "." + parent->Name + "] ";
  else
    info = "[" + sender->ClassName() + "] ";
  CopyLimited(item.ReporterInfo, info);
}

const AVClass *ClassOf(void *context) {
  return *static_cast<const AVClass *const *>(context);
}

const char *ItemName(void *context) {
  const AVClass *avc = ClassOf(context);
  return avc->item_name ? avc->item_name(context) : avc->class_name;
}

// "[parent @ 0x...] [item @ 0x...] " for a library context.
void SetAVReporterInfo(TLogItem &item, void *context) {
  if (!context || !ClassOf(context))
    return;
  char *info = item.ReporterInfo;
  const size_t size = sizeof item.ReporterInfo;
  size_t used = 0;
  if (const int offset = ClassOf(context)->parent_log_context_offset) {
    void *parent = *reinterpret_cast<void **>(static_cast<char *>(context) + offset);
    if (parent && ClassOf(parent)) {
      const int n = std::snprintf(info, size, "[%s @ %p] ", ItemName(parent), parent);
      used = std::min(size_t(std::max(n, 0)), size - 1);
    }
  }
  std::snprintf(info + used, size - used, "[%s @ %p] ", ItemName(context), context);
}

// Appends the formatted library text, moving to a growing heap buffer when it does not fit.
void AppendFormatted(TLogItem &item, const char *format, va_list args) {
  const size_t used = std::strlen(item.Text());
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(item.Text() + used, item.Capacity() - used, format, copy);
  va_end(copy);
  if (n < 0) {
    item.Text()[used] = 0;
    return;
  }
  const size_t needed = used + size_t(n) + 1;
  if (needed <= item.Capacity())
    return;
  size_t size = item.ExtraMsg ? item.ExtraSize + 2048 : 4096;
  while (size < needed)
    size += 2048;
  auto buffer = std::make_unique<char[]>(size); // zero-filled
  std::memcpy(buffer.get(), item.Text(), used);
  if (!item.ExtraMsg)
    std::memset(item.LogMsg, 0, sizeof item.LogMsg);
  item.ExtraMsg = std::move(buffer);
  item.ExtraSize = size;
  va_copy(copy, args);
  std::vsnprintf(item.ExtraMsg.get() + used, size - used, format, copy);
  va_end(copy);
}

// Control codes other than tab, line feed and carriage return (8..13) become '?'.
void ReplaceControlCodes(char *text) {
  for (unsigned char *p = reinterpret_cast<unsigned char *>(text); *p; ++p)
    if (*p < 8 || (*p >= 14 && *p <= 31))
      *p = '?';
}

// A finished library line: fold repeats, then queue it for the sinks. CallbackLock held.
void FinishLine(TLoggerState &s, TLogItem &&item) {
  const bool fold = s.LogFlags & LogFlagSkipRepeated;
  TLogItem &last = s.LastLine;
  if (fold && last.ThreadID == item.ThreadID && last.Reporter == item.Reporter &&
      std::strcmp(last.Text(), item.Text()) == 0) {
    ++last.Repeats;
    last.LogTime = std::chrono::system_clock::now();
    return;
  }
  if (last.Repeats > 0) {
    PushOutput(s, std::move(last));
    last = TLogItem();
  }
  if (fold)
    last = item.Clone();
  PushOutput(s, std::move(item));
}

// Finishes every complete line of the item; an unfinished rest waits in PendingQueue for the
// thread's next call. CallbackLock held.
void FinishLines(TLoggerState &s, TLogItem &&item) {
  for (;;) {
    char *text = item.Text();
    char *lineFeed = std::strchr(text, '\n');
    if (!lineFeed) {
      if (*text)
        s.PendingQueue.Push(std::move(item));
      return;
    }
    const char *rest = lineFeed + 1;
    const size_t restLength = std::strlen(rest);
    TLogItem next;
    if (restLength > 0) {
      InitItem(next, ltAVLog, item.Reporter, item.LogLevel);
      std::memcpy(next.ReporterInfo, item.ReporterInfo, sizeof next.ReporterInfo);
      next.SetText(rest, restLength, 2048);
    }
    std::memset(lineFeed, 0, restLength + 1);
    FinishLine(s, std::move(item));
    if (restLength == 0)
      return;
    item = std::move(next);
  }
}

// Changes a setting of the file sink; a change closes the open file, so the next line opens
// the file the settings name.
template <typename TSetting, typename TValue>
void ChangeFileSetting(TSetting &Setting, const TValue &Value) {
  TLoggerState &s = State();
  {
    std::lock_guard lock(s.SettingsLock);
    if (Setting == Value)
      return;
    Setting = Value;
    RecomputeSkip(s);
  }
  CloseLogFile(s);
}

// Drops the auto-created logger, stops the log thread and closes the file at process end.
struct TLoggerShutdown {
  ~TLoggerShutdown() {
    TLoggerState &s = State();
    StopLogThread(s);
    {
      std::lock_guard lock(s.SettingsLock);
      s.AutoLogger.reset();
    }
    CloseLogFile(s);
  }
} LoggerShutdown;

thread_local const TObject *ThreadErrorReceiver = nullptr;

bool IsErrorLevel(TLogLevel level) {
  return level >= llPanic && level <= llError;
}

// A library error line to the thread's receiver, without its line feed; a text without one
// (the start of a line finished by a later call) is passed as it is.
void PassErrorLine(const char *format, va_list args) {
  char text[1024];
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(text, sizeof text, format, copy);
  va_end(copy);
  if (n <= 0)
    return;
  std::string line(text);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
    line.pop_back();
  if (!line.empty())
    ThreadErrorReceiver->ErrorLogged(line, true);
}

} // namespace

TLogLevel LogLevelOfLibraryLevel(int level) {
  return TLogLevel(std::clamp(level / 8 + 1, 0, 8));
}

const char *LogLevelName(TLogLevel level) {
  return LevelNames[std::clamp(int(level), 0, 8)];
}

// --- TFFLogger ---

TFFLogger::TFFLogger() {
  TLoggerState &s = State();
  std::lock_guard lock(s.SettingsLock);
  if (s.Registered && !s.Registered->FAutoCreated)
    throw std::logic_error("Allow creating only one instance of TFFLogger.");
  s.AutoLogger.reset(); // unregisters itself
  Register();
}

TFFLogger::TFFLogger(TAutoCreate) : FAutoCreated(true) {
  TLoggerState &s = State();
  std::lock_guard lock(s.SettingsLock);
  Register();
}

void TFFLogger::Register() {
  TLoggerState &s = State();
  s.Registered = this;
  RecomputeSkip(s);
}

TFFLogger::~TFFLogger() {
  TLoggerState &s = State();
  {
    std::lock_guard lock(s.SettingsLock);
    FOnLog = nullptr;
    if (s.Registered == this)
      s.Registered = nullptr;
    RecomputeSkip(s);
  }
  CloseLogFile(s);
}

bool TFFLogger::Active() const {
  return State().Active;
}

void TFFLogger::SetActive(bool Value) {
  TLoggerState &s = State();
  std::lock_guard lock(s.SettingsLock);
  s.Active = Value;
  RecomputeSkip(s);
}

TLogLevel TFFLogger::LogLevel() const {
  return LogLevelOfLibraryLevel(State().LibLevel);
}

void TFFLogger::SetLogLevel(TLogLevel Value) {
  const int level = LibraryLevel(Value);
  if (State().LibLevel.exchange(level) != level && ff::av_log_set_level)
    ff::av_log_set_level(level);
}

int TFFLogger::LogFlags() const {
  return State().LogFlags;
}

void TFFLogger::SetLogFlags(int Value) {
  if (State().LogFlags.exchange(Value) != Value && ff::av_log_set_flags)
    ff::av_log_set_flags(Value);
}

std::string TFFLogger::LogFile() const {
  TLoggerState &s = State();
  std::lock_guard lock(s.SettingsLock);
  return s.LogFile;
}

void TFFLogger::SetLogFile(const std::string &Value) {
  ChangeFileSetting(State().LogFile, Value);
}

bool TFFLogger::LogToFile() const {
  return State().LogToFile;
}

void TFFLogger::SetLogToFile(bool Value) {
  ChangeFileSetting(State().LogToFile, Value);
}

bool TFFLogger::Synchronous() const {
  return State().Synchronous;
}

void TFFLogger::SetSynchronous(bool Value) {
  State().Synchronous = Value;
}

bool TFFLogger::TriggerEventInMainThread() const {
  std::lock_guard lock(State().SettingsLock);
  return FTriggerEventInMainThread;
}

void TFFLogger::SetTriggerEventInMainThread(bool Value) {
  std::lock_guard lock(State().SettingsLock);
  FTriggerEventInMainThread = Value;
}

TLogEvent TFFLogger::OnLog() const {
  std::lock_guard lock(State().SettingsLock);
  return FOnLog;
}

void TFFLogger::SetOnLog(TLogEvent Value) {
  TLoggerState &s = State();
  std::lock_guard lock(s.SettingsLock);
  FOnLog = std::move(Value);
  RecomputeSkip(s);
}

bool TFFLogger::Skipping() const {
  return State().Skip;
}

void TFFLogger::InstallAVLogCallback() {
  assert(ff::av_log_set_callback && ff::av_log_set_level);
  if (!ff::av_log_set_callback || !ff::av_log_set_level)
    return; // avutil not bound: nothing to install into
  TLoggerState &s = State();
  ff::av_log_set_callback(AVLogCallback);
  if (ff::av_log_set_flags)
    ff::av_log_set_flags(s.LogFlags);
  ff::av_log_set_level(s.LibLevel);
}

bool TFFLogger::LogThreadRunning() {
  return State().ThreadStarted;
}

void TFFLogger::StopLogThread() {
  ::StopLogThread(State());
}

TFFLogger *GlobalLogger() {
  TLoggerState &s = State();
  std::lock_guard lock(s.SettingsLock);
  if (!s.Registered)
    s.AutoLogger.reset(new TFFLogger(TFFLogger::TAutoCreate{}));
  return s.Registered;
}

// --- producers ---

void Log(const TObject *Sender, TLogLevel ALogLevel, const std::string &ALogMsg) {
  TLoggerState &s = State();
  if (Sender && IsErrorLevel(ALogLevel))
    Sender->ErrorLogged(ALogMsg, false);
  if (s.Skip || LibraryLevel(ALogLevel) > s.LibLevel)
    return;
  TLogItem item;
  {
    std::lock_guard lock(s.SettingsLock);
    InitItem(item, ltLogger, Sender, ALogLevel);
    SetLoggerReporterInfo(item, Sender);
    item.SetText(ALogMsg.data(), ALogMsg.size(), 16);
  }
  PushOutput(s, std::move(item));
}

void Log(const TObject *Sender, TLogLevel ALogLevel, const char *AFormat, ...) {
  TLoggerState &s = State();
  if ((s.Skip || LibraryLevel(ALogLevel) > s.LibLevel) && !(Sender && IsErrorLevel(ALogLevel)))
    return;
  va_list args;
  va_start(args, AFormat);
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, AFormat, copy);
  va_end(copy);
  std::string text;
  if (n > 0) {
    text.resize(size_t(n));
    std::vsnprintf(text.data(), text.size() + 1, AFormat, args);
  }
  va_end(args);
  Log(Sender, ALogLevel, text);
}

const TObject *SetThreadErrorReceiver(const TObject *AReceiver) {
  return std::exchange(ThreadErrorReceiver, AReceiver);
}

void AVLogCallback(void *Ptr, int Level, const char *Fmt, va_list Args) {
  TLoggerState &s = State();
  if (Level >= 0)
    Level &= 0xff; // the upper bits carry colours
  if (ThreadErrorReceiver && Level >= AV_LOG_PANIC && Level <= AV_LOG_ERROR)
    PassErrorLine(Fmt, Args);
  if (Level > s.LibLevel || s.Skip)
    return;
  std::lock_guard lock(s.CallbackLock);
  if (s.Skip)
    return;
  TLogItem item;
  if (!s.PendingQueue.TakeByThread(CurrentThreadID(), item)) {
    InitItem(item, ltAVLog, Ptr, LogLevelOfLibraryLevel(Level));
    SetAVReporterInfo(item, Ptr);
  }
  AppendFormatted(item, Fmt, Args);
  ReplaceControlCodes(item.Text());
  FinishLines(s, std::move(item));
}

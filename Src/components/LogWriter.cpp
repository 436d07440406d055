#include "components/LogWriter.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <exception>

#include "components/CallInMainThread.h"
#include "components/MessageBoxHook.h"

namespace {

std::string ErrnoText(int error) {
  char buffer[256];
  return strerror_r(error, buffer, sizeof buffer);
}

// Line breaks of a message become the platform's line feed.
std::string NormalizeLineBreaks(const char *text) {
  std::string result;
  for (const char *p = text; *p; ++p) {
    if (*p == '\r') {
      result += '\n';
      if (p[1] == '\n')
        ++p;
    } else {
      result += *p;
    }
  }
  return result;
}

// Appends the line to the log file when one is set; returns an error text on failure.
std::string WriteToFile(TLoggerState &s, const std::string &line) {
  std::string file;
  {
    std::lock_guard lock(s.SettingsLock);
    if (!s.LogToFile || s.LogFile.empty())
      return {};
    file = s.LogFile;
  }
  std::lock_guard lock(s.FileLock);
  if (s.LogFileStream && s.LogFileStreamName != file)
    s.LogFileStream.reset();
  if (!s.LogFileStream) {
    s.LogFileStream.reset(std::fopen(file.c_str(), "ae"));
    if (!s.LogFileStream)
      return "Cannot open log file \"" + file + "\": " + ErrnoText(errno);
    s.LogFileStreamName = file;
  }
  std::FILE *stream = s.LogFileStream.get();
  const bool written = std::fwrite(line.data(), 1, line.size(), stream) == line.size() &&
                       std::fputc('\n', stream) != EOF && std::fflush(stream) == 0;
  if (written)
    return {};
  const int error = errno;
  s.LogFileStream.reset();
  return "Cannot write log file \"" + file + "\": " + ErrnoText(error);
}

void DisableLogToFile(TLoggerState &s) {
  std::lock_guard lock(s.SettingsLock);
  s.LogToFile = false;
  RecomputeSkip(s);
}

void FireOnLog(TLoggerState &s, const TLogItem &item, const std::string &line) {
  TLogEvent handler;
  bool inMainThread;
  const TObject *sender;
  {
    std::lock_guard lock(s.SettingsLock);
    if (!s.Registered)
      return;
    handler = s.Registered->OnLog();
    inMainThread = s.Registered->TriggerEventInMainThread();
    sender = item.LogType == ltLogger ? static_cast<const TObject *>(item.Reporter) : s.Registered;
  }
  if (!handler)
    return;
  auto call = [&] { handler(sender, item.ThreadID, item.LogLevel, line); };
  if (inMainThread)
    CallInMainThread(call);
  else
    call();
}

// Writes one item to the sinks. A failing file turns the file sink off; every failure is
// reported in an "Information" box and logging goes on.
void WriteOut(TLoggerState &s, const TLogItem &item, bool fireEvent) {
  try {
    const std::string line = FormatLogLine(item, s.LogFlags);
    const std::string fileError = WriteToFile(s, line);
    if (!fileError.empty()) {
      DisableLogToFile(s);
      ShowMessageBox("Information", fileError);
    }
    if (fireEvent)
      FireOnLog(s, item, line);
  } catch (const std::exception &e) {
    ShowMessageBox("Information", e.what());
  } catch (...) {
    ShowMessageBox("Information", "Unknown error while writing a log line.");
  }
}

void LogThreadMain() {
  TLoggerState &s = State();
  TLogItem item;
  // Once asked to terminate it writes what is left to the file only: the windows are gone.
  while (s.OutputQueue.WaitPop(item, s.Terminate))
    WriteOut(s, item, !s.Terminate);
  s.ThreadFinished = true;
}

void StartLogThread(TLoggerState &s) {
  if (s.ThreadStarted)
    return;
  std::lock_guard lock(s.ThreadLock);
  if (s.ThreadStarted)
    return;
  s.Terminate = false;
  s.ThreadFinished = false;
  s.LogThread = std::thread(LogThreadMain);
  s.ThreadStarted = true;
}

} // namespace

std::string FormatLogLine(const TLogItem &item, int flags) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(item.LogTime);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(item.LogTime.time_since_epoch()) % 1000;
  std::tm tm{};
  localtime_r(&seconds, &tm);
  char head[64];
  std::snprintf(head, sizeof head, "%02d:%02d:%02d.%03d [%08X]%s ", tm.tm_hour, tm.tm_min,
                tm.tm_sec, int(ms.count()), item.ThreadID, item.FromMainThread ? "*" : "");
  std::string line = head;
  line += item.ReporterInfo;
  if (flags & LogFlagPrintLevel)
    line += std::string("[") + LogLevelName(item.LogLevel) + "] ";
  line += NormalizeLineBreaks(item.Text());
  if (item.Repeats > 1)
    line += " (repeated " + std::to_string(item.Repeats) + " times)";
  return line;
}

void PushOutput(TLoggerState &s, TLogItem &&item) {
  if (s.Synchronous) {
    WriteOut(s, item, true);
    return;
  }
  StartLogThread(s);
  s.OutputQueue.Push(std::move(item));
}

void StopLogThread(TLoggerState &s) {
  std::lock_guard lock(s.ThreadLock);
  if (!s.LogThread.joinable() || s.LogThread.get_id() == std::this_thread::get_id())
    return;
  s.OutputQueue.Stop(s.Terminate);
  // A line on its way to OnLog may wait for the main thread: keep serving it.
  WaitInMainThread([&] { return bool(s.ThreadFinished); });
  s.LogThread.join();
  s.ThreadStarted = false;
}

#include "components/LoggerState.h"

TLoggerState &State() {
  static TLoggerState *state = new TLoggerState;
  return *state;
}

void RecomputeSkip(TLoggerState &s) {
  const bool onLog = s.Registered && s.Registered->OnLog();
  const bool toFile = s.LogToFile && !s.LogFile.empty();
  s.Skip = !(s.Active && (onLog || toFile));
}

void CloseLogFile(TLoggerState &s) {
  std::lock_guard lock(s.FileLock);
  s.LogFileStream.reset();
  s.LogFileStreamName.clear();
}

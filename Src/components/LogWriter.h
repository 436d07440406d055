// Writing finished log lines to the sinks (log file, OnLog) and the log thread that does it.
// Internal to the logger's sources.
#pragma once

#include <string>

#include "components/LoggerState.h"

// "hh:nn:ss.zzz [THREADID]* [reporter] [Level] text (repeated N times)".
std::string FormatLogLine(const TLogItem &item, int flags);
// Hands a finished line to the sinks: at once when Synchronous, else through the log thread
// (started on first use).
void PushOutput(TLoggerState &s, TLogItem &&item);
// Writes out what is queued (to the file only), then ends the log thread.
void StopLogThread(TLoggerState &s);

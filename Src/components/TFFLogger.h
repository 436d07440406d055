// TFFLogger: the one diagnostics channel of the media code. Engine and decoder code call Log();
// the FFmpeg library log is routed here by AVLogCallback. With no sink attached every line is
// discarded at entry.
#pragma once

#include <cstdarg>
#include <string>

#include "components/TObject.h"

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
constexpr int LibraryLevel(TLogLevel level) { return (int(level) - 1) * 8; }
TLogLevel LogLevelOfLibraryLevel(int level);

void Log(const TObject *Sender, TLogLevel ALogLevel, const std::string &ALogMsg);
void Log(const TObject *Sender, TLogLevel ALogLevel, const char *AFormat, ...)
    __attribute__((format(printf, 3, 4)));

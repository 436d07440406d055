#include "components/TFFLogger.h"

#include <algorithm>
#include <cstdio>

TLogLevel LogLevelOfLibraryLevel(int level) {
  return TLogLevel(std::clamp(level / 8 + 1, 0, 8));
}

// Placeholder until the logger pipeline lands: no sink is attached, so nothing is kept.
void Log(const TObject *, TLogLevel, const std::string &) {}

void Log(const TObject *Sender, TLogLevel ALogLevel, const char *AFormat, ...) {
  char buf[2048];
  va_list args;
  va_start(args, AFormat);
  std::vsnprintf(buf, sizeof buf, AFormat, args);
  va_end(args);
  Log(Sender, ALogLevel, std::string(buf));
}

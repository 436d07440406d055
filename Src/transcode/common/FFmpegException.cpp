#include "transcode/common/FFmpegException.h"

#include "components/TFFLogger.h"

void Fatal(const TObject *Sender, const std::string &text) {
  Log(Sender, llFatal, "%s", text.c_str());
  throw FFmpegException(text);
}

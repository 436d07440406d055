#include "cli/ProgressLine.h"

#include <algorithm>
#include <cinttypes>

#include "transcode/common/TextFormat.h"

namespace {

std::string TimeText(int64_t AMicroseconds) {
  const int64_t cs = std::max<int64_t>(AMicroseconds, 0) / 10000;
  return Format("%02" PRId64 ":%02" PRId64 ":%02" PRId64 ".%02" PRId64, cs / 360000, cs / 6000 % 60,
                cs / 100 % 60, cs % 100);
}

const char *YesNo(bool AValue) {
  return AValue ? "true" : "false";
}

} // namespace

std::string ProgressLine(const TProgressInfo &AInfo, double AElapsedSeconds) {
  std::string line;
  if (AInfo.TotalDuration > 0)
    line = Format("%5.1f%% ",
                  std::clamp(100.0 * double(AInfo.CurrentDuration) / double(AInfo.TotalDuration),
                             0.0, 100.0));
  line += "time=" + TimeText(AInfo.CurrentDuration);
  if (AInfo.FrameNumber >= 0) {
    const double fps = AElapsedSeconds > 1 ? AInfo.FrameNumber / AElapsedSeconds : 0;
    line += Format(" frame=%5d fps=%3.*f", AInfo.FrameNumber, fps < 9.95, fps);
  }
  line += Format(" size=%8.0fkB", double(std::max<int64_t>(AInfo.CurrentSize, 0)) / 1024);
  if (AElapsedSeconds > 0)
    line += Format(" speed=%.3gx", double(AInfo.CurrentDuration) / 1e6 / AElapsedSeconds);
  else
    line += " speed=N/A";
  return line;
}

std::string TerminationRecord(const TTerminateInfo &AInfo) {
  std::string text = Format("Task %d ended: Finished=%s Exception=%s\n", AInfo.TaskIndex,
                            YesNo(AInfo.Finished), YesNo(AInfo.Exception));
  if (!AInfo.ExceptionMsg.empty())
    text += "ExceptionMsg: " + AInfo.ExceptionMsg + "\n";
  return text;
}

std::string ToolLogLine(const std::string &ALine, bool ALibrary) {
  // "hh:mm:ss.zzz [thread]* ": the thread's mark ends at the first ']'.
  size_t start = ALine.find(']');
  start = start == std::string::npos ? 0 : ALine.find_first_not_of("* ", start + 1);
  if (start == std::string::npos)
    return {};
  if (!ALibrary && ALine.compare(start, 1, "[") == 0) { // the engine's "[TFFmpeg.Name] "
    const size_t end = ALine.find("] ", start);
    if (end != std::string::npos)
      start = end + 2;
  }
  return ALine.substr(start);
}

// What quillet-cli's batch form tells about each file: one JSON object a line (--json) or one
// line of text when a file starts and ends.
#pragma once

#include <string>

enum class TBatchState { Running, Finished, Failed, Stopped, Skipped };

struct TBatchFile {
  std::string Input;
  std::string Output;
  TBatchState State = TBatchState::Skipped;
  double Percent = -1; // below 0 when the length is unknown
  double Speed = 0;    // output time per wall time
  std::string Error;
};

const char *StateName(TBatchState AState);
// {"file":...,"output":...,"state":...,"percent":...,"speed":...,"error":...} without a line
// break. Bytes that are not UTF-8 become U+FFFD.
std::string JsonLine(const TBatchFile &AFile);
// "[3/20] finished: in.mp4 -> out/in.avi", with ": reason" for a failure.
std::string TextLine(const TBatchFile &AFile, int ANumber, int ACount);
// AText as a JSON string, quotes included.
std::string JsonString(const std::string &AText);

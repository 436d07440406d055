// The one-line progress display of quillet-cli.
#pragma once

#include <string>

#include "components/encoder/EncoderTypes.h"

// "42.0% time=00:00:04.20 frame=  105 fps= 25 size=    1234kB speed=2.51x"; the percent only
// when the total duration is known, frame and fps only with video (fps as the ffmpeg tool
// gives it: frames per second of wall time once a second has passed), speed "N/A" before any
// wall time has passed.
std::string ProgressLine(const TProgressInfo &AInfo, double AElapsedSeconds);
// A log line (as the logger hands it to OnLog: time, thread, reporter, text) in the ffmpeg
// tool's form: a library's line keeps its "[name @ 0x...]" prefix, the engine's own line is its
// text alone.
std::string ToolLogLine(const std::string &ALine, bool ALibrary);
// "Task 0 ended: Finished=true Exception=false" plus "ExceptionMsg: ..." lines when set.
std::string TerminationRecord(const TTerminateInfo &AInfo);

// The one-line progress display of quillet-cli.
#pragma once

#include <string>

#include "components/EncoderTypes.h"

// "42.0% time=00:00:04.20 size=    1234kB speed=2.51x"; the percent only when the total
// duration is known, speed "N/A" before any wall time has passed.
std::string ProgressLine(const TProgressInfo &AInfo, double AElapsedSeconds);
// "Task 0 ended: Finished=true Exception=false" plus "ExceptionMsg: ..." lines when set.
std::string TerminationRecord(const TTerminateInfo &AInfo);

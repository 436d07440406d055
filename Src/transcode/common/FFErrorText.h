// Error-text lookup shared by the engine and the decoder: turns an FFmpeg error code (negated
// errno value, AVERROR_* tag or negated Windows socket number) into a fixed message.
#pragma once

#include <string>

// The text paired with AErrCode, or "Error number %d occurred" for an unknown code.
std::string FFErrorText(int AErrCode);
// As above, prefixed with APrefix and ": " when APrefix is not empty.
std::string FFErrorText(const std::string &APrefix, int AErrCode);

// A conversion to a target size: the video bit rate that fills it, and the option strings of
// the two passes that reach it. Shared by the job window and quillet-cli.
#pragma once

#include <cstdint>
#include <string>

// The video bit rate in kbit/s that makes a file of ADuration microseconds with AAudioKbps of
// sound come out at ATargetMB (10^6 bytes), leaving 4 % for the container and the encoder's
// overshoot; 0 when the duration is unknown or the sound alone would fill the size.
int TargetVideoKbps(int ATargetMB, int64_t ADuration, int AAudioKbps);

// What pass APass (1 or 2) adds to the job's option string: the bit rate and the pass with its
// log prefix; the first pass also drops sound and subtitles and writes to the null muxer.
std::string PassOptions(int APass, int AVideoKbps, const std::string &ALogPrefix);

// The log line that names the rate: "Target size 1 MB: video bit rate 3712 kbit/s (audio 128
// kbit/s), two passes".
std::string TargetSizeNote(int ATargetMB, int AVideoKbps, int AAudioKbps);

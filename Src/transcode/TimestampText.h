// Timestamps as the -debug_ts lines print them: "NOPTS" or the value, and the value in seconds.
#pragma once

#include <string>

#include "components/FFAPI.h"

extern "C" {
#include <libavutil/timestamp.h>
}

inline std::string TsText(int64_t ts) {
  char buf[AV_TS_MAX_STRING_SIZE];
  return av_ts_make_string(buf, ts);
}

inline std::string TsTimeText(int64_t ts, AVRational tb) {
  char buf[AV_TS_MAX_STRING_SIZE];
  return av_ts_make_time_string(buf, ts, &tb);
}

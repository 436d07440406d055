// Metadata, chapters, programs and dispositions of an output being opened (after its
// streams exist). Main thread; fatal option errors throw FFmpegException.
#pragma once

#include "transcode/TCustomFFmpeg.h"

// -map_metadata, -map_chapters (default: the first input with chapters), automatic global and
// stream metadata, -program, -metadata and dispositions, in that order.
void SetOutputMetadata(TCustomFFmpeg &E, TOptionsContext &o, TOutputFile &of);

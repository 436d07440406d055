// The -map and -map_channel option values: parsing against the opened inputs into the
// option record's map lists. Main thread, while an output's option text is applied. Fatal
// errors throw FFmpegException (after logging them at fatal level through Sender).
#pragma once

#include <string>
#include <vector>

#include "components/TObject.h"
#include "transcode/StreamSelection.h"
#include "transcode/TOutputFile.h"

// "[-]file[:spec][?][,syncfile[:spec]]" or "[label]": adds, or for a leading '-' disables,
// map elements. An optional map ('?') that matches nothing is only logged.
void ParseStreamMap(const TObject *Sender, const TInputsView &in, const std::string &arg,
                    std::vector<TStreamMap> &maps);

// "-1[:ofile.ostream]" (muted channel) or "file.stream.channel[:ofile.ostream]": appends one
// element (it stays even when the channel is reported invalid with a '?').
void ParseChannelMap(const TObject *Sender, const TInputsView &in, const std::string &arg,
                     std::vector<TAudioChannelMap> &maps);

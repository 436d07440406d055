// What a job reads from each source when its options differ by source (subtitles burned in,
// audio tracks by language).
#pragma once

#include "shell/settings/OptionBuilders.h"

#include <string>

class TCustomDecoder;

// The facts of the file open in ADecoder, found at APath: the kind of its first subtitle
// stream and the language of each audio stream. APath is made absolute, since the subtitles
// filter opens the file itself.
TSourceFacts SourceFactsOf(TCustomDecoder &ADecoder, const std::string &APath);

// The multi-line report of an open file (modelled on the library's own format dump): name,
// format, size, metadata, duration/start/bit rate, chapters, programs and one line per stream.
#pragma once

#include <cstdint>
#include <string>

#include "components/FFAPI.h"

std::string FormatFileInfoText(const AVFormatContext *AContext);

// "%d Byte" up to 1024 bytes, then "%.2f KB", "%.2f MB", "%.2f GB".
std::string FileSizeText(int64_t ASize);
// A metadata block (empty when the dictionary holds nothing but "language").
std::string MetadataText(const AVDictionary *AMetadata, const std::string &AIndent);
// A rate as the dump shows it: "%1.4f", "%3.2f", "%1.0f" or "%1.0fk", then the postfix.
std::string RateText(double AValue, const char *APostfix);

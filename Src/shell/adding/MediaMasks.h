// The media file types the file list accepts and the mask-list helpers the folder scan uses.
// Plain C++ (no toolkit), so the rules can be tested headlessly.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The accepted extensions as a mask list (trailing separator included): twenty long-standing
// ones, the containers the program writes itself beyond those (M4V, WebM), so that its own
// outputs can be added again, then common audio files and camcorder transport streams. A file
// of any of them is listed only when the decoder opens it.
inline constexpr std::string_view MediaMasks =
    "*.3GP;*.ASF;*.AVI;*.AVM;*.AVS;*.DAT;*.FLV;*.MKV;*.MOV;*.MP4;*.MPEG;*.MPG;*.NSV;*.OGM;*.RM;"
    "*.RMVB;*.TP;*.TS;*.VOB;*.WMV;*.M4V;*.WEBM;*.WAV;*.FLAC;*.MP3;*.M4A;*.OGG;*.OPUS;*.MTS;"
    "*.M2TS;";

// Splits a ";"-separated list, trimming every item and dropping empty and repeated ones.
std::vector<std::string> SplitList(std::string_view AText);

// File-name pattern matching with "*" and "?", ignoring ASCII letter case.
bool MatchesMask(std::string_view AName, std::string_view AMask);

// True when the path's extension (ignoring case) is one of the accepted ones; a name without
// extension never is.
bool IsAcceptedMediaPath(std::string_view APath);

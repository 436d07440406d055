// The media file types the file list accepts and the mask-list helpers the folder scan uses.
// Plain C++ (no toolkit), so the rules can be tested headlessly.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The accepted extensions as a mask list (trailing separator included): twenty long-standing
// ones, then the containers the program writes itself beyond those (M4V, WebM), so that its
// own outputs can be added again.
inline constexpr std::string_view MediaMasks =
    "*.3GP;*.ASF;*.AVI;*.AVM;*.AVS;*.DAT;*.FLV;*.MKV;*.MOV;*.MP4;*.MPEG;*.MPG;*.NSV;*.OGM;*.RM;"
    "*.RMVB;*.TP;*.TS;*.VOB;*.WMV;*.M4V;*.WEBM;";

// Splits a ";"-separated list, trimming every item and dropping empty and repeated ones.
std::vector<std::string> SplitList(std::string_view AText);

// File-name pattern matching with "*" and "?", ignoring ASCII letter case.
bool MatchesMask(std::string_view AName, std::string_view AMask);

// True when the path's extension (ignoring case) is one of the accepted ones; a name without
// extension never is.
bool IsAcceptedMediaPath(std::string_view APath);

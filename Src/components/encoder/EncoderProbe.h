// What the loaded libavcodec can encode with: encoders by name, and the hardware encoders that
// open on a device of this machine. Both need the encoder libraries loaded (TFFLoader) and
// read only process-wide library state, so they may run on any thread once loading is done.
#pragma once

#include <string>
#include <vector>

// Whether the loaded libavcodec has an encoder of this name; false while it is not loaded.
bool HasEncoder(const std::string &AName);

// The hardware encoders among ANames ("h264_vaapi", "hevc_nvenc", "h264_qsv" ...) that open
// on a device: the device of their kind is created and the encoder opened on a small picture,
// then both are released. Takes up to a few seconds with a device present (call it off the
// main thread); a name of another kind, an encoder the library lacks or a device that cannot
// be created leaves the name out.
std::vector<std::string> OpenableHardwareEncoders(const std::vector<std::string> &ANames);

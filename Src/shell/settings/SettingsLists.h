// Item lists of the settings combo boxes (Video, Audio, CPU usage tabs and the rotation
// choice of the effects dialog), in display order, and the encoder lists of each container.
// The window fills its combo boxes from these; the option builders resolve positions to texts
// through the same lists, so both always agree.
#pragma once

#include <string>
#include <vector>

using TItemList = std::vector<std::string>;

// Video tab.
const TItemList &VideoFormatItems();    // "AVI" ... "WMV" (10)
const TItemList &VideoAspectItems();    // "Original", "4:3", ...
const TItemList &VideoFrameSizeItems(); // "Original" ... "7680x4800" (30; last = custom slot)
const TItemList &VideoFrameRateItems(); // "Original", "10", "15", "25", "30"
const TItemList &VideoBitrateItems();   // "Original", "256" ... "50000" (kbit/s)

// Audio tab.
// "MP3", "WAV", "OGG", "FLAC", "WMA", "M4A" (AAC), "Opus": items added come last, so stored
// positions keep their meaning.
const TItemList &AudioFormatItems();
const TItemList &AudioSampleRateItems(); // "Original", "8000" ... "48000"
const TItemList &AudioChannelItems();    // "Original", "Mono", "Stereo"
const TItemList &AudioBitrateItems();    // "32" ... "384" (no "Original")
const TItemList &SubtitleItems();
const TItemList &AudioTrackItems(); // "None", "Keep first", "Burn in first" (TSubtitles
                                    // order) and "First", "All", "Languages" (TAudioTracks)

// CPU usage tab.
const TItemList &ThreadsItems(); // files at once: "1" ... "8", "Auto"
// The number of files converted at once for a ThreadsItems position: 1 to 8, and for "Auto"
// the number of the machine's cores.
int FilesAtOnce(int AThreadsIndex);
const TItemList &CPUUsageItems(); // "Idle", "Low", "Normal", "High"

// Effects dialog rotation choice: "90 degrees", "180 degrees", "270 degrees".
const TItemList &RotateItems();

// Encoder lists of the container at position VideoFormat of VideoFormatItems(); an empty list
// for a position outside it.
const TItemList &VideoEncoderItems(int VideoFormat);
const TItemList &AudioEncoderItems(int VideoFormat);

// The encoder item that copies the stream as it is, last in every encoder list.
inline constexpr const char *CopyItem = "Copy (no re-encode)";
// Hardware encoder items, shown only where one opens on a device: VAAPI, NVENC, QSV.
inline constexpr const char *H264Hardware[] = {"H.264 (VAAPI)", "H.264 (NVENC)", "H.264 (QSV)"};
inline constexpr const char *H265Hardware[] = {"H.265 (VAAPI)", "H.265 (NVENC)", "H.265 (QSV)"};

// The libavcodec encoder an encoder item writes with ("copy" for CopyItem), or "" for items
// that take the container's codec or write their own options (VP8, OGG, DivX).
std::string EncoderOfItem(const std::string &Item);
// Whether Encoder is a hardware encoder ("h264_vaapi", "hevc_nvenc", "h264_qsv" ...).
bool IsHardwareEncoder(const std::string &Encoder);

// Positions of the containers in VideoFormatItems().
enum TVideoFormatIndex { vfAVI, vfM4V, vfMKV, vfMOV, vfMP4, vfMPG, vfTS, vfVOB, vfWebM, vfWMV };

// Text of Items[Index], or "" when Index is outside the list (a combo box with no selection).
std::string ItemText(const TItemList &Items, int Index);

// Position of Text in Items, or -1.
int IndexOfItem(const TItemList &Items, const std::string &Text);

#include "shell/settings/SettingsLists.h"

#include <algorithm>
#include <cstring>
#include <thread>
#include <utility>

const TItemList &VideoFormatItems() {
  static const TItemList Items{"AVI", "M4V", "MKV", "MOV",  "MP4",
                               "MPG", "TS",  "VOB", "WebM", "WMV"};
  return Items;
}

const TItemList &VideoAspectItems() {
  static const TItemList Items{"Original", "4:3", "16:9", "37:20", "47:20"};
  return Items;
}

const TItemList &VideoFrameSizeItems() {
  static const TItemList Items{"Original",  "128x96",    "160x120",   "176x144",   "320x200",
                               "320x240",   "352x288",   "640x350",   "640x480",   "704x576",
                               "720x480",   "800x600",   "852x480",   "1024x768",  "1280x720",
                               "1280x1024", "1366x768",  "1600x1200", "1600x1024", "1920x1080",
                               "1920x1200", "2048x1536", "2560x1600", "2560x2048", "3200x2048",
                               "3840x2400", "4096x2160", "5120x4096", "6400x4096", "7680x4800"};
  return Items;
}

const TItemList &VideoFrameRateItems() {
  static const TItemList Items{"Original", "10", "15", "25", "30"};
  return Items;
}

const TItemList &VideoBitrateItems() {
  static const TItemList Items{
      "Original", "256",   "384",   "512",   "640",   "768",   "900",   "1000",  "1200",  "1500",
      "2000",     "2500",  "3000",  "4000",  "5000",  "6000",  "7000",  "8000",  "9000",  "10000",
      "12000",    "15000", "18000", "20000", "25000", "30000", "35000", "40000", "45000", "50000"};
  return Items;
}

const TItemList &AudioFormatItems() {
  static const TItemList Items{"MP3", "WAV", "OGG", "FLAC", "WMA", "M4A", "Opus"};
  return Items;
}

const TItemList &AudioSampleRateItems() {
  static const TItemList Items{"Original", "8000", "11025", "22050", "44100", "48000"};
  return Items;
}

const TItemList &AudioChannelItems() {
  static const TItemList Items{"Original", "Mono", "Stereo"};
  return Items;
}

const TItemList &AudioBitrateItems() {
  static const TItemList Items{"32",  "40",  "48",  "56",  "64",  "80",  "96",
                               "128", "160", "192", "224", "256", "320", "384"};
  return Items;
}

const TItemList &SubtitleItems() {
  static const TItemList Items{"None", "Keep first", "Burn in first"};
  return Items;
}

const TItemList &AudioTrackItems() {
  static const TItemList Items{"First", "All", "Languages"};
  return Items;
}

const TItemList &ThreadsItems() {
  static const TItemList Items{"1", "2", "3", "4", "5", "6", "7", "8", "Auto"};
  return Items;
}

int FilesAtOnce(int AThreadsIndex) {
  const int last = int(ThreadsItems().size()) - 1;
  if (AThreadsIndex == last)
    return std::max(1, int(std::thread::hardware_concurrency()));
  return std::clamp(AThreadsIndex, 0, last - 1) + 1;
}

const TItemList &CPUUsageItems() {
  static const TItemList Items{"Idle", "Low", "Normal", "High"};
  return Items;
}

const TItemList &RotateItems() {
  static const TItemList Items{"90 degrees", "180 degrees", "270 degrees"};
  return Items;
}

namespace {

struct TEncoderLists {
  TItemList Video;
  TItemList Audio;
};

// One row per container, in the order of VideoFormatItems(). Items added since the first lists
// come after the original ones, so stored positions keep their meaning; which of them a window
// shows depends on the encoders the libraries have (see EncoderOfItem).
const std::vector<TEncoderLists> &EncoderLists() {
  const std::string Copy = CopyItem;
  static const std::vector<TEncoderLists> Lists{
      {{"MPEG4", "H.264", "DivX", "xVid", H264Hardware[0], H264Hardware[1], H264Hardware[2], Copy},
       {"MP3", "AC3", Copy}}, // AVI
      {{"MPEG4", "H.264", H264Hardware[0], H264Hardware[1], H264Hardware[2], Copy},
       {"AAC", Copy}}, // M4V
      {{"MPEG4", "H.264", "H.265", "xVid", "VP9", "AV1", H264Hardware[0], H264Hardware[1],
        H264Hardware[2], H265Hardware[0], H265Hardware[1], H265Hardware[2], Copy},
       {"MP3", "AAC", "Opus", Copy}}, // MKV
      {{"MPEG4", "H.264", "H.265", H264Hardware[0], H264Hardware[1], H264Hardware[2],
        H265Hardware[0], H265Hardware[1], H265Hardware[2], Copy},
       {"AAC", Copy}}, // MOV
      {{"MPEG4", "H.264", "H.265", "VP9", "AV1", H264Hardware[0], H264Hardware[1], H264Hardware[2],
        H265Hardware[0], H265Hardware[1], H265Hardware[2], Copy},
       {"AAC", "AC3", "Opus", Copy}},   // MP4
      {{"MPEG2", Copy}, {"MP2", Copy}}, // MPG
      {{"H.264", "H.265", H264Hardware[0], H264Hardware[1], H264Hardware[2], H265Hardware[0],
        H265Hardware[1], H265Hardware[2], Copy},
       {"AC3", Copy}},                                      // TS
      {{"MPEG2", Copy}, {"MP2", "AC3", Copy}},              // VOB
      {{"VP8", "VP9", "AV1", Copy}, {"OGG", "Opus", Copy}}, // WebM
      {{"WMV", Copy}, {"WMA", Copy}},                       // WMV
  };
  return Lists;
}

const TItemList &EmptyList() {
  static const TItemList Items;
  return Items;
}

bool ValidFormat(int VideoFormat) {
  return VideoFormat >= 0 && VideoFormat < static_cast<int>(EncoderLists().size());
}

} // namespace

const TItemList &VideoEncoderItems(int VideoFormat) {
  return ValidFormat(VideoFormat) ? EncoderLists()[VideoFormat].Video : EmptyList();
}

const TItemList &AudioEncoderItems(int VideoFormat) {
  return ValidFormat(VideoFormat) ? EncoderLists()[VideoFormat].Audio : EmptyList();
}

std::string ItemText(const TItemList &Items, int Index) {
  if (Index < 0 || Index >= static_cast<int>(Items.size()))
    return {};
  return Items[Index];
}

int IndexOfItem(const TItemList &Items, const std::string &Text) {
  const auto It = std::find(Items.begin(), Items.end(), Text);
  return It == Items.end() ? -1 : static_cast<int>(It - Items.begin());
}

namespace {

// The libavcodec encoder behind each encoder item whose codec the item names alone; items
// that take the container's codec (VP8, OGG) or write their own options (DivX) have none.
constexpr std::pair<const char *, const char *> ItemEncoders[] = {
    {"MPEG4", "mpeg4"},
    {"H.264", "libx264"},
    {"H.265", "libx265"},
    {"xVid", "libxvid"},
    {"MPEG2", "mpeg2video"},
    {"WMV", "wmv2"},
    {"VP9", "libvpx-vp9"},
    {"AV1", "libsvtav1"},
    {"H.264 (VAAPI)", "h264_vaapi"},
    {"H.264 (NVENC)", "h264_nvenc"},
    {"H.264 (QSV)", "h264_qsv"},
    {"H.265 (VAAPI)", "hevc_vaapi"},
    {"H.265 (NVENC)", "hevc_nvenc"},
    {"H.265 (QSV)", "hevc_qsv"},
    {"MP3", "libmp3lame"},
    {"AC3", "ac3"},
    {"AAC", "aac"},
    {"MP2", "mp2"},
    {"WMA", "wmav2"},
    {"Opus", "libopus"},
    {CopyItem, "copy"},
};

} // namespace

std::string EncoderOfItem(const std::string &Item) {
  for (const auto &[Name, Encoder] : ItemEncoders)
    if (Item == Name)
      return Encoder;
  return {};
}

bool IsHardwareEncoder(const std::string &Encoder) {
  for (const char *Suffix : {"_vaapi", "_nvenc", "_qsv"})
    if (Encoder.size() > std::strlen(Suffix) &&
        Encoder.compare(Encoder.size() - std::strlen(Suffix), std::string::npos, Suffix) == 0)
      return true;
  return false;
}

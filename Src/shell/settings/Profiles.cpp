#include "shell/settings/Profiles.h"

#include <array>
#include <vector>

namespace {

using TProfileList = std::vector<TProfile>;

constexpr const char *Keep = nullptr;

// Profiles per type, in cb_Format order. Columns: name, container, video encoder, frame size,
// video bit rate, frame rate, sample rate, audio bit rate, channels, audio encoder. Where a
// container's list offers a single encoder (MPG, WMV video and audio, MOV and M4V audio) the
// profile takes it.
const std::array<TProfileList, 6> &Catalogue() {
  static const std::array<TProfileList, 6> Profiles{{
      {
          // General
          {"AVI (*.avi)", "AVI", "MPEG4", Keep, "Original", Keep, "44100", "128", "Stereo", "MP3"},
          {"M4V (*.m4v)", "M4V", "MPEG4", Keep, "Original", Keep, "44100", "96", "Stereo", "AAC"},
          {"MKV (*.mkv)", "MKV", "MPEG4", Keep, "Original", Keep, "44100", "128", "Stereo", "MP3"},
          {"QuickTime (*.mov)", "MOV", "MPEG4", Keep, "Original", Keep, "44100", "128", "Stereo",
           "AAC"},
          {"MPEG4 (*.mp4)", "MP4", "MPEG4", Keep, "Original", Keep, "44100", "96", "Stereo", "AAC"},
          {"MPEG4 AVC (*.mp4)", "MP4", "H.264", Keep, "Original", Keep, "44100", "96", "Stereo",
           "AAC"},
          {"MPEG (*.mpg)", "MPG", "MPEG2", Keep, "Original", Keep, "44100", "128", "Stereo", "MP2"},
          {"VOB (*.vob)", "VOB", "MPEG2", "720x480", "5000", "30", "44100", "256", "Stereo", "MP2"},
          {"WebM (*.webm)", "WebM", "VP8", Keep, "Original", Keep, "44100", "128", "Stereo", "OGG"},
          {"WMV (*.wmv)", "WMV", "WMV", Keep, "Original", Keep, "44100", "128", "Stereo", "WMA"},
          {"DVD-Video (*.vob)", "VOB", "MPEG2", "720x480", "5000", "30", "44100", "192", "Stereo",
           "MP2"},
      },
      {
          // HD Video
          {"HD AVI (*.avi)", "AVI", "H.264", "1920x1080", "10000", Keep, "48000", "192", "Stereo",
           "AC3"},
          {"HD XviD (*.avi)", "AVI", "xVid", "1920x1080", "9000", Keep, "44100", "128", "Stereo",
           "MP3"},
          {"HD MKV (*.mkv)", "MKV", "H.264", "1920x1080", "7000", Keep, "44100", "192", "Stereo",
           "MP3"},
          {"HD MPEG4 (*.mp4)", "MP4", "MPEG4", "1920x1080", "7000", Keep, "44100", "128", "Stereo",
           "AAC"},
          {"HD AVC (*.mp4)", "MP4", "H.264", "1920x1080", "7000", Keep, "44100", "192", "Stereo",
           "AAC"},
          {"HD MPEG (*.mpg)", "MPG", "MPEG2", "1920x1080", "10000", Keep, "44100", "128", "Stereo",
           "MP2"},
          {"HD TS (*.ts)", "TS", "H.264", "1920x1080", "7000", Keep, "44100", "192", "Stereo",
           "AC3"},
          {"HD VOB (*.vob)", "VOB", "MPEG2", "1920x1080", "10000", Keep, "44100", "384", "Stereo",
           "MP2"},
          {"HD WebM (*.webm)", "WebM", "VP8", "1920x1080", "4000", Keep, "44100", "128", "Stereo",
           "OGG"},
          {"HD WMV (*.wmv)", "WMV", "WMV", "1920x1080", "7000", Keep, "48000", "128", "Stereo",
           "WMA"},
      },
      {
          // 4K Video
          {"4K AVI (*.avi)", "AVI", "H.264", "4096x2160", "25000", Keep, "44100", "192", "Stereo",
           "AC3"},
          {"4K XviD (*.avi)", "AVI", "xVid", "4096x2160", "25000", Keep, "44100", "128", "Stereo",
           "MP3"},
          {"4K MKV (*.mkv)", "MKV", "H.264", "4096x2160", "25000", Keep, "44100", "192", "Stereo",
           "MP3"},
          {"4K MPEG4 (*.mp4)", "MP4", "MPEG4", "4096x2160", "25000", Keep, "44100", "128", "Stereo",
           "AAC"},
          {"4K AVC (*.mp4)", "MP4", "H.264", "4096x2160", "25000", Keep, "44100", "128", "Stereo",
           "AAC"},
          {"4K TS (*.ts)", "TS", "H.264", "4096x2160", "25000", Keep, "44100", "192", "Stereo",
           "AC3"},
          {"4K WebM (*.webm)", "WebM", "VP8", "4096x2160", "25000", Keep, "44100", "128", "Stereo",
           "OGG"},
      },
      {
          // iPhone
          {"iPhone 5/6 MOV (*.mov)", "MOV", "MPEG4", "640x480", "1500", Keep, "44100", "128",
           "Stereo", "AAC"},
          {"iPhone 5/6 MPEG4 (*.mp4)", "MP4", "H.264", "640x480", "2000", Keep, "44100", "128",
           "Stereo", "AAC"},
          {"iPhone 5/6 HD (*.mp4)", "MP4", "H.264", "1920x1080", "7000", Keep, "48000", "160",
           "Stereo", "AAC"},
          {"iPhone 5/6 720p (*.mp4)", "MP4", "H.264", "1280x720", "7000", Keep, "48000", "160",
           "Stereo", "AAC"},
          {"iPhone 7/8/X HD (*.mp4)", "MP4", "H.264", "1920x1080", "9000", Keep, "48000", "160",
           "Stereo", "AAC"},
      },
      {
          // iPad
          {"iPad 4/Pro/Air MOV (*.mov)", "MOV", "MPEG4", "640x480", "1500", Keep, "44100", "128",
           "Stereo", "AAC"},
          {"iPad 4/Pro/Air HD (*.mp4)", "MP4", "H.264", "1920x1080", "9000", Keep, "48000", "160",
           "Stereo", "AAC"},
          {"iPad 4/Pro/Air 720p (*.mp4)", "MP4", "H.264", "1280x720", "3000", Keep, "48000", "160",
           "Stereo", "AAC"},
      },
      {
          // Apple TV
          {"Apple TV 2 DD (*.m4v)", "M4V", "H.264", "1280x720", "3000", Keep, "48000", "128",
           "Stereo", "AAC"},
          {"Apple TV 3/4 DD (*.m4v)", "M4V", "H.264", "1920x1200", "5000", Keep, "48000", "128",
           "Stereo", "AAC"},
          {"Apple TV MPEG4 (*.mp4)", "MP4", "H.264", "720x480", "1500", Keep, "48000", "128",
           "Stereo", "AAC"},
          {"Apple TV HD (*.mp4)", "MP4", "H.264", "1280x720", "3000", "25", "48000", "128",
           "Stereo", "AAC"},
      },
  }};
  return Profiles;
}

// The profiles of a type, or nullptr outside the catalogue.
const TProfileList *ProfilesOf(int ProfileType) {
  if (ProfileType < 0 || ProfileType >= static_cast<int>(Catalogue().size()))
    return nullptr;
  return &Catalogue()[ProfileType];
}

// Selects Text in Items unless the profile leaves the control as it is.
void Select(int &Position, const TItemList &Items, const char *Text) {
  if (Text != Keep)
    Position = IndexOfItem(Items, Text);
}

void ResetToOriginal(TConversionSettings &S) {
  S.VideoAspect = 0;
  S.VideoFrameRate = 0;
  S.VideoFrameSize = 0;
  S.VideoBitrate = 0;
  S.AudioSampleRate = 0;
  S.AudioChannel = 0;
}

} // namespace

const TItemList &ProfileTypeItems() {
  static const TItemList Items{"General", "HD Video", "4K Video", "iPhone", "iPad", "Apple TV"};
  return Items;
}

TItemList ProfileFormatItems(int ProfileType) {
  TItemList Items;
  if (const TProfileList *Profiles = ProfilesOf(ProfileType))
    for (const TProfile &P : *Profiles)
      Items.emplace_back(P.Name);
  return Items;
}

const TProfile *FindProfile(int ProfileType, int ProfileFormat) {
  const TProfileList *Profiles = ProfilesOf(ProfileType);
  if (!Profiles || ProfileFormat < 0 || ProfileFormat >= static_cast<int>(Profiles->size()))
    return nullptr;
  return &(*Profiles)[ProfileFormat];
}

void ApplyProfile(TConversionSettings &S, int ProfileType, int ProfileFormat,
                  bool OriginalParameters) {
  if (const TProfile *P = FindProfile(ProfileType, ProfileFormat)) {
    SelectVideoFormat(S, IndexOfItem(VideoFormatItems(), P->VideoFormat));
    Select(S.VideoEncoder, VideoEncoderItems(S.VideoFormat), P->VideoEncoder);
    Select(S.VideoFrameSize, VideoFrameSizeItems(), P->VideoFrameSize);
    Select(S.VideoBitrate, VideoBitrateItems(), P->VideoBitrate);
    Select(S.VideoFrameRate, VideoFrameRateItems(), P->VideoFrameRate);
    Select(S.AudioSampleRate, AudioSampleRateItems(), P->AudioSampleRate);
    Select(S.AudioBitrate, AudioBitrateItems(), P->AudioBitrate);
    Select(S.AudioChannel, AudioChannelItems(), P->AudioChannel);
    Select(S.AudioEncoder, AudioEncoderItems(S.VideoFormat), P->AudioEncoder);
  }
  if (OriginalParameters)
    ResetToOriginal(S);
}

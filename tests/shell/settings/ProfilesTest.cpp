#include "SettingsChoice.h"

#include "shell/settings/OptionBuilders.h"
#include "shell/settings/Profiles.h"

#include <gtest/gtest.h>

namespace {

int TypeOf(const char *Type) {
  return Position(ProfileTypeItems(), Type);
}

int FormatOf(int Type, const char *Name) {
  return Position(ProfileFormatItems(Type), Name);
}

// A state far from every profile, to see what applying changes and what it leaves.
TConversionSettings Busy() {
  TConversionSettings S = MakeSettings({.Format = "MKV",
                                        .VideoEncoder = "xVid",
                                        .AudioEncoder = "AAC",
                                        .AudioBitrate = "40",
                                        .VideoBitrate = "256",
                                        .Aspect = "47:20",
                                        .Channel = "Mono",
                                        .SampleRate = "8000",
                                        .FrameRate = "10",
                                        .FrameSize = "128x96"});
  S.Threads = 5;
  S.CPUUsage = 0;
  S.AudioFormat = 3;
  return S;
}

TEST(Profiles, TypesAndNamesInOrder) {
  EXPECT_EQ(ProfileTypeItems(),
            (TItemList{"General", "HD Video", "4K Video", "iPhone", "iPad", "Apple TV"}));
  const std::vector<size_t> Counts{11, 10, 7, 5, 3, 4};
  for (size_t T = 0; T < Counts.size(); ++T)
    EXPECT_EQ(ProfileFormatItems(static_cast<int>(T)).size(), Counts[T]) << T;
  EXPECT_EQ(ProfileFormatItems(0).front(), "AVI (*.avi)");
  EXPECT_EQ(ProfileFormatItems(0).back(), "DVD-Video (*.vob)");
  EXPECT_EQ(ProfileFormatItems(5).back(), "Apple TV HD (*.mp4)");
  EXPECT_TRUE(ProfileFormatItems(6).empty());
  EXPECT_TRUE(ProfileFormatItems(-1).empty());
}

// Every cell of the catalogue names an item its control has, so applying never leaves a list
// without a selection, and every profile builds a video option string with a codec.
TEST(Profiles, EveryProfileSelectsExistingItems) {
  for (int T = 0; T < static_cast<int>(ProfileTypeItems().size()); ++T) {
    for (int F = 0; F < static_cast<int>(ProfileFormatItems(T).size()); ++F) {
      SCOPED_TRACE(ProfileFormatItems(T)[F]);
      TConversionSettings S = Busy();
      ApplyProfile(S, T, F, false);
      for (int Position :
           {S.VideoFormat, S.VideoEncoder, S.VideoFrameSize, S.VideoBitrate, S.VideoFrameRate,
            S.AudioSampleRate, S.AudioBitrate, S.AudioChannel, S.AudioEncoder})
        EXPECT_GE(Position, 0);
      EXPECT_EQ(S.AudioChannel, 2);
      EXPECT_NE(BuildVideoOptions(S, {}).find(" -c:v "), std::string::npos);
    }
  }
}

struct TApplyCase {
  const char *Type;
  const char *Profile;
  bool Original;
  TChoice Expected; // from Busy(): items the profile leaves stay as they were
};

void PrintTo(const TApplyCase &C, std::ostream *Out) {
  *Out << C.Profile;
}

class ApplyProfileTest : public ::testing::TestWithParam<TApplyCase> {};

TEST_P(ApplyProfileTest, SetsTheProfileControls) {
  const TApplyCase &C = GetParam();
  const int Type = TypeOf(C.Type);
  TConversionSettings S = Busy();
  ApplyProfile(S, Type, FormatOf(Type, C.Profile), C.Original);
  TConversionSettings Expected = MakeSettings(C.Expected);
  // Neither the audio format, the CPU tab nor the aspect ratio belong to a profile.
  Expected.Threads = 5;
  Expected.CPUUsage = 0;
  Expected.AudioFormat = 3;
  EXPECT_EQ(S, Expected) << BuildVideoOptions(S, {}) << " vs " << BuildVideoOptions(Expected, {});
}

const TApplyCase ApplyCases[] = {
    {"HD Video",
     "HD AVC (*.mp4)",
     true,
     {.Format = "MP4", .VideoEncoder = "H.264", .AudioEncoder = "AAC", .AudioBitrate = "192"}},
    {"HD Video",
     "HD AVC (*.mp4)",
     false,
     {.Format = "MP4",
      .VideoEncoder = "H.264",
      .AudioEncoder = "AAC",
      .AudioBitrate = "192",
      .VideoBitrate = "7000",
      .Aspect = "47:20",
      .Channel = "Stereo",
      .SampleRate = "44100",
      .FrameRate = "10",
      .FrameSize = "1920x1080"}},
    // General profiles other than the two VOB ones keep frame size and frame rate.
    {"General",
     "MKV (*.mkv)",
     false,
     {.Format = "MKV",
      .VideoEncoder = "MPEG4",
      .AudioEncoder = "MP3",
      .AudioBitrate = "128",
      .VideoBitrate = "Original",
      .Aspect = "47:20",
      .Channel = "Stereo",
      .SampleRate = "44100",
      .FrameRate = "10",
      .FrameSize = "128x96"}},
    {"General",
     "DVD-Video (*.vob)",
     false,
     {.Format = "VOB",
      .VideoEncoder = "MPEG2",
      .AudioEncoder = "MP2",
      .AudioBitrate = "192",
      .VideoBitrate = "5000",
      .Aspect = "47:20",
      .Channel = "Stereo",
      .SampleRate = "44100",
      .FrameRate = "30",
      .FrameSize = "720x480"}},
    {"General",
     "DVD-Video (*.vob)",
     true,
     {.Format = "VOB", .VideoEncoder = "MPEG2", .AudioEncoder = "MP2", .AudioBitrate = "192"}},
    {"HD Video",
     "HD XviD (*.avi)",
     true,
     {.Format = "AVI", .VideoEncoder = "xVid", .AudioEncoder = "MP3", .AudioBitrate = "128"}},
    {"4K Video",
     "4K AVI (*.avi)",
     true,
     {.Format = "AVI", .VideoEncoder = "H.264", .AudioEncoder = "AC3", .AudioBitrate = "192"}},
    {"4K Video",
     "4K TS (*.ts)",
     false,
     {.Format = "TS",
      .VideoEncoder = "H.264",
      .AudioEncoder = "AC3",
      .AudioBitrate = "192",
      .VideoBitrate = "25000",
      .Aspect = "47:20",
      .Channel = "Stereo",
      .SampleRate = "44100",
      .FrameRate = "10",
      .FrameSize = "4096x2160"}},
    {"Apple TV",
     "Apple TV HD (*.mp4)",
     false,
     {.Format = "MP4",
      .VideoEncoder = "H.264",
      .AudioEncoder = "AAC",
      .AudioBitrate = "128",
      .VideoBitrate = "3000",
      .Aspect = "47:20",
      .Channel = "Stereo",
      .SampleRate = "48000",
      .FrameRate = "25",
      .FrameSize = "1280x720"}},
    // The open cells take the only encoder their container's list offers.
    {"HD Video",
     "HD MPEG (*.mpg)",
     true,
     {.Format = "MPG", .VideoEncoder = "MPEG2", .AudioEncoder = "MP2", .AudioBitrate = "128"}},
    {"HD Video",
     "HD WMV (*.wmv)",
     false,
     {.Format = "WMV",
      .VideoEncoder = "WMV",
      .AudioEncoder = "WMA",
      .AudioBitrate = "128",
      .VideoBitrate = "7000",
      .Aspect = "47:20",
      .Channel = "Stereo",
      .SampleRate = "48000",
      .FrameRate = "10",
      .FrameSize = "1920x1080"}},
    {"iPhone",
     "iPhone 5/6 MOV (*.mov)",
     true,
     {.Format = "MOV", .VideoEncoder = "MPEG4", .AudioEncoder = "AAC", .AudioBitrate = "128"}},
    {"iPad",
     "iPad 4/Pro/Air MOV (*.mov)",
     true,
     {.Format = "MOV", .VideoEncoder = "MPEG4", .AudioEncoder = "AAC", .AudioBitrate = "128"}},
    {"Apple TV",
     "Apple TV 2 DD (*.m4v)",
     false,
     {.Format = "M4V",
      .VideoEncoder = "H.264",
      .AudioEncoder = "AAC",
      .AudioBitrate = "128",
      .VideoBitrate = "3000",
      .Aspect = "47:20",
      .Channel = "Stereo",
      .SampleRate = "48000",
      .FrameRate = "10",
      .FrameSize = "1280x720"}},
};

INSTANTIATE_TEST_SUITE_P(Table, ApplyProfileTest, ::testing::ValuesIn(ApplyCases),
                         [](const auto &Info) {
                           return ProfileCaseName(Info.param.Profile, Info.param.Original);
                         });

TEST(ApplyProfile, OriginalParametersAlsoResetsAspect) {
  TConversionSettings S = Busy();
  ApplyProfile(S, 0, 0, true);
  EXPECT_EQ(S.VideoAspect, 0);
}

TEST(ApplyProfile, UnknownProfileOnlyResets) {
  TConversionSettings S = Busy();
  ApplyProfile(S, 2, 7, false); // 4K Video has 7 profiles
  EXPECT_EQ(S, Busy());
  ApplyProfile(S, 9, 0, true);
  TConversionSettings Expected = Busy();
  Expected.VideoAspect = Expected.VideoFrameRate = Expected.VideoFrameSize = 0;
  Expected.VideoBitrate = Expected.AudioSampleRate = Expected.AudioChannel = 0;
  EXPECT_EQ(S, Expected);
}

TEST(ApplyProfile, RefillsStaleEncoderLists) {
  TConversionSettings S = Busy();
  S.EncoderListFormat = 0;
  ApplyProfile(S, 0, 2, true); // MKV again
  EXPECT_EQ(S.EncoderListFormat, -1);
  EXPECT_EQ(VideoEncoderText(S), "MPEG4");
  EXPECT_EQ(AudioEncoderText(S), "MP3");
}

} // namespace

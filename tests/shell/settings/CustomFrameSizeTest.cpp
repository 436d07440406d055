#include "shell/settings/OptionBuilders.h"
#include "shell/settings/SettingsLists.h"
#include "shell/settings/TConversionSettings.h"

#include <gtest/gtest.h>

namespace {

constexpr int CustomSlot = 29;

struct TCustomCase {
  const char *Name;
  std::vector<std::string> Typed; // one dialog "OK" per text, in order
  int Selected;
  const char *Slot;
};

void PrintTo(const TCustomCase &C, std::ostream *Out) {
  *Out << C.Name;
}

class CustomFrameSizeTest : public ::testing::TestWithParam<TCustomCase> {};

TEST_P(CustomFrameSizeTest, SelectsOrReplacesTheCustomSlot) {
  TConversionSettings S;
  for (const std::string &Text : GetParam().Typed)
    ApplyCustomFrameSize(S, Text);
  EXPECT_EQ(S.VideoFrameSize, GetParam().Selected);
  EXPECT_EQ(S.Custom, GetParam().Slot);
}

const TCustomCase CustomCases[] = {
    {"ExistingItemSelectedSlotKept", {"1280x720"}, 14, "7680x4800"},
    {"NewSizeReplacesSlot", {"1920x816"}, CustomSlot, "1920x816"},
    {"SameSizeAgainNoSecondCopy", {"1920x816", "1280x720", "1920x816"}, CustomSlot, "1920x816"},
    {"SlotsOwnTextSelectsSlot", {"7680x4800"}, CustomSlot, "7680x4800"},
    {"ComparisonIsExact", {"1280X720"}, CustomSlot, "1280X720"},
    {"OriginalIsNotMatched", {"Original"}, CustomSlot, "Original"},
    {"EmptyWidthStored", {"x720"}, CustomSlot, "x720"},
};

INSTANTIATE_TEST_SUITE_P(Table, CustomFrameSizeTest, ::testing::ValuesIn(CustomCases),
                         [](const auto &Info) { return std::string(Info.param.Name); });

TEST(CustomFrameSize, SlotTextFeedsTheScaleFilter) {
  TConversionSettings S;
  ApplyCustomFrameSize(S, "1920x816");
  EXPECT_EQ(VideoFrameSizeText(S), "1920x816");
  EXPECT_EQ(BuildVideoOptions(S, {}),
            "-b:a 32k -c:a libmp3lame -c:v mpeg4 -vf \"scale=1920:816\"  -sn ");
  S.VideoFrameSize = 28;
  EXPECT_EQ(VideoFrameSizeText(S), "6400x4096");
}

// The encoders of 4:2:0 pictures that refuse to open at an odd side (as Debian's ffmpeg 5.1
// shows: libx264 "width not divisible by 2", wmv2 "width must be multiple of 2") are refused in
// the dialog; MPEG-4, MPEG-2 and VP8 encode 641x361 and are not.
struct TRefusalCase {
  const char *Name;
  int Format;  // position in VideoFormatItems()
  int Encoder; // position in the container's encoder list
  const char *Size;
  const char *Refusal; // "" when the size is taken
};

void PrintTo(const TRefusalCase &C, std::ostream *Out) {
  *Out << C.Name;
}

class FrameSizeRefusalTest : public ::testing::TestWithParam<TRefusalCase> {};

TEST_P(FrameSizeRefusalTest, NamesTheEncoderAndTheEvenSizes) {
  TConversionSettings S;
  SelectVideoFormat(S, GetParam().Format);
  S.VideoEncoder = GetParam().Encoder;
  EXPECT_EQ(FrameSizeRefusal(S, GetParam().Size), GetParam().Refusal);
}

const TRefusalCase RefusalCases[] = {
    {"H264BothOdd", vfAVI, 1, "641x361",
     "H.264 takes only an even width and height (4:2:0 colour): 641 and 361 are odd. Try "
     "640x360 or 642x362."},
    {"H264WidthOdd", vfMP4, 1, "641x360",
     "H.264 takes only an even width and height (4:2:0 colour): 641 is odd. Try 640x360 or "
     "642x360."},
    {"H265HeightOdd", vfMKV, 2, "1280x719",
     "H.265 takes only an even width and height (4:2:0 colour): 719 is odd. Try 1280x718 or "
     "1280x720."},
    {"XvidOdd", vfAVI, 3, "321x240",
     "xVid takes only an even width and height (4:2:0 colour): 321 is odd. Try 320x240 or "
     "322x240."},
    {"WmvOdd", 9, 0, "99x100",
     "WMV takes only an even width and height (4:2:0 colour): 99 is odd. Try 98x100 or 100x100."},
    {"H264Even", vfAVI, 1, "642x362", ""},
    {"H264EmptySideFollowsEven", vfAVI, 1, "x720", ""},
    {"Mpeg4TakesOdd", vfAVI, 0, "641x361", ""},
    {"DivxTakesOdd", vfAVI, 2, "641x361", ""},
    {"Mpeg2TakesOdd", 5, 0, "641x361", ""},
    {"Vp8TakesOdd", 8, 0, "641x361", ""},
};

INSTANTIATE_TEST_SUITE_P(Table, FrameSizeRefusalTest, ::testing::ValuesIn(RefusalCases),
                         [](const auto &Info) { return std::string(Info.param.Name); });

TEST(SettingsLists, ItemCountsAndEnds) {
  EXPECT_EQ(VideoFormatItems().size(), 10u);
  EXPECT_EQ(VideoFrameSizeItems().size(), 30u);
  EXPECT_EQ(VideoFrameSizeItems()[CustomSlot], "7680x4800");
  EXPECT_EQ(VideoBitrateItems().size(), 30u);
  EXPECT_EQ(VideoBitrateItems().back(), "50000");
  EXPECT_EQ(AudioBitrateItems().front(), "32");
  EXPECT_EQ(AudioBitrateItems().back(), "384");
  EXPECT_EQ(ThreadsItems().back(), "Auto");
  // A saved position 0..7 means 1..8 files at once as before; "Auto" is one at least.
  EXPECT_EQ(FilesAtOnce(0), 1);
  EXPECT_EQ(FilesAtOnce(7), 8);
  EXPECT_GE(FilesAtOnce(8), 1);
  EXPECT_EQ(CPUUsageItems()[2], "Normal");
  EXPECT_EQ(VideoEncoderItems(vfAVI), (TItemList{"MPEG4", "H.264", "DivX", "xVid", "H.264 (VAAPI)",
                                                 "H.264 (NVENC)", "H.264 (QSV)", CopyItem}));
  EXPECT_EQ(AudioEncoderItems(vfVOB), (TItemList{"MP2", "AC3", CopyItem}));
  EXPECT_TRUE(VideoEncoderItems(10).empty());
  EXPECT_TRUE(AudioEncoderItems(-1).empty());
}

TEST(SelectVideoFormat, RefillsBothListsWithFirstItems) {
  TConversionSettings S;
  S.VideoEncoder = 3;
  S.AudioEncoder = 1;
  S.EncoderListFormat = vfAVI;
  SelectVideoFormat(S, vfTS);
  EXPECT_EQ(VideoEncoderText(S), "H.264");
  EXPECT_EQ(AudioEncoderText(S), "AC3");
  EXPECT_EQ(S.EncoderListFormat, -1);
}

} // namespace

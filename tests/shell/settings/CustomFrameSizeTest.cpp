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

TEST(SettingsLists, ItemCountsAndEnds) {
  EXPECT_EQ(VideoFormatItems().size(), 10u);
  EXPECT_EQ(VideoFrameSizeItems().size(), 30u);
  EXPECT_EQ(VideoFrameSizeItems()[CustomSlot], "7680x4800");
  EXPECT_EQ(VideoBitrateItems().size(), 30u);
  EXPECT_EQ(VideoBitrateItems().back(), "50000");
  EXPECT_EQ(AudioBitrateItems().front(), "32");
  EXPECT_EQ(AudioBitrateItems().back(), "384");
  EXPECT_EQ(ThreadsItems().back(), "8");
  EXPECT_EQ(CPUUsageItems()[2], "Normal");
  EXPECT_EQ(VideoEncoderItems(vfAVI), (TItemList{"MPEG4", "H.264", "DivX", "xVid"}));
  EXPECT_EQ(AudioEncoderItems(vfVOB), (TItemList{"MP2", "AC3"}));
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

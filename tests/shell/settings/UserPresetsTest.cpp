#include "SettingsChoice.h"

#include "shell/settings/UserPresets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

TUserPresets TwoPresets() {
  return {{"Phone", MakeSettings({.Format = "MP4",
                                  .VideoEncoder = "H.264",
                                  .AudioBitrate = "128",
                                  .FrameSize = "1280x720",
                                  .VideoRateControl = rcQuality,
                                  .VideoQuality = 26,
                                  .Speed = "Fast"})},
          {"Archive copy", MakeSettings({.Format = "MKV",
                                         .VideoEncoder = CopyItem,
                                         .AudioEncoder = CopyItem,
                                         .FrameSize = "1920X816",
                                         .Subtitles = sbKeep})}};
}

// One section per preset, named after it; the text reads back as it was written.
TEST(UserPresets, TextHoldsOneSectionPerPresetAndReadsBack) {
  const TUserPresets Presets = TwoPresets();
  const std::string Text = PresetsText(Presets);
  EXPECT_EQ(Text.find("[Phone]\nCustom=7680x4800\n"), 0u) << Text;
  EXPECT_NE(Text.find("\n[Archive copy]\nCustom=1920X816\n"), std::string::npos) << Text;
  EXPECT_NE(Text.find("VideoQuality=26\n"), std::string::npos);
  EXPECT_EQ(ParsePresets(Text), Presets);
}

// Import: every usable section, the first of a name counting; positions outside their lists and
// sizes that are no sizes fall back to the defaults.
TEST(UserPresets, ParsingTakesUsableSectionsOnly) {
  const TUserPresets Presets = ParsePresets("stray=1\n[A]\nVideoFormat2=99\nCustom=1;rm\n"
                                            "[B]\nAudioBitRate2=3\n[a]\nVideoFormat2=2\n");
  ASSERT_EQ(Presets.size(), 2u);
  EXPECT_EQ(Presets[0].Name, "A");
  EXPECT_EQ(Presets[0].Settings, TConversionSettings());
  EXPECT_EQ(Presets[1].Name, "B");
  EXPECT_EQ(Presets[1].Settings.AudioBitrate, 3);
}

// A command preset: its text comes after the settings' keys (settings presets have none) and
// reads back with its container; a text of two lines is refused.
TEST(UserPresets, CommandTextAfterTheSettingsKeys) {
  const TUserPresets Presets{
      {"Small HEVC", MakeSettings({.Format = "MKV"}), "-c:v libx265 -crf 30 -c:a copy"}};
  const std::string Text = PresetsText(Presets);
  EXPECT_NE(Text.find("\nAudioBitRate2=0\nCommand=-c:v libx265 -crf 30 -c:a copy\n"),
            std::string::npos)
      << Text;
  EXPECT_EQ(ParsePresets(Text), Presets);
  EXPECT_EQ(PresetsText(TwoPresets()).find("Command="), std::string::npos);
  TUserPresets List;
  EXPECT_FALSE(PutPreset(List, {"Two lines", {}, "-an\n-sn"}));
  EXPECT_TRUE(List.empty());
}

TEST(UserPresets, PutRenameAndDelete) {
  TUserPresets Presets = TwoPresets();
  // The same name in other letters replaces the preset in place.
  TUserPreset Phone{"PHONE", MakeSettings({.Format = "WebM"})};
  EXPECT_TRUE(PutPreset(Presets, Phone));
  ASSERT_EQ(Presets.size(), 2u);
  EXPECT_EQ(Presets[0], Phone);
  for (const char *Refused : {"", " lead", "trail ", "a[b]", "two\nlines"})
    EXPECT_FALSE(PutPreset(Presets, {Refused, {}})) << Refused;
  EXPECT_FALSE(RenamePreset(Presets, "phone", "archive COPY")); // taken
  EXPECT_FALSE(RenamePreset(Presets, "missing", "New"));
  EXPECT_FALSE(RenamePreset(Presets, "phone", "[x]"));
  EXPECT_TRUE(RenamePreset(Presets, "phone", "Phone")); // its own name in other letters
  EXPECT_TRUE(RenamePreset(Presets, "Phone", "Tablet"));
  ASSERT_NE(FindPreset(Presets, "tablet"), nullptr);
  EXPECT_EQ(FindPreset(Presets, "tablet")->Settings, Phone.Settings);
  DeletePreset(Presets, "TABLET");
  DeletePreset(Presets, "missing");
  ASSERT_EQ(Presets.size(), 1u);
  EXPECT_EQ(Presets[0].Name, "Archive copy");
}

TEST(UserPresets, FileRoundTripAndMissingFile) {
  const fs::path Folder =
      fs::temp_directory_path() / ("quillet-presets-" + std::to_string(getpid()));
  const std::string Path = (Folder / "sub" / "presets.ini").string();
  EXPECT_TRUE(LoadPresets(Path).empty());
  ASSERT_TRUE(SavePresets(Path, TwoPresets()));
  EXPECT_EQ(LoadPresets(Path), TwoPresets());
  fs::remove_all(Folder);
  EXPECT_TRUE(LoadPresets(Folder.string()).empty()); // not a file
}

} // namespace

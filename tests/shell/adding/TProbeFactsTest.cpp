// The list entry made from a probed file's facts.
#include <gtest/gtest.h>

#include <QLocale>

#include "shell/adding/TProbeFacts.h"

namespace {

struct TEntryCase {
  const char *Label;
  TProbeFacts Facts;
  const char *Duration, *RawDuration, *FrameRate, *BitRate, *FrameSize;
};

TProbeFacts Video(int64_t ADuration, AVRational ARate, int ABitRate, int AWidth, int AHeight) {
  TProbeFacts f;
  f.Duration = ADuration;
  f.Size = 1234567;
  f.VideoAtStream0 = true;
  f.FrameRate = ARate;
  f.BitRate = ABitRate;
  f.Width = AWidth;
  f.Height = AHeight;
  return f;
}

TProbeFacts NoVideo(int64_t ADuration) {
  TProbeFacts f;
  f.Duration = ADuration;
  f.Size = 1234567;
  return f;
}

class FileEntryTest : public testing::TestWithParam<TEntryCase> {};

TEST_P(FileEntryTest, SubItemsFollowTheListLayout) {
  const TEntryCase &c = GetParam();
  TFileEntry e = FileEntryOf(QStringLiteral("/media/in/clip.final.mp4"), c.Facts,
                             QLocale(QLocale::English, QLocale::UnitedStates));
  ASSERT_EQ(e.SubItems.size(), SubItemCount);
  EXPECT_EQ(e.Caption, QStringLiteral("clip.final.mp4"));
  EXPECT_EQ(e.SubItems[siDuration].toStdString(), c.Duration);
  EXPECT_EQ(e.SubItems[siSize].toStdString(), "1.18 MiB");
  EXPECT_EQ(e.SubItems[siSource].toStdString(), "/media/in/clip.final.mp4");
  EXPECT_EQ(e.SubItems[siRawDuration].toStdString(), c.RawDuration);
  EXPECT_EQ(e.SubItems[siRawSize].toStdString(), "1234567");
  EXPECT_EQ(e.SubItems[siFrameRate].toStdString(), c.FrameRate);
  EXPECT_EQ(e.SubItems[siBitRate].toStdString(), c.BitRate);
  EXPECT_EQ(e.SubItems[siFrameSize].toStdString(), c.FrameSize);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileEntryTest,
    testing::Values(TEntryCase{"pal", Video(2000000, {25, 1}, 1500000, 320, 240), "00:00:02",
                               "2000000", "25.00 fps", "1500 kb", "320x240"},
                    TEntryCase{"ntsc", Video(3723000000, {30000, 1001}, 999, 720, 480), "01:02:03",
                               "3723000000", "29.97 fps", "0 kb", "720x480"},
                    TEntryCase{"no bit rate", Video(1, {24000, 1001}, 0, 2, 2), "00:00:00", "1",
                               "23.98 fps", "-", "2x2"},
                    TEntryCase{"unknown rate", Video(1000000, {0, 0}, -1, 16, 16), "00:00:01",
                               "1000000", "0.00 fps", "-", "16x16"},
                    TEntryCase{"unknown duration", NoVideo(-1), "-", "-1", "-", "-", "-"},
                    TEntryCase{"no container time", NoVideo(AV_NOPTS_VALUE), "00:00:00", "0", "-",
                               "-", "-"},
                    TEntryCase{"long", NoVideo(int64_t(100) * 3600 * 1000000 + 999999), "100:00:00",
                               "360000999999", "-", "-", "-"}),
    [](const testing::TestParamInfo<TEntryCase> &info) {
      std::string name = info.param.Label;
      std::replace(name.begin(), name.end(), ' ', '_');
      return name;
    });

TEST(FileEntry, AnEmptyFileShowsZeroBytes) {
  TProbeFacts f = NoVideo(0);
  f.Size = 0;
  TFileEntry e = FileEntryOf(QStringLiteral("/x/e.avi"), f);
  EXPECT_EQ(e.SubItems[siRawSize], QStringLiteral("0"));
  EXPECT_FALSE(e.SubItems[siSize].isEmpty());
}

} // namespace

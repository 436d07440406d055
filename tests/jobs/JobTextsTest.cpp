// The job windows' texts: size written, clock, output names, percent and remaining time.
#include <gtest/gtest.h>

#include "jobs/JobTexts.h"

TEST(JobTexts, SizeSwitchesToMegabytesAboveOneMebibyte) {
  const QLocale english(QLocale::English);
  const struct {
    int64_t Bytes;
    const char *Text;
  } cases[] = {{0, "0 KB"},
               {1023, "1 KB"},
               {1048576, "1,024 KB"},
               {1048577, "1.00 MB"},
               {15 * 1048576 + 524288, "15.50 MB"},
               {int64_t(2000) * 1048576, "2,000.00 MB"}};
  for (const auto &c : cases)
    EXPECT_EQ(JobSizeText(c.Bytes, english).toStdString(), c.Text) << c.Bytes;
}

TEST(JobTexts, OutputNameReplacesOnlyTheLastExtension) {
  const struct {
    const char *Caption, *Extension, *Name;
  } cases[] = {{"clip.avi", ".mp4", "clip.mp4"},
               {"clip", ".mp4", "clip.mp4"},
               {"my.holiday.clip.mkv", ".mp3", "my.holiday.clip.mp3"},
               {"clip.avi", "", "clip"},
               {".hidden", ".mp4", ".hidden.mp4"}};
  for (const auto &c : cases)
    EXPECT_EQ(OutputFileName(QString::fromUtf8(c.Caption), QString::fromUtf8(c.Extension)),
              QString::fromUtf8(c.Name));
}

TEST(JobTexts, PercentAndRemainingTime) {
  EXPECT_EQ(ProgressPercent(25, 100), 25);
  EXPECT_EQ(ProgressPercent(999, 1000), 99); // remainder dropped
  EXPECT_EQ(ProgressPercent(100, 100), -1);  // the end is shown by the termination
  EXPECT_EQ(ProgressPercent(10, -1), -1);    // unknown total
  EXPECT_EQ(ProgressPercent(10, 0), -1);
  // 25 of 100 seconds after 10 seconds: 30 seconds left.
  EXPECT_EQ(RemainingText(25000000, 100000000, 10), QStringLiteral("00:00:30"));
  EXPECT_EQ(RemainingText(25000000, 100000000, 5), QStringLiteral("calculation..."));
  EXPECT_EQ(RemainingText(0, 100000000, 6), QStringLiteral("N/A"));
  EXPECT_EQ(RemainingText(25000000, -1, 6), QStringLiteral("N/A"));
  EXPECT_EQ(ClockText(3600 * 100 + 61), QStringLiteral("100:01:01"));
}

TEST(JobTexts, StoppedJobNamesTheFilesLeftUndone) {
  EXPECT_EQ(StoppedJobText(0, 1), QStringLiteral("File #1 of 1 was stopped."));
  EXPECT_EQ(StoppedJobText(1, 3),
            QStringLiteral("File #2 of 3 was stopped; file #3 was not converted."));
  EXPECT_EQ(StoppedJobText(1, 6),
            QStringLiteral("File #2 of 6 was stopped; files #3 to #6 were not converted."));
}

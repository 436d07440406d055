// The job windows' texts: size written, clock, output names, percent and remaining time, the
// batch's progress and summary; and the output names of a batch.
#include <gtest/gtest.h>

#include "components/filelist/FileListUtils.h"
#include "jobs/JobTexts.h"
#include "jobs/TBatchOutputs.h"
#include "shell/settings/TargetSize.h"
#include "transcode/common/TFFOptions.h"

#include <QSet>

// The size written so far reads as every other size of the program does (the Size column,
// the status line, the Add Files dialog): a 483 KiB output is not "0 MB".
TEST(JobTexts, SizeUsesTheFileListsUnits) {
  const QLocale english(QLocale::English, QLocale::UnitedStates);
  const struct {
    int64_t Bytes;
    const char *Text;
  } cases[] = {{0, "0 bytes"},        {1023, "1,023 bytes"}, {494592, "483.00 KiB"},
               {1048576, "1.00 MiB"}, {1500000, "1.43 MiB"}, {int64_t(5000000000), "4.66 GiB"}};
  for (const auto &c : cases) {
    EXPECT_EQ(JobSizeText(c.Bytes, english).toStdString(), c.Text) << c.Bytes;
    EXPECT_EQ(JobSizeText(c.Bytes, english), HumanSizeText(c.Bytes, english)) << c.Bytes;
  }
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
  // Several files at once: the stopped and the unstarted ones are not runs of numbers.
  EXPECT_EQ(
      StoppedFilesText({1, 2}, {4, 5}, 6),
      QStringLiteral("Files #2 and #3 of 6 were stopped; files #5 and #6 were not converted."));
  EXPECT_EQ(StoppedFilesText({0, 2, 3}, {}, 4),
            QStringLiteral("Files #1, #3 and #4 of 4 were stopped."));
  EXPECT_EQ(StoppedFilesText({}, {5}, 6), QStringLiteral("File #6 was not converted."));
}

TEST(JobTexts, BatchSummaryStopPointAndBatchProgress) {
  EXPECT_EQ(BatchSummaryText(2, 1, 0, 3),
            QStringLiteral("2 converted, 1 failed, 0 skipped, 3 stopped"));
  EXPECT_EQ(StoppedAtText(6500000, 30000000),
            QStringLiteral("Stopped at 00:00:06 of 00:00:30; the output holds what was converted"));
  EXPECT_EQ(StoppedAtText(6500000, -1),
            QStringLiteral("Stopped at 00:00:06; the output holds what was converted"));
  const struct {
    int64_t Done, Total;
    int Seconds;
    const char *Text;
  } cases[] = {{0, 0, 9, ""},                  // no duration known: nothing to show
               {25, 100, 5, "All files: 25%"}, // the estimate waits for its sixth second
               {0, 100, 9, "All files: 0%"},
               {25000000, 100000000, 10, "All files: 25%, 00:00:30 left"},
               {100, 100, 9, "All files: 100%"}};
  for (const auto &c : cases)
    EXPECT_EQ(BatchProgressText(c.Done, c.Total, c.Seconds).toStdString(), c.Text) << c.Done;
}

// Outputs of one batch never replace one another nor their own source; a file from before the
// batch is left to the overwrite question.
TEST(BatchOutputs, NumbersNamesTakenInTheBatchOrByTheSource) {
  QSet<QString> disk{QStringLiteral("/in/clip.mp4"), QStringLiteral("/out/old.avi"),
                     QStringLiteral("/in/clip (1).mp4")};
  TBatchOutputs outputs([&disk](const QString &APath) { return disk.contains(APath); });
  const struct {
    const char *Source, *Folder, *Base, *Extension, *Path;
    bool Existing;
  } steps[] = {
      {"/a/clip1.mp4", "/out/", "clip1", ".avi", "/out/clip1.avi", false},
      {"/b/clip1.mp4", "/out/", "clip1", ".avi", "/out/clip1 (2).avi", false},
      {"/b/clip1.mkv", "/out/", "clip1", ".avi", "/out/clip1 (3).avi", false},
      {"/a/old.mp4", "/out/", "old", ".avi", "/out/old.avi", true},
      // Its own source, and "(1)" already on disk.
      {"/in/clip.mp4", "/in/", "clip", ".mp4", "/in/clip (2).mp4", false},
      // The same folder spelt otherwise, then the same source listed twice.
      {"/in/other.mp4", "/in//", "other", ".mp4", "/in//other (1).mp4", false},
      {"/in/other.mp4", "/in/", "other", ".mp4", "/in/other (2).mp4", false},
  };
  for (const auto &s : steps) {
    const TBatchOutputs::TChoice choice =
        outputs.Choose(QString::fromUtf8(s.Source), QString::fromUtf8(s.Folder),
                       QString::fromUtf8(s.Base), QString::fromUtf8(s.Extension));
    EXPECT_EQ(choice.Path.toStdString(), s.Path) << s.Source;
    EXPECT_EQ(choice.Existing, s.Existing) << s.Source;
    outputs.Claim(choice.Path);
  }
}

// The bit rate that fills a target size: 4 % kept for the container, the sound taken off, and
// nothing to encode at when the duration is unknown or the sound fills the size.
TEST(TargetSize, VideoBitRateFromDurationAndSound) {
  const struct {
    int MB;
    int64_t Duration;
    int AudioKbps, VideoKbps;
  } cases[] = {{1, 2000000, 128, 3712}, {700, 5400000000, 192, 803},
               {10, 60000000, 0, 1280}, {1, 0, 128, 0},
               {1, -1, 128, 0},         {0, 2000000, 128, 0},
               {1, 60000000, 128, 0},   {1, 60000000, 127, 1}};
  for (const auto &c : cases)
    EXPECT_EQ(TargetVideoKbps(c.MB, c.Duration, c.AudioKbps), c.VideoKbps)
        << c.MB << " MB " << c.Duration << " us " << c.AudioKbps << " kbit/s";
}

// The first pass writes only its log (no sound, no subtitles, the null muxer); a log folder
// with a space stays one argument.
TEST(TargetSize, PassOptions) {
  EXPECT_EQ(PassOptions(1, 3712, "/tmp/a b/x"),
            " -b:v 3712k -pass 1 -passlogfile \"/tmp/a b/x\" -an -sn -f null");
  EXPECT_EQ(PassOptions(2, 800, "/tmp/q/x"), " -b:v 800k -pass 2 -passlogfile \"/tmp/q/x\"");
  // A temporary folder may hold quotes and end in backslashes: the engine reads it back whole.
  const std::string awkward = "/tmp/a \"b\\\" c\\";
  const std::vector<std::string> args = SplitOptionText(PassOptions(2, 800, awkward));
  ASSERT_EQ(args.size(), 6u);
  EXPECT_EQ(args[5], awkward);
}

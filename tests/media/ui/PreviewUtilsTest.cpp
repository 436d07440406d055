// Texts, track bar scale, frame count and fitted rectangle of the preview and properties
// windows.
#include <algorithm>
#include <climits>

#include <gtest/gtest.h>

#include "media/ui/PreviewUtils.h"

namespace {

struct TTimeCase {
  int64_t T;
  const char *Text;
};

class TimeTextTest : public testing::TestWithParam<TTimeCase> {};

TEST_P(TimeTextTest, HoursMinutesSecondsMilliseconds) {
  EXPECT_EQ(TimeText(GetParam().T).toStdString(), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(Times, TimeTextTest,
                         testing::Values(TTimeCase{0, "00:00:00.000"},
                                         TTimeCase{40000, "00:00:00.040"},
                                         TTimeCase{999999, "00:00:00.999"},
                                         TTimeCase{1000000, "00:00:01.000"},
                                         TTimeCase{3723456789, "01:02:03.456"},
                                         TTimeCase{int64_t(100) * 3600000000, "100:00:00.000"}));

struct TFramesCase {
  int64_t StreamDuration, FileDuration;
  AVRational Rate;
  int Frames;
};

class FrameCountTest : public testing::TestWithParam<TFramesCase> {};

TEST_P(FrameCountTest, SecondsTimesRateRoundedToEven) {
  const TFramesCase &c = GetParam();
  EXPECT_EQ(FrameCountOf(c.StreamDuration, c.FileDuration, c.Rate), c.Frames);
}

INSTANTIATE_TEST_SUITE_P(
    Clips, FrameCountTest,
    testing::Values(TFramesCase{10000000, -1, {25, 1}, 250},           // 10 s at 25 fps
                    TFramesCase{-1, 4000000, {2, 1}, 8},               // container duration used
                    TFramesCase{0, 4000000, {2, 1}, 8},                // stream duration 0 ignored
                    TFramesCase{2000000, 9000000, {30000, 1001}, 60},  // stream duration wins
                    TFramesCase{-1, -1, {25, 1}, 0},                   // unknown duration
                    TFramesCase{1000000, -1, {25, 0}, 0},              // no denominator
                    TFramesCase{500000, -1, {5, 1}, 2},                // 2.5 -> 2 (ties to even)
                    TFramesCase{700000, -1, {5, 1}, 4},                // 3.5 -> 4
                    TFramesCase{INT64_MAX, -1, {2000000, 1}, INT_MAX}, // a file's absurd claims
                    TFramesCase{1000000, -1, {-25, 1}, 0}));

struct TPositionCase {
  int64_t PTS, Duration;
  int Max, Position;
};

class TrackBarPositionTest : public testing::TestWithParam<TPositionCase> {};

// Times and durations come from the file: any of them may be absurd.
TEST_P(TrackBarPositionTest, TimeToPositionAndBackStayInRange) {
  const TPositionCase &c = GetParam();
  const int position = TrackBarPositionOf(c.PTS, c.Duration, c.Max);
  EXPECT_EQ(position, c.Position);
  const int64_t time = TrackBarTimeOf(position, c.Max, c.Duration);
  EXPECT_GE(time, 0);
  EXPECT_LE(time, std::max<int64_t>(c.Duration, 0));
}

INSTANTIATE_TEST_SUITE_P(
    Positions, TrackBarPositionTest,
    testing::Values(TPositionCase{1000000, 2000000, 50, 25}, TPositionCase{0, 2000000, 50, 0},
                    TPositionCase{2000000, 2000000, 50, 50},
                    TPositionCase{INT64_MAX, 13, 50, 50},          // far past a tiny duration
                    TPositionCase{-5000000, 2000000, 50, 0},       // before the start
                    TPositionCase{1000000, 0, 50, 0},              // duration unknown
                    TPositionCase{1000000, -1, 50, 0},             // duration unknown
                    TPositionCase{1000000, 2000000, 0, 0},         // no scale yet
                    TPositionCase{INT64_MAX, INT64_MAX, 50, 50})); // the largest duration

TEST(TrackBarTime, PositionBeyondTheScaleStaysWithinTheDuration) {
  EXPECT_EQ(TrackBarTimeOf(10, 5, 1000), 1000);
  EXPECT_EQ(TrackBarTimeOf(-3, 5, 1000), 0);
  EXPECT_EQ(TrackBarTimeOf(3, 0, 1000), 0);
  EXPECT_EQ(TrackBarTimeOf(5, 5, INT64_MAX), INT64_MAX);
}

struct TScaleCase {
  int CurrentMax, Frames;
  int Max, Tick, Page;
};

class TrackBarScaleTest : public testing::TestWithParam<TScaleCase> {};

TEST_P(TrackBarScaleTest, MaximumTickAndPage) {
  const TScaleCase &c = GetParam();
  TTrackBarScale s = TrackBarScaleOf(c.CurrentMax, c.Frames);
  EXPECT_EQ(s.Max, c.Max);
  EXPECT_EQ(s.Tick, c.Tick);
  EXPECT_EQ(s.Page, c.Page);
}

INSTANTIATE_TEST_SUITE_P(Scales, TrackBarScaleTest,
                         testing::Values(TScaleCase{10, 250, 250, 25, 12},
                                         TScaleCase{10, 8, 8, 1, 2}, TScaleCase{10, 0, 10, 1, 5},
                                         TScaleCase{10, 11, 11, 1, 5}, TScaleCase{10, 99, 99, 9, 5},
                                         TScaleCase{10, 100, 100, 10, 5},
                                         TScaleCase{10, 50, 50, 5, 5}, TScaleCase{0, 0, 0, 1, 2}));

struct TFitCase {
  int W, H, w, h;
  QRect Rect;
};

class FittedRectTest : public testing::TestWithParam<TFitCase> {};

TEST_P(FittedRectTest, KeepsAspectAndCentres) {
  const TFitCase &c = GetParam();
  EXPECT_EQ(FittedRect(c.W, c.H, c.w, c.h), c.Rect);
}

INSTANTIATE_TEST_SUITE_P(
    Fits, FittedRectTest,
    testing::Values(TFitCase{400, 300, 320, 240, QRect(0, 0, 400, 300)},   // same aspect, enlarged
                    TFitCase{400, 200, 240, 320, QRect(125, 0, 150, 200)}, // portrait: side bars
                    TFitCase{200, 400, 320, 240, QRect(0, 125, 200, 150)}, // landscape: top bars
                    TFitCase{100, 100, 640, 320, QRect(0, 25, 100, 50)},   // reduced
                    TFitCase{0, 100, 10, 10, QRect()}, TFitCase{100, 100, 0, 10, QRect()}));

struct TSizeCase {
  int64_t Size;
  const char *Text;
};

class PropertiesSizeTextTest : public testing::TestWithParam<TSizeCase> {};

TEST_P(PropertiesSizeTextTest, EnglishLocale) {
  EXPECT_EQ(PropertiesSizeText(GetParam().Size, QLocale(QLocale::English, QLocale::UnitedStates))
                .toStdString(),
            GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PropertiesSizeTextTest,
                         testing::Values(TSizeCase{0, "0 bytes"}, TSizeCase{1023, "1,023 bytes"},
                                         TSizeCase{1024, "1 KB"}, TSizeCase{1600, "2 KB"},
                                         TSizeCase{1048575, "1,024 KB"}, TSizeCase{1048576, "1 MB"},
                                         TSizeCase{1073741823, "1,024 MB"},
                                         TSizeCase{1073741824, "1.00 GB"},
                                         TSizeCase{1610612736, "1.50 GB"},
                                         TSizeCase{int64_t(1536) * 1073741824, "1536.00 GB"}));

TEST(PropertiesSizeText, FollowsTheLocaleSeparators) {
  const QLocale german(QLocale::German, QLocale::Germany);
  EXPECT_EQ(PropertiesSizeText(1023, german), QStringLiteral("1.023 bytes"));
  EXPECT_EQ(PropertiesSizeText(1610612736, german), QStringLiteral("1,50 GB"));
}

} // namespace

TEST(IsSinglePictureFormat, ImageContainersAndPicturePipes) {
  for (const char *name : {"image2", "png_pipe", "bmp_pipe", "jpeg_pipe"})
    EXPECT_TRUE(IsSinglePictureFormat(name)) << name;
  for (const char *name : {"mov,mp4,m4a,3gp,3g2,mj2", "avi", "h264", "_pipe", "image2x", ""})
    EXPECT_FALSE(IsSinglePictureFormat(name)) << name;
}

// The preview window beside the job window: at most half the area, aspect kept, never over the
// job window, on the side with the most room.
TEST(PreviewPlacement, HalfTheScreenBesideTheJobWindow) {
  const QRect area(0, 0, 1600, 1000);
  const QRect job(553, 286, 494, 427); // in the middle
  const QRect r = PreviewPlacement(QSize(2560, 1600), area, job);
  EXPECT_TRUE(area.contains(r));
  EXPECT_FALSE(r.intersects(job));
  EXPECT_EQ(r.size(), QSize(553, 345)); // the room right of the job window, 16:10 kept
  EXPECT_EQ(r.left(), job.right() + 1);
  // A job window at the left edge leaves the right half to the preview.
  const QRect left = PreviewPlacement(QSize(2560, 1600), area, QRect(0, 0, 494, 427));
  EXPECT_EQ(left.size(), QSize(800, 500));
  EXPECT_FALSE(left.intersects(QRect(0, 0, 494, 427)));
  // A small picture keeps its size; without a job window it is centred.
  EXPECT_EQ(PreviewPlacement(QSize(320, 240), area, job).size(), QSize(320, 240));
  EXPECT_EQ(PreviewPlacement(QSize(320, 240), area, QRect()), QRect(640, 380, 320, 240));
  // A job window as wide as the screen: the preview goes below it.
  const QRect wide(0, 0, 1600, 400);
  const QRect below = PreviewPlacement(QSize(2560, 1600), area, wide);
  EXPECT_FALSE(below.intersects(wide));
  EXPECT_TRUE(area.contains(below));
  EXPECT_EQ(below.top(), 400);
}

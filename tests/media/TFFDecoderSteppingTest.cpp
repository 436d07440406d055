// Frame-exact stepping and seeking, checked against ffprobe's list of the frames: previous
// frame, next and previous key frame from every position, seeks by the track bar's rule.
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MediaTestSupport.h"
#include "media/TFFDecoder.h"

namespace {

struct TFrameList {
  std::vector<int64_t> PTS; // microseconds from the stream start, presentation order
  std::vector<int64_t> Keys;
};

std::string Run(const std::string &ACommand) {
  std::unique_ptr<FILE, int (*)(FILE *)> pipe(popen(ACommand.c_str(), "r"), pclose);
  std::string out;
  char buf[4096];
  size_t n;
  while (pipe && (n = fread(buf, 1, sizeof buf, pipe.get())) > 0)
    out.append(buf, n);
  return out;
}

// ffprobe's frames of the first video stream, timed as the decoder reports them: a frame
// without a time (the last one of an MPEG program stream) continues the cadence.
TFrameList ProbeFrames(const std::string &AFile) {
  const std::string probe = "ffprobe -v error -select_streams v:0 ";
  std::istringstream stream(
      Run(probe + "-show_entries stream=time_base,start_pts -of csv=p=0 '" + AFile + "'"));
  int64_t num = 0, den = 1, start = 0;
  char sep;
  stream >> num >> sep >> den >> sep >> start;
  std::istringstream frames(Run(
      probe + "-show_entries frame=best_effort_timestamp,key_frame -of csv=p=0 '" + AFile + "'"));
  TFrameList list;
  std::string line;
  while (std::getline(frames, line)) {
    int key = 0;
    long long t = 0;
    const int fields = sscanf(line.c_str(), "%d,%lld", &key, &t);
    const size_t n = list.PTS.size();
    if (fields == 2) {
      const long double us = (long double)(t - start) * num * 1000000 / den;
      list.PTS.push_back(int64_t(us < 0 ? us - 0.5L : us + 0.5L));
    } else if (fields == 1 && n >= 2) {
      list.PTS.push_back(2 * list.PTS[n - 1] - list.PTS[n - 2]);
    } else {
      continue;
    }
    if (key)
      list.Keys.push_back(list.PTS.back());
  }
  return list;
}

struct TSteppingCase {
  const char *File;
};

void PrintTo(const TSteppingCase &c, std::ostream *os) {
  *os << c.File;
}

class ExactStepping : public ::testing::TestWithParam<TSteppingCase> {
protected:
  void SetUp() override {
    Expected = ProbeFrames(Fixture(GetParam().File));
    ASSERT_GT(Expected.PTS.size(), 20u);
    ASSERT_FALSE(Expected.Keys.empty());
    ASSERT_TRUE(Dec.LoadFile(Fixture(GetParam().File))) << Dec.LastErrMsg();
  }
  int64_t Shown() const { return Dec.FrameInfo().PTS; }
  // Puts the decoder on frame AIndex: from the key frame at or before it, else from the start.
  void GoTo(size_t AIndex) {
    const int64_t t = Expected.PTS[AIndex];
    if (Dec.Seek(t, sfBackward))
      while (Dec.Decode() && Shown() < t) {
      }
    if (!Dec.FrameInfo().Ready || Shown() != t) {
      ASSERT_TRUE(Dec.Seek(0));
      while (Dec.Decode() && Shown() < t) {
      }
    }
    ASSERT_EQ(Shown(), t) << "cannot reach frame " << AIndex;
  }
  int64_t KeyAfter(int64_t t) const {
    for (int64_t k : Expected.Keys)
      if (k > t)
        return k;
    return AV_NOPTS_VALUE;
  }
  int64_t KeyBefore(int64_t t, bool AOrAt) const {
    int64_t found = AV_NOPTS_VALUE;
    for (int64_t k : Expected.Keys)
      if (k < t || (AOrAt && k == t))
        found = k;
    return found;
  }
  TFrameList Expected;
  TFFDecoder Dec;
};

TEST_P(ExactStepping, DecodingForwardGivesFfprobesFramesAndCountsThem) {
  std::vector<int64_t> pts;
  while (Dec.Decode())
    pts.push_back(Shown());
  EXPECT_EQ(pts, Expected.PTS);
  EXPECT_EQ(Dec.VideoFrameCount(), int64_t(Expected.PTS.size()));
  ASSERT_TRUE(Dec.Seek(0));
  ASSERT_TRUE(Dec.Decode());
  EXPECT_EQ(Shown(), Expected.PTS.front());
}

TEST_P(ExactStepping, PreviousFrameFromEveryFrameLandsOneFrameBack) {
  // Backwards from the last frame to the first, then once more on the first.
  GoTo(Expected.PTS.size() - 1);
  for (size_t i = Expected.PTS.size() - 1; i > 0; --i) {
    ASSERT_TRUE(Dec.DecodePreviousFrame()) << "from frame " << i << ": " << Dec.LastErrMsg();
    ASSERT_EQ(Shown(), Expected.PTS[i - 1]) << "from frame " << i;
  }
  ASSERT_TRUE(Dec.DecodePreviousFrame());
  EXPECT_EQ(Shown(), Expected.PTS.front());
  // Next frame after a step back continues in order.
  ASSERT_TRUE(Dec.Decode());
  EXPECT_EQ(Shown(), Expected.PTS[1]);
}

TEST_P(ExactStepping, KeyFrameStepsFromEveryFrameLandOnTheNeighbouringKeyFrames) {
  for (size_t i = 0; i < Expected.PTS.size(); ++i) {
    const int64_t t = Expected.PTS[i];
    GoTo(i);
    const int64_t next = KeyAfter(t);
    ASSERT_EQ(Dec.DecodeNextKeyFrame(), next != AV_NOPTS_VALUE) << "next from frame " << i;
    EXPECT_EQ(Shown(), next != AV_NOPTS_VALUE ? next : t) << "next from frame " << i;
    if (next == AV_NOPTS_VALUE && i + 1 < Expected.PTS.size()) {
      ASSERT_TRUE(Dec.Decode()); // stayed: the next frame follows
      EXPECT_EQ(Shown(), Expected.PTS[i + 1]);
    }
    GoTo(i);
    const int64_t previous = KeyBefore(t, false);
    ASSERT_EQ(Dec.DecodePreviousKeyFrame(), previous != AV_NOPTS_VALUE) << "previous from " << i;
    EXPECT_EQ(Shown(), previous != AV_NOPTS_VALUE ? previous : t) << "previous from frame " << i;
  }
}

TEST_P(ExactStepping, SeeksLandOnTheKeyFrameTheFlagsAskFor) {
  ASSERT_TRUE(Dec.Decode()); // seek times are the stream's once it is selected
  const int64_t last = Expected.PTS.back();
  for (int64_t target :
       {int64_t(0), Expected.PTS[1] / 2, Expected.PTS[7], Expected.PTS[7] + 1, Expected.Keys.back(),
        Expected.Keys.back() - 1, last / 2, last, last + 1000000}) {
    ASSERT_TRUE(Dec.Seek(target, sfBackward));
    ASSERT_TRUE(Dec.Decode());
    int64_t before = KeyBefore(target, true);
    EXPECT_EQ(Shown(), before != AV_NOPTS_VALUE && target != 0 ? before : Expected.Keys.front())
        << "backward to " << target;
    ASSERT_TRUE(Dec.Seek(target));
    ASSERT_TRUE(Dec.Decode());
    int64_t after = target == 0 ? Expected.Keys.front() : KeyBefore(target, false);
    after = target == 0 ? after : KeyAfter(after == AV_NOPTS_VALUE ? INT64_MIN : after);
    EXPECT_EQ(Shown(), after != AV_NOPTS_VALUE ? after : Expected.Keys.back())
        << "forward to " << target;
  }
}

TEST_P(ExactStepping, PreviousKeyFrameOnAFreshFileIsTheLastKeyFrame) {
  ASSERT_TRUE(Dec.DecodePreviousKeyFrame()) << Dec.LastErrMsg();
  EXPECT_EQ(Shown(), Expected.Keys.back());
}

INSTANTIATE_TEST_SUITE_P(Files, ExactStepping,
                         ::testing::Values(TSteppingCase{"av.mp4"}, TSteppingCase{"ntsc.mp4"},
                                           TSteppingCase{"bframes.mkv"},
                                           TSteppingCase{"bframes.ts"},
                                           TSteppingCase{"open_gop.mpg"},
                                           TSteppingCase{"open_gop.ts"}, TSteppingCase{"vfr.mp4"}),
                         [](const auto &AInfo) {
                           std::string name = AInfo.param.File;
                           for (char &c : name)
                             if (c == '.')
                               c = '_';
                           return name;
                         });

} // namespace

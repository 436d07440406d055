// Frame-exact stepping and seeking, checked against ffprobe's list of the frames: previous
// frame, next and previous key frame from every position, seeks by the track bar's rule.
// Frames are told apart by their pictures too, since two frames may share a time stamp.
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
  std::vector<bool> IsKey;  // by frame
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
    list.IsKey.push_back(key != 0);
    if (key)
      list.Keys.push_back(list.PTS.back());
  }
  return list;
}

// A checksum of the luma plane of the frame held.
uint64_t PictureSum(const TFFDecoder &ADecoder) {
  const TFrameInfo &f = ADecoder.FrameInfo();
  uint64_t sum = 1469598103934665603u;
  for (int y = 0; y < f.Height; ++y) {
    const uint8_t *row = f.Picture.data[0] + ptrdiff_t(y) * f.Picture.linesize[0];
    for (int x = 0; x < f.Width; ++x)
      sum = (sum ^ row[x]) * 1099511628211u;
  }
  return sum;
}

// The pictures of every frame, decoding forward from a fresh open.
std::vector<uint64_t> ForwardPictures(const std::string &AFile) {
  TFFDecoder dec;
  std::vector<uint64_t> sums;
  if (dec.LoadFile(AFile))
    while (dec.Decode())
      sums.push_back(PictureSum(dec));
  return sums;
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
    Pictures = ForwardPictures(Fixture(GetParam().File));
    ASSERT_EQ(Pictures.size(), Expected.PTS.size());
    ASSERT_TRUE(Dec.LoadFile(Fixture(GetParam().File))) << Dec.LastErrMsg();
  }
  int64_t Shown() const { return Dec.FrameInfo().PTS; }
  // The decoder holds frame AIndex of ffprobe's list: its time and its picture.
  ::testing::AssertionResult At(size_t AIndex) const {
    if (Dec.FrameInfo().Ready && Shown() == Expected.PTS[AIndex] &&
        PictureSum(Dec) == Pictures[AIndex])
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "not on frame " << AIndex << " at " << Expected.PTS[AIndex] << " but at " << Shown();
  }
  // Decodes forward until frame AIndex or a later time.
  void DecodeUpTo(size_t AIndex) {
    const int64_t t = Expected.PTS[AIndex];
    while (Dec.Decode() && Shown() <= t && !At(AIndex)) {
    }
  }
  // Puts the decoder on frame AIndex: from the key frame at or before it, else from the start.
  void GoTo(size_t AIndex) {
    if (Dec.Seek(Expected.PTS[AIndex], sfBackward))
      DecodeUpTo(AIndex);
    if (!At(AIndex)) {
      ASSERT_TRUE(Dec.Seek(0));
      DecodeUpTo(AIndex);
    }
    ASSERT_TRUE(At(AIndex)) << "cannot reach frame " << AIndex;
  }
  // The neighbouring key frames by position in the list; npos when there is none.
  size_t KeyFrameAfter(size_t AIndex) const {
    for (size_t i = AIndex + 1; i < Expected.IsKey.size(); ++i)
      if (Expected.IsKey[i])
        return i;
    return std::string::npos;
  }
  size_t KeyFrameBefore(size_t AIndex) const {
    for (size_t i = AIndex; i-- > 0;)
      if (Expected.IsKey[i])
        return i;
    return std::string::npos;
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
  std::vector<uint64_t> Pictures; // by frame
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
    ASSERT_TRUE(At(i - 1)) << "from frame " << i;
  }
  ASSERT_TRUE(Dec.DecodePreviousFrame());
  EXPECT_TRUE(At(0));
  // Next frame after a step back continues in order.
  ASSERT_TRUE(Dec.Decode());
  EXPECT_TRUE(At(1));
}

TEST_P(ExactStepping, StepsBackAndForthKeepTheirPlaceAmongTheFrames) {
  // From every frame: back one, then forward one returns to it.
  for (size_t i = 1; i < Expected.PTS.size(); ++i) {
    GoTo(i);
    ASSERT_TRUE(Dec.DecodePreviousFrame()) << "from frame " << i << ": " << Dec.LastErrMsg();
    ASSERT_TRUE(At(i - 1)) << "back from frame " << i;
    ASSERT_TRUE(Dec.Decode());
    ASSERT_TRUE(At(i)) << "forward again to frame " << i;
  }
}

TEST_P(ExactStepping, KeyFrameStepsFromEveryFrameLandOnTheNeighbouringKeyFrames) {
  const size_t none = std::string::npos;
  for (size_t i = 0; i < Expected.PTS.size(); ++i) {
    GoTo(i);
    const size_t next = KeyFrameAfter(i);
    ASSERT_EQ(Dec.DecodeNextKeyFrame(), next != none) << "next from frame " << i;
    EXPECT_TRUE(At(next != none ? next : i)) << "next from frame " << i;
    if (next == none && i + 1 < Expected.PTS.size()) {
      ASSERT_TRUE(Dec.Decode()); // stayed: the next frame follows
      EXPECT_TRUE(At(i + 1));
    }
    GoTo(i);
    const size_t previous = KeyFrameBefore(i);
    ASSERT_EQ(Dec.DecodePreviousKeyFrame(), previous != none) << "previous from " << i;
    EXPECT_TRUE(At(previous != none ? previous : i)) << "previous from frame " << i;
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
                                           TSteppingCase{"open_gop.ts"}, TSteppingCase{"vfr.mp4"},
                                           // pairs of frames with one time stamp
                                           TSteppingCase{"same_pts.mkv"}),
                         [](const auto &AInfo) {
                           std::string name = AInfo.param.File;
                           for (char &c : name)
                             if (c == '.')
                               c = '_';
                           return name;
                         });

} // namespace

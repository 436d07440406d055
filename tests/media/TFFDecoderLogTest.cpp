// What the decoder reports to the logger while it works.
#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>

#include "MediaTestSupport.h"
#include "components/TFFLogger.h"
#include "media/TFFDecoder.h"

namespace {

// A synchronous logger collecting the decoder's own lines.
class DecoderLog : public ::testing::Test {
protected:
  void SetUp() override {
    Logger = std::make_unique<TFFLogger>();
    Logger->SetLogLevel(llInfo);
    Logger->SetSynchronous(true);
    Logger->SetTriggerEventInMainThread(false);
    Logger->SetOnLog(
        [this](const TObject *Sender, uint32_t, TLogLevel ALevel, const std::string &AMsg) {
          std::lock_guard lock(Lock);
          if (Sender == &Dec)
            Lines.push_back({ALevel, AMsg});
        });
  }
  void TearDown() override {
    TFFLogger::StopLogThread();
    Logger.reset();
    TFFLogger *global = GlobalLogger();
    global->SetSynchronous(false);
    global->SetLogLevel(llInfo);
  }
  int Count(TLogLevel ALevel, const std::string &AText) {
    std::lock_guard lock(Lock);
    return int(std::count_if(Lines.begin(), Lines.end(), [&](const auto &l) {
      return l.first == ALevel && l.second.find(AText) != std::string::npos;
    }));
  }

  TFFDecoder Dec;
  std::unique_ptr<TFFLogger> Logger;
  std::mutex Lock;
  std::vector<std::pair<TLogLevel, std::string>> Lines;
};

// The text after `AKey` up to `AEnd` in every line holding `AKind` and `AKey`.
std::vector<std::string> Pieces(const std::vector<std::pair<TLogLevel, std::string>> &ALines,
                                const std::string &AKind, const std::string &AKey,
                                const std::string &AEnd) {
  std::vector<std::string> result;
  for (const auto &line : ALines) {
    size_t at = line.second.find(AKey);
    if (line.second.find(AKind) == std::string::npos || at == std::string::npos)
      continue;
    at += AKey.size();
    result.push_back(line.second.substr(at, line.second.find(AEnd, at) - at));
  }
  return result;
}

TEST_F(DecoderLog, EachAudioFormatChangeIsReportedOnceWithANewResampler) {
  ASSERT_TRUE(Dec.LoadFile(Fixture("rate_change.mp3")));
  int64_t bytes = 0;
  while (Dec.DecodeAudio())
    bytes += Dec.WaveInfo().Size;
  // Two seconds plus the encoder's padding of each half.
  EXPECT_NEAR(double(bytes), 2 * 176400.0, 0.15 * 176400) << "both halves decoded";

  // "need resample <source> to 44100 Hz s16 2 channels" once per source format, and
  // "frame changed from <old> to <new>" between consecutive ones.
  std::vector<std::string> sources = Pieces(Lines, "need", "need resample ", " to 44100 Hz s16 2");
  std::vector<std::string> from = Pieces(Lines, "changed", "frame changed from ", " to ");
  std::vector<std::string> to = Pieces(Lines, "changed", "channels to ", "\n");
  ASSERT_GE(sources.size(), 2u);
  ASSERT_EQ(from.size(), sources.size() - 1);
  for (size_t i = 0; i < from.size(); ++i) {
    EXPECT_EQ(from[i], sources[i]);
    EXPECT_EQ(to[i], sources[i + 1]);
    EXPECT_NE(from[i], to[i]);
  }
  EXPECT_EQ(sources.back(), "22050 Hz fltp 1 channels");
  EXPECT_EQ(Count(llInfo, "TFFDecoder.DecodeAudio(): stream eof reached."), 1);
}

TEST_F(DecoderLog, FailuresAreLoggedAtTheirLevels) {
  Dec.FirstVideoStreamInfo();
  EXPECT_EQ(Count(llWarning, "file not loaded."), 1);
  EXPECT_FALSE(Dec.LoadFile(Fixture("av.mp4"), "no_such_format"));
  EXPECT_EQ(Count(llError, "Unknown input format: no_such_format"), 1);
  ASSERT_TRUE(Dec.LoadFile(Fixture("audio.mp3")));
  Dec.VideoStreamInfos(0);
  EXPECT_EQ(Count(llError, "stream #0 is not video stream."), 1);
  ASSERT_TRUE(Dec.LoadFile(Fixture("av.mp4")));
  EXPECT_FALSE(Dec.CopyToBitmap(*std::make_unique<TBitmap>()));
  EXPECT_EQ(Count(llError, "picture not ready, please decode first"), 1);
}

} // namespace

// -map and -map_channel forms that need no opened input (the engine's own handlers).
#include <gtest/gtest.h>

#include "components/TFFLoader.h"
#include "transcode/TCustomFFmpeg.h"

namespace {

class MapOptions : public testing::Test {
protected:
  static void SetUpTestSuite() { ASSERT_TRUE(FFLoader().Load(EncoderLibraries)); }
  MapOptions() { Engine.InitOptionsContext(O); }
  ~MapOptions() override { Engine.UninitOptionsContext(O); }
  int Parse(const std::string &text) {
    return Engine.ParseOptions(O, text, ofOutput, "out.mkv", "output file", "");
  }
  TCustomFFmpeg Engine;
  TOptionsContext O;
};

TEST_F(MapOptions, LinkLabelNeedsNoInput) {
  ASSERT_EQ(Parse("-map [out] -map \"[v 2]\""), 0);
  ASSERT_EQ(O.nb_stream_maps(), 2);
  EXPECT_EQ(O.stream_maps[0].linklabel, "out");
  EXPECT_EQ(O.stream_maps[1].linklabel, "v 2");
}

TEST_F(MapOptions, MutedChannels) {
  ASSERT_EQ(Parse("-map_channel -1 -map_channel -1:0.1"), 0);
  ASSERT_EQ(O.nb_audio_channel_maps(), 2);
  const TAudioChannelMap &a = O.audio_channel_maps[0], &b = O.audio_channel_maps[1];
  EXPECT_EQ(a.channel_idx, -1);
  EXPECT_EQ(a.file_idx, -1);
  EXPECT_EQ(a.ofile_idx, -1);
  EXPECT_EQ(b.channel_idx, -1);
  EXPECT_EQ(b.ofile_idx, 0);
  EXPECT_EQ(b.ostream_idx, 1);
}

struct TMapError {
  const char *text;
  const char *what;
};

class MapErrors : public MapOptions, public testing::WithParamInterface<TMapError> {};

TEST_P(MapErrors, AreFatal) {
  try {
    Parse(GetParam().text);
    ADD_FAILURE() << "no exception for " << GetParam().text;
  } catch (const FFmpegException &e) {
    EXPECT_STREQ(e.what(), GetParam().what);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MapErrors,
    testing::Values(
        TMapError{"-map 0", "Invalid input file index: 0."},
        TMapError{"-map -0:s", "Invalid input file index: 0."},
        TMapError{"-map 0:a:5?", "Invalid input file index: 0."},
        TMapError{"-map 0,1", "Invalid sync file index: 1."},
        TMapError{"-map []", "Invalid output link label: []."},
        TMapError{"-map_channel 1.2",
                  "Syntax error, mapchan usage: [file.stream.channel|-1][:syncfile:syncstream]"},
        TMapError{"-map_channel 0.0.1", "mapchan: invalid input file index: 0"}));

} // namespace

namespace {

// -target without a norm prefix takes the norm from the inputs opened so far.
TEST_F(MapOptions, TargetNormFromOpenedInput) {
  TOptionsContext in;
  Engine.UninitOptionsContext(O);
  Engine.InitOptionsContext(in);
  ASSERT_EQ(Engine.OpenInputFile(in, "", std::string(QUILLET_FIXTURES) + "/av.avi", ""), 0)
      << Engine.LastErrMsg();
  Engine.UninitOptionsContext(in);
  Engine.InitOptionsContext(O);
  ASSERT_EQ(Parse("-target dvd"), 0);
  EXPECT_EQ(O.frame_sizes.back().u.str, "720x576");
  EXPECT_EQ(O.frame_rates.back().u.str, "25");
}

} // namespace

// Which input streams an output gets: the automatic choice and every -map form.
#include <cstring>
#include <filesystem>

#include "FilesTestSupport.h"

namespace {

struct TMapCase {
  const char *name;
  std::vector<const char *> inputs; // fixture names: "f:" prefix = files fixture
  const char *options;
  const char *ext;
  std::vector<std::string> chosen; // "file:stream" per output stream, in order
  const char *error;               // expected failure text ("" = success)
  const char *logLine;
  const char *multiInputOptions = ""; // applied when multi.mkv is opened
};

std::string InputPath(const char *name) {
  return std::strncmp(name, "f:", 2) == 0 ? FilesFixture(name + 2) : Fixture(name);
}

const char *NoMatch = "Stream map \"0:a:5\" matches no streams.\r\nTo ignore this, add a "
                      "trailing \"?\" to the map.";

const TMapCase MapCases[] = {
    // Automatic choice.
    {"auto_video_audio", {"av.mp4"}, "", "mp4", {"0:0", "0:1"}, "", ""},
    {"default_bonus_within_file", {"f:two_video.mkv"}, "", "mp4", {"0:0"}, "", ""},
    {"default_bonus_removed_across_files",
     {"f:v720_default.mkv", "f:v1080.mkv"},
     "",
     "mp4",
     {"1:0"},
     "",
     ""},
    {"most_channels_wins", {"f:multi.mkv"}, "-vn -sn", "mp4", {"0:2"}, "", ""},
    {"equal_channels_earlier_wins", {"f:two_stereo.mkv"}, "", "mp4", {"0:0"}, "", ""},
    {"subtitles_follow_muxer", {"f:multi.mkv"}, "", "mkv", {"0:0", "0:2", "0:4"}, "", ""},
    {"no_subtitle_encoder", {"f:multi.mkv"}, "", "mp4", {"0:0", "0:2"}, "", ""},
    {"sn_an", {"f:multi.mkv"}, "-sn -an", "mkv", {"0:0"}, "", ""},
    {"attached_picture_for_apic_muxer",
     {"av.mp4", "f:with_cover.mp3"},
     "",
     "mp3",
     {"1:1", "0:1"},
     "",
     ""},
    {"attached_picture_scores_one",
     {"f:with_cover.mp3", "av.mp4"},
     "",
     "mkv",
     {"1:0", "1:1"},
     "",
     ""},
    {"audio_only_container", {"av.mp4"}, "", "mp3", {"0:1"}, "", ""},
    {"discarded_input_not_chosen",
     {"f:multi.mkv", "av.mp4"},
     "",
     "mp4",
     {"0:0", "1:1"},
     "",
     "",
     "-discard:a all"},
    // -map forms.
    {"map_all", {"f:multi.mkv"}, "-map 0", "mkv", {"0:0", "0:1", "0:2", "0:3", "0:4"}, "", ""},
    {"map_type", {"f:multi.mkv"}, "-map 0:a", "mkv", {"0:1", "0:2", "0:3"}, "", ""},
    {"map_type_index", {"f:multi.mkv"}, "-map 0:a:2 -map 0:v", "mkv", {"0:3", "0:0"}, "", ""},
    {"map_stream_index", {"f:multi.mkv"}, "-map 0:2", "mkv", {"0:2"}, "", ""},
    {"map_two_files", {"av.mp4", "audio.mp3"}, "-map 1:a -map 0:v", "mkv", {"1:0", "0:0"}, "", ""},
    {"map_negative",
     {"f:multi.mkv"},
     "-map 0 -map -0:s -map -0:a:1",
     "mkv",
     {"0:0", "0:1", "0:3"},
     "",
     ""},
    {"map_negative_alone",
     {"f:multi.mkv"},
     "-map -0:s",
     "mkv",
     {},
     "Stream map \"0:s\" "
     "matches no streams.\r\nTo ignore this, add a trailing \"?\" to the map.",
     ""},
    {"map_negative_disabling_nothing",
     {"av.mp4"},
     "-map 0 -map -0:s",
     "mkv",
     {"0:0", "0:1"},
     "",
     ""},
    {"map_optional_no_match",
     {"f:multi.mkv"},
     "-map 0:v -map 0:a:5?",
     "mkv",
     {"0:0"},
     "",
     "Stream map \"0:a:5?\" matches no streams; ignoring."},
    {"map_no_match", {"f:multi.mkv"}, "-map 0:v -map 0:a:5", "mkv", {}, NoMatch, ""},
    {"map_bad_file", {"av.mp4"}, "-map 3", "mkv", {}, "Invalid input file index: 3.", ""},
    {"map_with_sync",
     {"av.mp4", "audio.mp3"},
     "-map 0:v,1:a -map 1:a",
     "mkv",
     {"0:0", "1:0"},
     "",
     ""},
    {"map_bad_sync_file", {"av.mp4"}, "-map 0:v,2", "mkv", {}, "Invalid sync file index: 2.", ""},
    {"map_sync_no_match",
     {"av.mp4"},
     "-map 0:v,0:s",
     "mkv",
     {},
     "Sync stream specification in map 0:v,0:s does not match any streams.",
     ""},
    {"map_disabled_on_input",
     {"f:multi.mkv"},
     "-map 0:a:0",
     "mkv",
     {},
     "Stream map \"0:a:0\" matches disabled streams.\r\nTo ignore this, add a trailing "
     "\"?\" to "
     "the map.",
     "",
     "-discard:a all"},
    {"map_sync_disabled",
     {"f:multi.mkv"},
     "-map 0:v,0:a",
     "mkv",
     {},
     "Sync stream specification in map 0:v,0:a matches a disabled input stream.",
     "",
     "-discard:a all"},
    // An optional map that matched only discarded streams leaves no map: automatic choice.
    {"map_vn_on_input", {"f:multi.mkv"}, "-map 0:v?", "mkv", {"0:2", "0:4"}, "", "", "-vn"},
    {"map_label_without_graph",
     {"av.mp4"},
     "-map [out]",
     "mkv",
     {},
     "Output with label \"out\" does not exist in any defined filter graph, or was already used "
     "elsewhere.",
     ""},
    {"map_bad_specifier",
     {"av.mp4"},
     "-map 0:x:y",
     "mkv",
     {},
     "Stream map \"0:x:y\" matches no streams.",
     ""},
    {"map_an_skips_audio", {"av.mp4"}, "-map 0 -an", "mkv", {"0:0"}, "", ""},
};

void PrintTo(const TMapCase &c, std::ostream *os) {
  *os << c.name;
}

class StreamMapCases : public FilesTest, public ::testing::WithParamInterface<TMapCase> {};

TEST_P(StreamMapCases, ChoosesTheStreamsOrFails) {
  const TMapCase &c = GetParam();
  TLogCapture log;
  TCustomFFmpeg E;
  for (const char *in : c.inputs) {
    const bool multi = std::strcmp(in, "f:multi.mkv") == 0;
    TOpenResult r = OpenIn(E, multi ? c.multiInputOptions : "", InputPath(in));
    ASSERT_GE(r.ret, 0) << r.error;
  }
  const std::string out = ScratchDir() + "/" + c.name + "." + c.ext;
  std::filesystem::remove(out);
  TOpenResult r = OpenOut(E, c.options, out);
  if (*c.error) {
    EXPECT_LT(r.ret, 0);
    EXPECT_NE(r.error.find(c.error), std::string::npos) << r.error;
    EXPECT_EQ(E.Fnb_output_files(), 0);
    EXPECT_EQ(E.Fnb_output_streams(), 0);
    EXPECT_FALSE(std::filesystem::exists(out));
    return;
  }
  ASSERT_EQ(r.ret, 0) << r.error;
  std::vector<std::string> chosen;
  for (const auto &ost : E.Foutput_streams) {
    const TInputStream &ist = *E.Finput_streams[ost->source_index];
    chosen.push_back(std::to_string(ist.file_index) + ":" + std::to_string(ist.st->index));
  }
  EXPECT_EQ(chosen, c.chosen);
  if (*c.logLine) {
    EXPECT_TRUE(log.Contains(c.logLine));
  }
}

INSTANTIATE_TEST_SUITE_P(Maps, StreamMapCases, ::testing::ValuesIn(MapCases),
                         [](const auto &info) { return std::string(info.param.name); });

struct TChannelMapCase {
  const char *name;
  const char *options;
  std::vector<int> channels; // the audio stream's channel map ("" none)
  const char *error;
};

const TChannelMapCase ChannelMapTable[] = {
    {"muted", "-map_channel -1 -map_channel 0.1.0", {-1, 0}, ""},
    {"swap", "-map_channel 0.1.1 -map_channel 0.1.0", {1, 0}, ""},
    {"to_output_stream", "-map_channel 0.1.0:0.1", {0}, ""},
    {"other_output_stream", "-map_channel 0.1.0:0.0", {}, ""},
    {"bad_channel_optional", "-map_channel 0.1.9? -map_channel 0.1.0", {9, 0}, ""},
    {"bad_channel",
     "-map_channel 0.1.9",
     {},
     "mapchan: invalid audio channel #0.1.9\r\nTo ignore this, add a trailing '?' to the "
     "map_channel."},
    {"not_audio", "-map_channel 0.0.0", {}, "mapchan: stream #0.0 is not an audio stream."},
    {"bad_file", "-map_channel 4.1.0", {}, "mapchan: invalid input file index: 4"},
    {"bad_stream", "-map_channel 0.7.0", {}, "mapchan: invalid input file stream index #0.7"},
    {"syntax",
     "-map_channel 0.1",
     {},
     "Syntax error, mapchan usage: [file.stream.channel|-1][:syncfile:syncstream]"},
};

void PrintTo(const TChannelMapCase &c, std::ostream *os) {
  *os << c.name;
}

class ChannelMapCases : public FilesTest, public ::testing::WithParamInterface<TChannelMapCase> {};

TEST_P(ChannelMapCases, BuildsTheStreamsChannelMap) {
  const TChannelMapCase &c = GetParam();
  TCustomFFmpeg E;
  ASSERT_EQ(OpenIn(E, "", Fixture("av.mp4")).ret, 0);
  const std::string out = ScratchDir() + "/chan_" + c.name + ".mkv";
  TOpenResult r = OpenOut(E, c.options, out);
  if (*c.error) {
    EXPECT_TRUE(r.threw);
    EXPECT_EQ(r.error, c.error);
    return;
  }
  ASSERT_EQ(r.ret, 0) << r.error;
  ASSERT_EQ(E.Fnb_output_streams(), 2);
  EXPECT_EQ(E.Foutput_streams[1]->audio_channels_map, c.channels);
  EXPECT_EQ(E.Foutput_streams[1]->audio_channels_mapped, int(c.channels.size()));
}

INSTANTIATE_TEST_SUITE_P(Maps, ChannelMapCases, ::testing::ValuesIn(ChannelMapTable),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace

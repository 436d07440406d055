// Conversions run to their end, the outputs reopened: streams, codecs, frame size, and the
// duration compared with what Debian's ffmpeg writes for the same options.
#include "LoopTestSupport.h"

namespace {

struct TConversionCase {
  const char *name;
  const char *input;  // shared fixture, or "l:" + loop fixture
  const char *output; // file name in the scratch folder
  const char *options;
  std::vector<std::string> codecs; // expected codec per output stream
  int width;                       // of the video stream, 0: no video
  const char *inputOptions = "";
};

std::string CasePath(const std::string &name) {
  return name.rfind("l:", 0) == 0 ? LoopFixture(name.substr(2)) : Fixture(name);
}

class ConversionTest : public LoopTest, public ::testing::WithParamInterface<TConversionCase> {};

TEST_P(ConversionTest, OutputHasTheStreamsCodecsSizeAndDuration) {
  const TConversionCase &c = GetParam();
  const std::string out = Scratch(c.output);
  TTask task;
  ASSERT_TRUE(task.OpenInput(CasePath(c.input), c.inputOptions)) << task.Error;
  ASSERT_TRUE(task.OpenOutput(out, c.options)) << task.Error;
  task.Start(false);
  EXPECT_EQ(task.Terminations, 1);
  EXPECT_TRUE(task.E->Finished()) << task.E->FatalMessage();
  EXPECT_FALSE(task.E->FatalException()) << task.E->FatalMessage();

  std::vector<TStreamFacts> streams = ProbeStreams(out);
  ASSERT_EQ(streams.size(), c.codecs.size());
  for (size_t i = 0; i < streams.size(); i++) {
    EXPECT_EQ(streams[i]["codec_name"], c.codecs[i]) << "stream " << i;
    if (streams[i]["codec_type"] == "video") {
      EXPECT_EQ(streams[i]["width"], std::to_string(c.width));
    }
  }
  const std::string toolOut = Scratch(std::string("tool_") + c.output);
  RunText(std::string("ffmpeg -nostdin -v error -y ") + c.inputOptions + " -i \"" +
          CasePath(c.input) + "\" " + c.options + " \"" + toolOut + "\"");
  EXPECT_NEAR(ProbeDuration(out), ProbeDuration(toolOut), 0.04); // within a frame
  EXPECT_EQ(DecodesCleanly(out), DecodesCleanly(toolOut));
  if (c.width) {
    EXPECT_EQ(CountVideoFrames(out), CountVideoFrames(toolOut));
    EXPECT_EQ(CountKeyFrames(out), CountKeyFrames(toolOut));
  }
}

const TConversionCase CopyCases[] = {
    {"mp4_to_mkv", "av.mp4", "copy.mkv", "-c copy", {"h264", "aac"}, 320},
    {"avi_to_mkv", "av.avi", "copy_avi.mkv", "-c copy", {"mpeg4", "mp3"}, 320},
    {"ts_to_mp4",
     "l:av.ts",
     "copy_ts.mp4",
     "-c copy",
     {"mpeg2video", "mp3"},
     320}, // mp2 reads back as mp3 from MP4
    {"mp3_audio_only", "audio.mp3", "copy.mka", "-c copy", {"mp3"}, 0},
    {"video_only_with_t", "av.mp4", "copy_t.mkv", "-an -c:v copy -t 1", {"h264"}, 320},
    {"seek_and_stop", "l:av.ts", "copy_ss.mkv", "-ss 0.5 -t 1 -c copy", {"mpeg2video", "mp2"}, 320},
    {"stream_loop", "av.mp4", "copy_loop.mkv", "-c copy", {"h264", "aac"}, 320, "-stream_loop 1"},
    {"subtitles", "tagged.mkv", "copy_subs.mkv", "-c copy", {"mpeg4", "subrip"}, 320},
    // Streams without packets to wait for or without encoders: copied while the video is
    // encoded, and the conversion still ends.
    {"font_attachment", "l:font.mkv", "font.mkv", "-map 0 -c:v mpeg4", {"mpeg4", "ttf"}, 160},
    // Ended by -t alone: the input never runs out.
    {"font_attachment_endless_input",
     "l:font.mkv",
     "font_loop.mkv",
     "-map 0 -c:v mpeg4 -t 1.5",
     {"mpeg4", "ttf"},
     160,
     "-stream_loop -1"},
    {"timecode_track",
     "l:timecode.mov",
     "timecode.mov",
     "-map 0:v -map 0:d -c mpeg4",
     {"mpeg4", "unknown"},
     160},
};

INSTANTIATE_TEST_SUITE_P(Copy, ConversionTest, ::testing::ValuesIn(CopyCases),
                         [](const auto &info) { return std::string(info.param.name); });

const TConversionCase TranscodeCases[] = {
    {"app_default_avi",
     "av.mp4",
     "default.avi",
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -sn",
     {"mpeg4", "mp3"},
     320},
    {"h264_scaled_vflip",
     "av.avi",
     "scaled.mp4",
     "-c:v libx264 -preset ultrafast -c:a aac -vf scale=160:120,vflip",
     {"h264", "aac"},
     160},
    {"ts_to_mkv_defaults", "l:av.ts", "ts.mkv", "", {"h264", "vorbis"}, 320},
    {"audio_to_mp3", "av.mp4", "extract.mp3", "-vn -c:a libmp3lame -b:a 128k", {"mp3"}, 0},
    {"audio_to_flac", "audio.mp3", "extract.flac", "-vn", {"flac"}, 0},
    {"wav_to_ogg", "audio.wav", "extract.ogg", "-c:a libvorbis", {"vorbis"}, 0},
    {"frame_rate_down", "av.mp4", "rate10.mkv", "-an -c:v mpeg4 -r 10", {"mpeg4"}, 320},
    {"frames_limit", "av.mp4", "frames.mkv", "-an -c:v mpeg4 -frames:v 10", {"mpeg4"}, 320},
    {"ntsc_to_pal_rate",
     "ntsc.mp4",
     "pal.mp4",
     "-c:v libx264 -preset ultrafast -r 25",
     {"h264"},
     320},
    {"copy_video_encode_audio", "av.mp4", "mixed.mkv", "-c:v copy -c:a mp2", {"h264", "mp2"}, 320},
    {"forced_key_frames",
     "av.mp4",
     "kf.mkv",
     "-an -c:v mpeg4 -g 100 -force_key_frames 0.5,1.2",
     {"mpeg4"},
     320},
    {"forced_key_frames_expr",
     "av.mp4",
     "kf_expr.mkv",
     "-an -c:v mpeg4 -g 100 -force_key_frames \"expr:gte(t,n_forced*0.6)\"",
     {"mpeg4"},
     320},
    {"subtitles_to_ass", "tagged.mkv", "subs.mkv", "-c:v copy -c:s ass", {"mpeg4", "ass"}, 320},
    {"input_seek_encoded",
     "av.mp4",
     "seek.mkv",
     "-c:v mpeg4 -c:a mp2",
     {"mpeg4", "mp2"},
     320,
     "-ss 0.6 -t 1"},
};

INSTANTIATE_TEST_SUITE_P(Transcode, ConversionTest, ::testing::ValuesIn(TranscodeCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace

// Conversions run to their end, the outputs reopened: streams, codecs, frame size, and the
// duration compared with what Debian's ffmpeg writes for the same options; and conversions
// whose every packet must come out as the tool writes it, or fail as the tool fails.
#include <algorithm>
#include <sstream>

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

// The same conversion through the engine and through Debian's ffmpeg: both succeed, or both
// fail, the task's fatal message starting with the tool's own first error line (the first one
// without a library's "[name @ ...]" prefix); and each stream of the outputs has the same facts,
// packet count, first packet times, first pictures' field flags and decoded md5.
struct TToolCase {
  const char *name;
  const char *input; // as CasePath
  const char *inputOptions;
  const char *options;
  const char *output; // in the scratch folder (prefixed "tool_" / "ours_"), or an absolute path
};

void PrintTo(const TToolCase &c, std::ostream *os) {
  *os << c.name;
}

std::string ToolCaseOutput(const TToolCase &c, const std::string &who) {
  return c.output[0] == '/' ? c.output : Scratch(who + "_" + c.output);
}

// The non-empty lines of a text, without the separator ffprobe's csv writer leaves at the end
// of a section that has side data.
std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == ',')
      line.pop_back();
    if (!line.empty())
      lines.push_back(line);
  }
  return lines;
}

std::string Probe(const std::string &file, int stream, const std::string &entries,
                  const std::string &extra = "") {
  return RunText("ffprobe -v error -select_streams " + std::to_string(stream) + " " + extra +
                 " -show_entries " + entries + " -of csv=p=0 \"" + file + "\"");
}

// What is compared per stream, in the order of the output's streams.
struct TStreamRun {
  TStreamFacts facts;
  size_t packets = 0;
  std::vector<std::string> firstTimes; // pts_time of the first packets
  std::vector<std::string> fieldFlags; // interlaced_frame,top_field_first of the first pictures
  std::string md5;                     // of the decoded content
};

std::vector<TStreamRun> StreamRuns(const std::string &file) {
  std::vector<TStreamRun> runs;
  for (TStreamFacts &facts : ProbeStreams(file)) {
    const int index = int(runs.size());
    TStreamRun run;
    const std::vector<std::string> times = Lines(Probe(file, index, "packet=pts_time"));
    run.packets = times.size();
    run.firstTimes.assign(times.begin(), times.begin() + std::min<size_t>(times.size(), 4));
    if (facts["codec_type"] == "video")
      run.fieldFlags = Lines(
          Probe(file, index, "frame=interlaced_frame,top_field_first", "-read_intervals %+#4"));
    run.md5 = RunText("ffmpeg -nostdin -v error -i \"" + file +
                      "\" -map 0:" + std::to_string(index) + " -f md5 -");
    run.facts = std::move(facts);
    runs.push_back(std::move(run));
  }
  return runs;
}

std::string ToolOwnFirstError(const std::string &log) {
  for (const std::string &line : Lines(log))
    if (!line.empty() && line[0] != '[' && line.rfind("status=", 0) != 0)
      return line;
  return "";
}

// The text of the tool's first library line, without its "[name @ 0x...] " prefixes: the
// library's explanation of the failure.
std::string ToolLibraryExplanation(const std::string &log) {
  for (std::string line : Lines(log)) {
    if (line[0] != '[')
      continue;
    while (line[0] == '[' && line.find("] ") != std::string::npos)
      line.erase(0, line.find("] ") + 2);
    return line;
  }
  return "";
}

std::string Replaced(std::string text, const std::string &what, const std::string &with) {
  for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + with.size()))
    text.replace(p, what.size(), with);
  return text;
}

// The tool's first own error line starts our message, and the library's explanation is in it,
// the tool's output names read as ours.
void ExpectToolsReason(const std::string &toolLog, const std::string &ourMessage,
                       const std::string &toolOut, const std::string &ourOut) {
  const std::string toolError = Replaced(ToolOwnFirstError(toolLog), toolOut, ourOut);
  EXPECT_EQ(ourMessage.substr(0, toolError.size()), toolError) << toolLog;
  const std::string explanation =
      Replaced(ToolLibraryExplanation(toolLog), Scratch("tool_"), Scratch("ours_"));
  EXPECT_NE(ourMessage.find(explanation), std::string::npos) << toolLog << ourMessage;
}

class ToolFidelityTest : public LoopTest, public ::testing::WithParamInterface<TToolCase> {};

TEST_P(ToolFidelityTest, WritesOrFailsAsTheTool) {
  const TToolCase &c = GetParam();
  const std::string input = CasePath(c.input);
  const std::string toolOut = ToolCaseOutput(c, "tool");
  const std::string cmd = std::string("ffmpeg -nostdin -v error -y ") + c.inputOptions + " -i \"" +
                          input + "\" " + c.options + " \"" + toolOut +
                          "\" 2>&1; echo \"status=$?\"";
  const std::string toolLog = RunText(cmd);
  const bool toolOk = toolLog.find("status=0") != std::string::npos;

  const std::string ourOut = ToolCaseOutput(c, "ours");
  TTask task;
  ASSERT_TRUE(task.OpenInput(input, c.inputOptions)) << task.Error;
  if (!task.OpenOutput(ourOut, c.options)) { // refused before converting
    EXPECT_FALSE(toolOk) << cmd << "\n" << task.Error;
    ExpectToolsReason(toolLog, task.Error, toolOut, ourOut);
    return;
  }
  task.Start(false);
  EXPECT_EQ(task.Terminations, 1);
  const bool ourOk = task.E->Finished() && !task.E->FatalException();
  ASSERT_EQ(ourOk, toolOk) << cmd << "\n" << toolLog << task.E->FatalMessage();
  if (!toolOk) // the engine's texts may add to the tool's ("Invalid argument / ...")
    ExpectToolsReason(toolLog, task.E->FatalMessage(), toolOut, ourOut);
  if (c.output[0] == '/')
    return; // a device: nothing to read back

  const std::vector<TStreamRun> tool = StreamRuns(toolOut);
  const std::vector<TStreamRun> ours = StreamRuns(ourOut);
  ASSERT_EQ(ours.size(), tool.size()) << cmd;
  for (size_t i = 0; i < tool.size(); i++) {
    EXPECT_EQ(ours[i].facts, tool[i].facts) << "stream " << i;
    EXPECT_EQ(ours[i].packets, tool[i].packets) << "stream " << i;
    EXPECT_EQ(ours[i].firstTimes, tool[i].firstTimes) << "stream " << i;
    EXPECT_EQ(ours[i].fieldFlags, tool[i].fieldFlags) << "stream " << i;
    EXPECT_EQ(ours[i].md5, tool[i].md5) << "stream " << i;
  }
}

const TToolCase ToolCases[] = {
    // Input -r: every frame gets the next tick of the forced rate, whatever the container's
    // timestamps (and its start time) say.
    {"input_rate_mp4", "av.mp4", "-r 50", "-c:v mpeg4 -an", "rate_in.mkv"},
    {"input_rate_passthrough", "av.mp4", "-r 50", "-vsync passthrough -c:v mpeg4 -an",
     "rate_in_pass.mkv"},
    {"input_rate_avi", "av.avi", "-r 10", "-c:v mpeg4 -an", "rate_in_avi.mp4"},
    {"input_rate_mkv", "audio_first.mkv", "-r 30", "-map 0:v -c:v mpeg4", "rate_in_mkv.avi"},
    {"input_rate_ts", "l:av.ts", "-r 25", "-c:v mpeg4 -an", "rate_in_ts.mkv"},
    {"input_rate_png_sequence", "l:seq_%02d.png", "-r 5", "-c:v mpeg4", "rate_in_seq.mkv"},
    // A packet the muxer refuses fails the task, though the trailer is written.
    {"image2_one_name_png", "av.mp4", "", "-frames:v 3", "still.png"},
    {"image2_one_name_jpeg", "av.mp4", "", "-frames:v 2 -c:v mjpeg", "still.jpg"},
    {"image2_missing_folder", "av.mp4", "", "-frames:v 2", "missing/%03d.png"},
    {"device_full", "av.mp4", "", "-c:v rawvideo -an -f nut", "/dev/full"},
    // Audio packets whose millisecond timestamps step by more than their duration: the
    // rounding to samples starts over at each such step (AAC and Vorbis in Matroska).
    {"audio_steps_flac", "l:aac.mkv", "", "-c:a flac", "steps.mkv"},
    {"audio_steps_vorbis", "l:aac.mkv", "", "-c:a libvorbis", "steps.ogg"},
    {"audio_steps_cut_mp2", "l:aac.mkv", "", "-c:a mp2 -t 1", "steps_cut.mka"},
    {"audio_steps_cut_pcm", "audio_first.mkv", "", "-vn -c:a pcm_s16le -t 1", "steps_cut.wav"},
    // Global options among the output's options act on the whole run, the input opened
    // before them included: -copyts keeps the seeked input's own times.
    {"copyts_among_output_mp4", "av.mp4", "-ss 1", "-copyts -c:v mpeg4 -c:a libmp3lame",
     "copyts.mkv"},
    {"copyts_among_output_ts", "l:av.ts", "-ss 0.5", "-copyts -c:v mpeg4 -c:a mp2",
     "copyts_ts.mkv"},
    {"start_at_zero_among_output_ts", "l:av.ts", "-ss 0.5", "-c:v mpeg4 -an -copyts -start_at_zero",
     "start_at_zero.mkv"},
    {"copyts_passthrough_among_output", "av.avi", "-ss 0.6",
     "-c:v mpeg4 -an -vsync passthrough -copyts", "copyts_pass.mp4"},
    {"copyts_complex_graph_among_output", "l:av.ts", "-ss 0.5",
     "-filter_complex [0:v]hflip[v] -map [v] -c:v mpeg4 -copyts", "copyts_graph.mkv"},
    // Refusals: the tool's own first error line starts the message, the library's explanation
    // follows; failures after the start name the stage that failed, not the decoder.
    {"unknown_filter", "av.mp4", "", "-vf nosuchfilter -c:v mpeg4", "no_filter.mkv"},
    {"unknown_audio_filter", "l:aac.mkv", "", "-af nosuchfilter", "no_filter.mka"},
    {"negative_duration", "av.mp4", "", "-t -1", "negative_t.mkv"},
    {"codec_the_muxer_cannot_hold", "av.mp4", "", "-c:v mpeg4 -c:a pcm_s16le", "pcm.flv"},
    {"subtitles_text_to_bitmap", "tagged.mkv", "", "-c:v copy -c:s dvdsub", "dvdsub.mkv"},
    {"attachment_without_mimetype", "av.mp4", "", "-attach /etc/passwd -c copy", "attached.mkv"},
    {"unknown_extension", "av.mp4", "", "", "unknown.xyz"},
    {"bad_bit_rate", "av.mp4", "", "-b:v abc", "bad_b.mkv"},
    {"bad_disposition", "av.mp4", "", "-disposition:a foo", "bad_disposition.mkv"},
    {"bad_sample_format", "av.mp4", "", "-sample_fmt xx", "bad_sample_fmt.mkv"},
    {"dnxhd_size", "av.mp4", "", "-c:v dnxhd -an", "dnxhd.mov"},
    // Write errors: the device's own error, whichever write meets it first.
    {"device_full_header", "av.mp4", "", "-c copy -f mp4", "/dev/full"},
    {"device_full_mov_header", "av.mp4", "", "-c:v rawvideo -an -f mov", "/dev/full"},
    // Field order set on output: every picture is coded with it.
    {"top_field_first", "av.mp4", "", "-an -top 1 -flags +ilme+ildct -c:v mpeg2video", "top.mpg"},
    {"top_field_first_ts", "l:av.ts", "", "-an -top 1 -flags +ilme+ildct -c:v mpeg2video",
     "top.mkv"},
    {"bottom_field_first_over_filter", "av.mp4", "",
     "-an -vf setfield=tff -top 0 -flags +ilme+ildct -c:v mpeg2video", "bottom.mpg"},
};

INSTANTIATE_TEST_SUITE_P(Tool, ToolFidelityTest, ::testing::ValuesIn(ToolCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace

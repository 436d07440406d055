// Differential check against Debian's ffmpeg: for the same inputs and option string, the
// streams an output gets and the codec, frame size, frame rate, sample rate and channel count
// set on each must match what the tool writes (read back with ffprobe). Only the setup is
// compared: the conversion loop is not part of opening files.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "FilesTestSupport.h"
#include "ToolComparison.h"

namespace {

struct TDiffCase {
  const char *name;
  std::vector<std::string> inputs; // "f:" prefix = files fixture
  std::string options;
  const char *ext;
  bool sizeFromFilter; // a -vf scale decides the size: compare it with filterSize
  const char *filterSize;
  bool byType = false; // the container reads its streams back in another order (ID3 cover)
};

const TDiffCase DiffCases[] = {
    // Strings as the shell's option builders write them (video conversion, audio extraction).
    {"avi_mpeg4_mp3",
     {"av.mp4"},
     "-b:a 128k -b:v 1500k -ac 2 -ar 44100 -c:a libmp3lame -c:v mpeg4 -sn ",
     "avi",
     false,
     ""},
    {"mp4_x264_scale",
     {"av.mp4"},
     "-b:a 128k -b:v 2000k -aspect 16:9 -r 25 -c:a aac -c:v libx264 -threads 8 -pix_fmt yuv420p "
     "-vf \"scale=640:360\"  -sn ",
     "mp4",
     true,
     "640x360"},
    {"webm_vp8_vorbis",
     {"av.mp4"},
     "-b:a 192k -f webm  -c:a libvorbis -c:v libvpx -sn ",
     "webm",
     false,
     ""},
    {"mpg_ntsc_vcd", {"av.mp4"}, "-target ntsc-vcd -b:a 128k -sn ", "mpg", false, ""},
    {"vob_ntsc_dvd",
     {"av.mp4"},
     "-target ntsc-dvd -b:a 128k -b:v 3000k -r 30000/1001 -sn ",
     "vob",
     false,
     ""},
    {"avi_divx",
     {"av.mp4"},
     "-b:a 128k -c:v mpeg4 -tag:v DIVX -vstrict unofficial -r 15000/1001 -sn ",
     "avi",
     false,
     ""},
    {"wmv", {"av.mp4"}, "-b:a 128k -b:v 800k -c:a wmav2 -c:v wmv2 -sn ", "wmv", false, ""},
    {"flip_effects",
     {"av.mp4"},
     "-b:a 128k -vf \"transpose=1,vflip,negate\"  -sn ",
     "mkv",
     true,
     "240x320"},
    {"extract_mp3", {"av.mp4"}, "-b:a 128k -ac 1 -ar 22050 -c:a libmp3lame -vn", "mp3", false, ""},
    {"extract_wav", {"av.mp4"}, "-b:a 128k -ar 48000 -vn", "wav", false, ""},
    {"extract_flac", {"av.mp4"}, "-b:a 128k -c:a flac -vn", "flac", false, ""},
    {"extract_ogg", {"av.mp4"}, "-b:a 64k -ac 1 -c:a libvorbis -vn", "ogg", false, ""},
    // Typed by hand.
    {"auto_with_subtitles", {"f:multi.mkv"}, "", "mkv", false, ""},
    {"auto_mp4_from_multi", {"f:multi.mkv"}, "", "mp4", false, ""},
    {"map_audio_then_video", {"f:multi.mkv"}, "-map 0:a:1 -map 0:v", "mkv", false, ""},
    {"map_negative", {"f:multi.mkv"}, "-map 0 -map -0:a:0 -map -0:s", "mkv", false, ""},
    {"two_inputs_copy", {"av.mp4", "audio.mp3"}, "-map 1:a -map 0:v -c:v copy", "mkv", false, ""},
    {"default_bonus_two_files", {"f:v720_default.mkv", "f:v1080.mkv"}, "", "mp4", false, ""},
    {"default_bonus_one_file", {"f:two_video.mkv"}, "", "mp4", false, ""},
    {"equal_channels", {"f:two_stereo.mkv"}, "", "mp4", false, ""},
    {"cover_for_apic_muxer", {"av.mp4", "f:with_cover.mp3"}, "", "mp3", false, "", true},
    {"cover_scores_one", {"f:with_cover.mp3", "av.mp4"}, "", "mkv", false, ""},
    {"subtitle_encoder_named", {"f:multi.mkv"}, "-c:s mov_text", "mp4", false, ""},
    {"an", {"av.avi"}, "-an", "mp4", false, ""},
    {"vn", {"av.avi"}, "-vn", "m4a", false, ""},
    {"size_rate_aspect", {"av.mp4"}, "-s 160x120 -r 10 -aspect 4:3", "mp4", false, ""},
    // Streams without encoders are copied: a timecode track with -c naming a video encoder,
    // a mapped font attachment.
    {"data_stream_with_encoder",
     {"f:timecode.mov"},
     "-map 0:v -map 0:d -c mpeg4",
     "mov",
     false,
     ""},
    {"font_attachment_mapped", {"f:with_font.mkv"}, "-map 0 -c:v mpeg4", "mkv", false, ""},
    // Complex graphs: an unlabelled output feeds the output (and the automatic choice of
    // video stops), a labelled one is mapped.
    {"complex_unlabelled", {"av.mp4"}, "-filter_complex \"[0:v]scale=160:120\"", "mp4", false, ""},
    {"complex_labelled",
     {"f:multi.mkv"},
     "-filter_complex \"[0:v]scale=80:60[v]\" -map \"[v]\" -map 0:a:1",
     "mkv",
     false,
     ""},
    {"lavfi_audio",
     {"av.mp4"},
     "-lavfi \"[0:a]aresample=22050,pan=mono|c0=c0[a]\" -map \"[a]\" -c:a libmp3lame",
     "mp3",
     false,
     ""},
};

void PrintTo(const TDiffCase &c, std::ostream *os) {
  *os << c.name;
}

class DifferentialCases : public FilesTest, public ::testing::WithParamInterface<TDiffCase> {};

TEST_P(DifferentialCases, SameStreamsAndSettingsAsTheTool) {
  const TDiffCase &c = GetParam();
  const std::string toolOut = ScratchDir() + "/tool_" + c.name + "." + c.ext;
  const std::string ourOut = ScratchDir() + "/ours_" + c.name + "." + c.ext;
  std::string cmd, toolLog;
  std::vector<TStreamFacts> tool = RunTool(c.inputs, c.options, toolOut, cmd, toolLog);
  ASSERT_FALSE(tool.empty()) << cmd << "\n" << toolLog;

  TCustomFFmpeg E;
  for (const std::string &in : c.inputs)
    ASSERT_GE(OpenIn(E, "", InputPath(in)).ret, 0);
  TOpenResult r = OpenOut(E, c.options, ourOut);
  ASSERT_EQ(r.ret, 0) << r.error;
  ASSERT_EQ(E.Fnb_output_streams(), int(tool.size())) << cmd;
  std::vector<int> order(tool.size()); // our stream compared with tool[i]
  for (size_t i = 0; i < order.size(); i++)
    order[i] = int(i);
  if (c.byType)
    std::stable_sort(order.begin(), order.end(), [&E](int a, int b) {
      return std::string(
                 ff::av_get_media_type_string(E.Foutput_streams[a]->st->codecpar->codec_type)) <
             ff::av_get_media_type_string(E.Foutput_streams[b]->st->codecpar->codec_type);
    });
  if (c.byType)
    std::stable_sort(tool.begin(), tool.end(), [](const TStreamFacts &a, const TStreamFacts &b) {
      return a.at("codec_type") < b.at("codec_type");
    });
  const std::vector<std::string> toolMapping = ToolMapping(toolLog);
  ASSERT_EQ(toolMapping.size(), tool.size()) << toolLog;
  for (size_t i = 0; i < tool.size(); i++)
    EXPECT_EQ(OurMapping(*E.Foutput_streams[i]), toolMapping[i]) << "stream " << i << "\n" << cmd;
  for (size_t i = 0; i < tool.size(); i++) {
    TStreamFacts ours = OurStream(E, *E.Foutput_streams[order[i]]);
    if (c.sizeFromFilter && ours["codec_type"] == "video" &&
        E.Foutput_streams[order[i]]->enc_ctx->width == 0) {
      EXPECT_NE(E.Foutput_streams[order[i]]->avfilter,
                "null"); // the -vf text is the stream's graph
      const std::string size = c.filterSize;
      ours["width"] = size.substr(0, size.find('x'));
      ours["height"] = size.substr(size.find('x') + 1);
    }
    for (const auto &[key, value] : ours) {
      if (E.Foutput_streams[order[i]]->stream_copy && key == "r_frame_rate")
        continue; // a copy keeps the source timing, which the tool rewrites per container
      EXPECT_EQ(value, tool[i][key]) << "stream " << i << " " << key << "\n" << cmd;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Tool, DifferentialCases, ::testing::ValuesIn(DiffCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace

namespace {

// Where opening differs from the tool in whether an option string is taken at all: the tool
// and the engine must both accept the string or both refuse it, and a refusal must carry the
// tool's message (quotes and line breaks aside).
struct TAgreeCase {
  const char *name;
  const char *inOptions;
  // A fixture, "lavfi:<graph>" for a virtual input, or "stdin:<fixture>" for the input "-"
  // reading that fixture from standard input.
  const char *input;
  const char *outOptions;
  const char *ext;       // "-": the output is "-" (standard output)
  const char *toolError; // null: both accept
};

const TAgreeCase AgreeCases[] = {
    {"lavfi_input", "-f lavfi", "lavfi:testsrc=duration=1:size=320x240", "", "mkv", nullptr},
    {"autoscale_on_output", "", "av.mp4", "-autoscale 0", "mkv", nullptr},
    {"vtag_on_input", "-vtag XVID", "av.mp4", "", "mkv", nullptr},
    {"sample_fmt_on_input", "-sample_fmt s16", "audio.wav", "", "mkv", nullptr},
    {"fs_si_suffix", "", "av.mp4", "-fs 10M", "mkv", nullptr},
    {"ar_si_suffix", "", "av.mp4", "-ar 22.05k", "mkv", nullptr},
    {"ar_hexadecimal", "", "av.mp4", "-ar 0x5622", "mkv", nullptr},
    {"ac_integral_float", "", "av.mp4", "-ac 2.0", "mkv", nullptr},
    {"frames_integral_float", "", "av.mp4", "-frames:v 10.0", "mkv", nullptr},
    {"nostdin", "", "av.mp4", "-nostdin", "mkv", nullptr},
    {"vsync_4", "", "av.mp4", "-vsync 4", "mkv", "The value for vsync was 4 which is not within"},
    {"metadata_stream_specifier", "", "av.mp4", "-metadata:sx a=b", "mkv",
     "Invalid metadata specifier x."},
    {"map_malformed_optional", "", "av.mp4", "-map 0:x? -map 0:v", "mkv", nullptr},
    {"map_malformed", "", "av.mp4", "-map 0:x", "mkv",
     "Stream map '0:x' matches no streams.\nTo ignore this, add a trailing '?' to the map."},
    // A data stream has no encoder: it is copied whatever -c names.
    {"data_stream_with_encoder", "", "f:timecode.mov", "-map 0:v -map 0:d -c mpeg4", "mov",
     nullptr},
    {"data_stream_encoder_named", "", "f:timecode.mov", "-map 0 -c:d mpeg4", "mov", nullptr},
    {"stdin_input", "", "stdin:f:multi.mkv", "", "mkv", nullptr},
    {"stdout_output", "", "av.mp4", "-f matroska", "-", nullptr},
    {"stdout_output_without_format", "", "av.mp4", "", "-", "pipe:: Invalid argument"},
    {"map_channel_invalid", "", "av.mp4", "-map_channel 0.1.9", "mkv",
     "mapchan: invalid audio channel #0.1.9\nTo ignore this, add a trailing '?' to the "
     "map_channel."},
    {"filter_and_filter_script", "", "av.mp4", "-filter:v null -filter_script:v /dev/null", "mkv",
     "Both -filter and -filter_script set for output stream #1:0."},
    {"readrate_negative", "-readrate -1", "av.mp4", "", "mkv",
     "Option -readrate for Input #1 is -1.000; it must be non-negative."},
};

void PrintTo(const TAgreeCase &c, std::ostream *os) {
  *os << c.name;
}

std::string Normalized(std::string s) {
  std::string r;
  for (char c : s)
    if (c != '\r')
      r += c == '"' ? '\'' : c;
  return r;
}

class ToolAgreementCases : public FilesTest, public ::testing::WithParamInterface<TAgreeCase> {};

// Standard input read from a file while it lives.
class TStdinFrom {
public:
  explicit TStdinFrom(const std::string &file)
      : FSaved(::dup(STDIN_FILENO)), FFile(::open(file.c_str(), O_RDONLY)) {
    ::dup2(FFile, STDIN_FILENO);
  }
  ~TStdinFrom() {
    ::dup2(FSaved, STDIN_FILENO);
    ::close(FSaved);
    ::close(FFile);
  }
  TStdinFrom(const TStdinFrom &) = delete;
  TStdinFrom &operator=(const TStdinFrom &) = delete;

private:
  int FSaved, FFile;
};

std::string AgreeOutput(const TAgreeCase &c, const char *who) {
  return std::string(c.ext) == "-" ? "-"
                                   : ScratchDir() + "/agree_" + who + "_" + c.name + "." + c.ext;
}

TEST_P(ToolAgreementCases, AcceptsAndRefusesAsTheTool) {
  const TAgreeCase &c = GetParam();
  const std::string given = c.input;
  const bool fromStdin = given.rfind("stdin:", 0) == 0;
  const std::string input = given.rfind("lavfi:", 0) == 0 ? given.substr(6)
                            : fromStdin                   ? InputPath(given.substr(6))
                                                          : InputPath(given);
  const std::string cmd = std::string("ffmpeg -nostdin -v error -y ") + c.inOptions + " -i \"" +
                          (fromStdin ? "-\" <\"" + input : input) + "\" " + c.outOptions +
                          " -t 0.2 \"" + AgreeOutput(c, "tool") +
                          "\" 2>&1 >/dev/null; echo \"status=$?\"";
  const std::string toolLog = RunText(cmd);
  const bool toolAccepts = toolLog.find("status=0") != std::string::npos;
  ASSERT_EQ(toolAccepts, c.toolError == nullptr) << cmd << "\n" << toolLog;

  TCustomFFmpeg E;
  TOpenResult in;
  if (fromStdin) {
    TStdinFrom redirect(input);
    in = OpenIn(E, c.inOptions, "-");
  } else
    in = OpenIn(E, c.inOptions, input);
  TOpenResult out = in.ret < 0 ? in : OpenOut(E, c.outOptions, AgreeOutput(c, "ours"));
  if (!c.toolError) {
    EXPECT_EQ(in.ret, 0) << in.error;
    EXPECT_GE(out.ret, 0) << out.error;
    return;
  }
  EXPECT_LT(out.ret, 0);
  EXPECT_NE(toolLog.find(c.toolError), std::string::npos) << toolLog;
  // Our text is the tool's, except for -vsync numbers, which keep the engine's own text.
  const std::string ours = std::string(c.name) == "vsync_4"
                               ? "The value for \"vsync\" was \"4\" which is invalid"
                               : c.toolError;
  EXPECT_NE(Normalized(out.error).find(Normalized(ours)), std::string::npos) << out.error;
}

INSTANTIATE_TEST_SUITE_P(Tool, ToolAgreementCases, ::testing::ValuesIn(AgreeCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace

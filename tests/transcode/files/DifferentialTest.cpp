// Differential check against Debian's ffmpeg: for the same inputs and option string, the
// streams an output gets and the codec, frame size, frame rate, sample rate and channel count
// set on each must match what the tool writes (read back with ffprobe). Only the setup is
// compared: the conversion loop is not part of opening files.
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>

#include "FilesTestSupport.h"

namespace {

struct TDiffCase {
  const char *name;
  std::vector<std::string> inputs; // "f:" prefix = files fixture
  std::string options;
  const char *ext;
  bool sizeFromFilter; // a -vf scale decides the size: compare it with filterSize
  const char *filterSize;
};

using TStreamFacts = std::map<std::string, std::string>;

std::string InputPath(const std::string &name) {
  return name.rfind("f:", 0) == 0 ? FilesFixture(name.substr(2)) : Fixture(name);
}

std::string RunText(const std::string &cmd) {
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE *)> p(::popen(cmd.c_str(), "r"), ::pclose);
  if (!p)
    return out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p.get())) > 0)
    out.append(buf, n);
  return out;
}

// ffprobe's default writer: [STREAM] key=value ... [/STREAM].
std::vector<TStreamFacts> ProbeStreams(const std::string &file) {
  std::string text = RunText("ffprobe -v error -show_entries stream=codec_type,codec_name,width,"
                             "height,r_frame_rate,sample_rate,channels \"" +
                             file + "\"");
  std::vector<TStreamFacts> streams;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos)
      end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line == "[STREAM]")
      streams.emplace_back();
    else if (line == "[/STREAM]" && streams.back()["codec_name"] == "dvd_nav_packet")
      streams.pop_back(); // navigation packets the DVD muxer adds on its own
    else if (!streams.empty() && line.find('=') != std::string::npos && line[0] != '[') {
      size_t eq = line.find('=');
      streams.back()[line.substr(0, eq)] = line.substr(eq + 1);
    }
  }
  return streams;
}

std::string Rational(AVRational q) {
  return std::to_string(q.num) + "/" + std::to_string(q.den);
}

// The values our output stream will be encoded with: what the options set, else the source's.
TStreamFacts OurStream(const TCustomFFmpeg &E, const TOutputStream &ost) {
  const AVStream *src = E.Finput_streams[ost.source_index]->st;
  const AVCodecParameters *in = src->codecpar;
  TStreamFacts f;
  const AVMediaType type = ost.st->codecpar->codec_type;
  f["codec_type"] = ff::av_get_media_type_string(type);
  f["codec_name"] =
      ff::avcodec_get_name(ost.stream_copy ? in->codec_id : ost.st->codecpar->codec_id);
  if (type == AVMEDIA_TYPE_VIDEO) {
    f["width"] = std::to_string(ost.enc_ctx->width ? ost.enc_ctx->width : in->width);
    f["height"] = std::to_string(ost.enc_ctx->height ? ost.enc_ctx->height : in->height);
    f["r_frame_rate"] = Rational(ost.frame_rate.num ? ost.frame_rate : src->r_frame_rate);
  } else if (type == AVMEDIA_TYPE_AUDIO) {
    f["sample_rate"] =
        std::to_string(ost.enc_ctx->sample_rate ? ost.enc_ctx->sample_rate : in->sample_rate);
    f["channels"] =
        std::to_string(ost.enc_ctx->ch_layout.nb_channels ? ost.enc_ctx->ch_layout.nb_channels
                                                          : in->ch_layout.nb_channels);
  }
  return f;
}

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
    {"an", {"av.avi"}, "-an", "mp4", false, ""},
    {"vn", {"av.avi"}, "-vn", "m4a", false, ""},
    {"size_rate_aspect", {"av.mp4"}, "-s 160x120 -r 10 -aspect 4:3", "mp4", false, ""},
};

void PrintTo(const TDiffCase &c, std::ostream *os) {
  *os << c.name;
}

class DifferentialCases : public FilesTest, public ::testing::WithParamInterface<TDiffCase> {};

TEST_P(DifferentialCases, SameStreamsAndSettingsAsTheTool) {
  const TDiffCase &c = GetParam();
  const std::string toolOut = ScratchDir() + "/tool_" + c.name + "." + c.ext;
  const std::string ourOut = ScratchDir() + "/ours_" + c.name + "." + c.ext;
  std::string cmd = "ffmpeg -nostdin -v error -y";
  for (const std::string &in : c.inputs)
    cmd += " -i \"" + InputPath(in) + "\"";
  cmd += " " + c.options + " -t 0.2 \"" + toolOut + "\" 2>&1";
  const std::string toolLog = RunText(cmd);
  std::vector<TStreamFacts> tool = ProbeStreams(toolOut);
  ASSERT_FALSE(tool.empty()) << cmd << "\n" << toolLog;

  TCustomFFmpeg E;
  for (const std::string &in : c.inputs)
    ASSERT_GE(OpenIn(E, "", InputPath(in)).ret, 0);
  TOpenResult r = OpenOut(E, c.options, ourOut);
  ASSERT_EQ(r.ret, 0) << r.error;
  ASSERT_EQ(E.Fnb_output_streams(), int(tool.size())) << cmd;
  for (size_t i = 0; i < tool.size(); i++) {
    TStreamFacts ours = OurStream(E, *E.Foutput_streams[i]);
    if (c.sizeFromFilter && ours["codec_type"] == "video") {
      EXPECT_NE(E.Foutput_streams[i]->avfilter.find("scale=") == std::string::npos &&
                    E.Foutput_streams[i]->avfilter.find("transpose") == std::string::npos,
                true);
      ours["width"] = std::string(c.filterSize).substr(0, std::string(c.filterSize).find('x'));
      ours["height"] = std::string(c.filterSize).substr(std::string(c.filterSize).find('x') + 1);
    }
    for (const auto &[key, value] : ours) {
      if (E.Foutput_streams[i]->stream_copy && key == "r_frame_rate")
        continue; // a copy keeps the source timing, which the tool rewrites per container
      EXPECT_EQ(value, tool[i][key]) << "stream " << i << " " << key << "\n" << cmd;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Tool, DifferentialCases, ::testing::ValuesIn(DiffCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace

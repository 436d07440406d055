#include "ToolComparison.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

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

std::string GrayPicture(const std::string &file) {
  return RunText("ffmpeg -nostdin -v error -ss 0.2 -i \"" + file +
                 "\" -frames:v 1 -f rawvideo -pix_fmt gray - 2>/dev/null");
}

std::pair<double, double> PictureDifference(const std::string &a, const std::string &b, int width,
                                            TPictureBox box) {
  double inside = 0, outside = 0;
  size_t insideCount = 0;
  const size_t count = std::min(a.size(), b.size());
  for (size_t i = 0; i < count; i++) {
    const int x = int(i % width), y = int(i / width);
    const bool in = x >= box.X && x < box.X + box.W && y >= box.Y && y < box.Y + box.H;
    const double d = std::abs(int(uint8_t(a[i])) - int(uint8_t(b[i])));
    (in ? inside : outside) += d;
    insideCount += in;
  }
  const size_t outsideCount = count - insideCount;
  return {insideCount ? inside / insideCount : 0, outsideCount ? outside / outsideCount : 0};
}

double FirstFrameLuma(const std::string &file) {
  const std::string pixels = RunText("ffmpeg -nostdin -v error -i \"" + file +
                                     "\" -frames:v 1 -f rawvideo -pix_fmt gray -");
  double sum = 0;
  for (unsigned char c : pixels)
    sum += c;
  return pixels.empty() ? -1 : sum / double(pixels.size());
}

// ffprobe's default writer: [STREAM] key=value ... [/STREAM].
std::vector<TStreamFacts> ProbeStreams(const std::string &file) {
  std::string text = RunText("ffprobe -v error -show_entries stream=codec_type,codec_name,width,"
                             "height,r_frame_rate,sample_rate,channels \"" +
                             file + "\"");
  std::vector<TStreamFacts> streams;
  bool inProgram = false; // a program section repeats its streams
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos)
      end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line == "[PROGRAM]" || line == "[/PROGRAM]")
      inProgram = line == "[PROGRAM]";
    else if (inProgram)
      continue;
    else if (line == "[STREAM]")
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

double ProbeDuration(const std::string &file) {
  const std::string text = RunText(
      "ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 \"" + file + "\"");
  try {
    return std::stod(text);
  } catch (const std::exception &) {
    return -1;
  }
}

namespace {

std::string Rational(AVRational q) {
  return std::to_string(q.num) + "/" + std::to_string(q.den);
}

} // namespace

// A stream fed by a complex graph: what its configured graph's sink delivers.
TStreamFacts GraphStream(TCustomFFmpeg &E, const TOutputStream &ost) {
  TOutputFilter *out = ost.filter;
  if (!out->graph->graph) {
    EXPECT_EQ(ConfigureFromStreams(E, out->graph), 0);
  }
  TStreamFacts f;
  const AVMediaType type = ost.st->codecpar->codec_type;
  f["codec_type"] = ff::av_get_media_type_string(type);
  f["codec_name"] = ff::avcodec_get_name(ost.st->codecpar->codec_id);
  if (type == AVMEDIA_TYPE_VIDEO) {
    f["width"] = std::to_string(out->width);
    f["height"] = std::to_string(out->height);
    const AVStream *src = out->graph->inputs[0]->ist->st;
    f["r_frame_rate"] = Rational(ost.frame_rate.num ? ost.frame_rate : src->r_frame_rate);
  } else if (type == AVMEDIA_TYPE_AUDIO) {
    f["sample_rate"] = std::to_string(out->sample_rate);
    f["channels"] = std::to_string(out->ch_layout.nb_channels);
  }
  return f;
}

// The values our output stream will be encoded with: what the options set, else the source's.
TStreamFacts OurStream(TCustomFFmpeg &E, const TOutputStream &ost) {
  if (ost.source_index < 0)
    return GraphStream(E, ost);
  const AVStream *src = E.Finput_streams[ost.source_index]->st;
  const AVCodecParameters *in = src->codecpar;
  TStreamFacts f;
  const AVMediaType type = ost.st->codecpar->codec_type;
  f["codec_type"] = ff::av_get_media_type_string(type);
  const AVCodecID id = ost.stream_copy ? in->codec_id : ost.st->codecpar->codec_id;
  f["codec_name"] = id == AV_CODEC_ID_NONE ? "unknown" : ff::avcodec_get_name(id); // as ffprobe
  if (type == AVMEDIA_TYPE_VIDEO) {
    f["width"] = std::to_string(ost.enc_ctx->width ? ost.enc_ctx->width : in->width);
    f["height"] = std::to_string(ost.enc_ctx->height ? ost.enc_ctx->height : in->height);
    f["r_frame_rate"] = Rational(ost.frame_rate.num ? ost.frame_rate : src->r_frame_rate);
  } else if (type == AVMEDIA_TYPE_AUDIO) {
    // An Opus stream reads back at 48 kHz, whatever rate it was encoded from.
    const int rate = id == AV_CODEC_ID_OPUS     ? 48000
                     : ost.enc_ctx->sample_rate ? ost.enc_ctx->sample_rate
                                                : in->sample_rate;
    f["sample_rate"] = std::to_string(rate);
    f["channels"] =
        std::to_string(ost.enc_ctx->ch_layout.nb_channels ? ost.enc_ctx->ch_layout.nb_channels
                                                          : in->ch_layout.nb_channels);
  }
  return f;
}

std::vector<TStreamFacts> RunTool(const std::vector<std::string> &inputs,
                                  const std::string &options, const std::string &toolOut,
                                  std::string &cmd, std::string &log) {
  cmd = "ffmpeg -nostdin -v info -y";
  for (const std::string &in : inputs)
    cmd += " -i \"" + InputPath(in) + "\"";
  cmd += " " + options + " -t 0.2 \"" + toolOut + "\" 2>&1";
  log = RunText(cmd);
  return ProbeStreams(toolOut);
}

std::vector<std::string> ToolMapping(const std::string &log) {
  std::vector<std::string> mapping;
  size_t pos = log.find("Stream mapping:");
  while (pos != std::string::npos) {
    size_t start = log.find('\n', pos);
    if (start == std::string::npos)
      break;
    size_t end = log.find('\n', start + 1);
    const std::string line =
        log.substr(start + 1, end == std::string::npos ? end : end - start - 1);
    pos = end;
    if (line.rfind("  ", 0) != 0)
      break;
    const bool fromInput = line.rfind("  Stream #", 0) == 0;
    if (fromInput && line.find(" -> #") == std::string::npos)
      continue;       // "  Stream #0:0 (h264) -> scale:default": feeds a graph
    if (!fromInput) { // "  scale:default -> Stream #0:0 (libx264)": the encoder only
      mapping.push_back(line.substr(line.rfind('(') + 1, line.size() - line.rfind('(') - 2));
      continue;
    }
    const size_t paren = line.find(" (", line.find(" -> #"));
    if (paren == std::string::npos)
      break;
    std::string text = line.substr(paren + 2, line.size() - paren - 3); // without ( and )
    const size_t arrow = text.rfind(" -> ");
    mapping.push_back(arrow == std::string::npos ? text : text.substr(arrow + 4));
  }
  return mapping;
}

std::string OurMapping(const TOutputStream &ost) {
  if (ost.stream_copy)
    return "copy";
  if (ost.source_index < 0) // fed by a complex graph
    return ost.enc->name;
  const char *codec = ff::avcodec_get_name(ost.enc->id);
  return std::string(codec) + " (" +
         (std::string(ost.enc->name) == codec ? std::string("native") : ost.enc->name) + ")";
}

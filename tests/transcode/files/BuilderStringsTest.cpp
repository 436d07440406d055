// Every option string the shell's builders make for the containers and encoders of the
// settings lists opens on a real clip, Debian's ffmpeg converts with the same string (a
// refusal is a wrong string), writes the codecs the settings name, and both choose the same
// streams, codecs, sizes, rates and channel counts.
#include "../../shell/settings/SettingsChoice.h"
#include "FilesTestSupport.h"
#include "ToolComparison.h"
#include "shell/settings/OptionBuilders.h"
#include "shell/settings/SettingsLists.h"

namespace {

struct TBuilderCase {
  std::string name;
  std::string options;
  std::string ext;
  std::string scaledTo; // "WxH" when a scale filter decides the size
  std::string input = "av.mp4";
  std::string videoCodec; // what a reader reports for the chosen encoders ("" for none)
  std::string audioCodec;
};

void PrintTo(const TBuilderCase &c, std::ostream *os) {
  *os << c.name << ": " << c.options;
}

// The encoders every list has offered from the start. The items added since (copies, hardware
// encoders, VP9, AV1, Opus) build their strings in tests of their own: here each would add a
// whole container's worth of tool runs, and a copy takes its codec from the source.
bool FirstItem(const std::string &AItem) {
  if (AItem == CopyItem || AItem == "VP9" || AItem == "AV1" || AItem == "Opus")
    return false;
  for (const char *hardware : H264Hardware)
    if (AItem == hardware)
      return false;
  for (const char *hardware : H265Hardware)
    if (AItem == hardware)
      return false;
  return true;
}

// The user's typical changes on top of the defaults.
void ChooseValues(TConversionSettings &S) {
  S.VideoFrameSize = IndexOfItem(VideoFrameSizeItems(), "640x480");
  S.VideoFrameRate = IndexOfItem(VideoFrameRateItems(), "25");
  S.VideoAspect = IndexOfItem(VideoAspectItems(), "16:9");
  S.VideoBitrate = IndexOfItem(VideoBitrateItems(), "1500");
  S.AudioSampleRate = IndexOfItem(AudioSampleRateItems(), "48000");
  S.AudioChannel = IndexOfItem(AudioChannelItems(), "Mono");
  S.AudioBitrate = IndexOfItem(AudioBitrateItems(), "128");
}

std::vector<TBuilderCase> BuilderCases() {
  std::vector<TBuilderCase> cases;
  const TItemList &formats = VideoFormatItems();
  for (int f = 0; f < int(formats.size()); f++)
    for (int v = 0; v < int(VideoEncoderItems(f).size()); v++)
      for (int a = 0; a < int(AudioEncoderItems(f).size()); a++)
        for (bool chosen : {false, true}) {
          if (!FirstItem(VideoEncoderItems(f)[v]) || !FirstItem(AudioEncoderItems(f)[a]))
            continue;
          TConversionSettings S;
          SelectVideoFormat(S, f);
          S.VideoEncoder = v;
          S.AudioEncoder = a;
          TEffects effects;
          if (chosen) {
            ChooseValues(S);
            effects.ef_VFlip = true;
          }
          const std::string name = TestName(formats[f] + "_" + VideoEncoderItems(f)[v] + "_" +
                                            AudioEncoderItems(f)[a] + (chosen ? "_chosen" : ""));
          cases.push_back({name, BuildVideoOptions(S, effects), LowerCase(formats[f]),
                           chosen ? "640x480" : "", "av.mp4", CodecOf(VideoEncoderText(S)),
                           CodecOf(AudioEncoderText(S))});
          if (chosen) // several audio streams and subtitles to choose from
            cases.push_back({name + "_multi", cases.back().options, cases.back().ext,
                             cases.back().scaledTo, "f:multi.mkv", cases.back().videoCodec,
                             cases.back().audioCodec});
        }
  const TItemList &audio = AudioFormatItems();
  for (int f = 0; f < int(audio.size()); f++)
    for (bool chosen : {false, true}) {
      TConversionSettings S;
      S.AudioFormat = f;
      if (chosen)
        ChooseValues(S);
      cases.push_back({TestName("audio_" + audio[f] + (chosen ? "_chosen" : "")),
                       BuildAudioOptions(S), LowerCase(audio[f]), "", "av.mp4", "", ""});
    }
  return cases;
}

class BuilderStrings : public FilesTest, public ::testing::WithParamInterface<TBuilderCase> {};

TEST_P(BuilderStrings, OpenLikeTheTool) {
  const TBuilderCase &c = GetParam();
  TCustomFFmpeg E;
  ASSERT_EQ(OpenIn(E, "", InputPath(c.input)).ret, 0);
  TOpenResult r = OpenOut(E, c.options, ScratchDir() + "/ours_" + c.name + "." + c.ext);
  ASSERT_EQ(r.ret, 0) << r.error;

  std::string cmd, toolLog;
  std::vector<TStreamFacts> tool =
      RunTool({c.input}, c.options, ScratchDir() + "/tool_" + c.name + "." + c.ext, cmd, toolLog);
  ASSERT_FALSE(tool.empty()) << "the tool refused: " << cmd << "\n" << toolLog;
  if (!c.videoCodec.empty()) {
    EXPECT_EQ(tool[0]["codec_name"], c.videoCodec) << cmd;
    EXPECT_EQ(tool.size() > 1 ? tool[1]["codec_name"] : "", c.audioCodec) << cmd;
  }
  ASSERT_EQ(E.Fnb_output_streams(), int(tool.size())) << cmd;
  const std::vector<std::string> toolMapping = ToolMapping(toolLog);
  ASSERT_EQ(toolMapping.size(), tool.size()) << toolLog;
  for (size_t i = 0; i < tool.size(); i++)
    EXPECT_EQ(OurMapping(*E.Foutput_streams[i]), toolMapping[i]) << "stream " << i << "\n" << cmd;
  for (size_t i = 0; i < tool.size(); i++) {
    TStreamFacts ours = OurStream(E, *E.Foutput_streams[i]);
    // -s scales after the filters, so only without it the filter's size is the output's.
    if (!c.scaledTo.empty() && ours["codec_type"] == "video" &&
        E.Foutput_streams[i]->enc_ctx->width == 0) {
      ours["width"] = c.scaledTo.substr(0, c.scaledTo.find('x'));
      ours["height"] = c.scaledTo.substr(c.scaledTo.find('x') + 1);
    }
    // ASF keeps only millisecond stamps: ffprobe's rate guess of a short clip is its time base.
    if (c.ext == "wmv")
      ours.erase("r_frame_rate");
    for (const auto &[key, value] : ours)
      EXPECT_EQ(value, tool[i][key]) << "stream " << i << " " << key << "\n" << cmd;
  }
}

INSTANTIATE_TEST_SUITE_P(Builders, BuilderStrings, ::testing::ValuesIn(BuilderCases()),
                         [](const auto &info) { return info.param.name; });

} // namespace

// Conversions through the encoder component with the option strings the app builds: each
// container of the Video tab with its first and second video encoders, and each audio
// extraction format. The output is read back and compared with what Debian's ffmpeg writes
// from the same clip with the same string; where the tool refuses the string, the task fails.
#include <algorithm>
#include <filesystem>

#include "../../shell/settings/SettingsChoice.h"
#include "../../transcode/files/ToolComparison.h"
#include "EncoderTestSupport.h"
#include "PictureSubtitles.h"
#include "shell/settings/OptionBuilders.h"
#include "shell/settings/SettingsLists.h"

namespace {

struct TConversionCase {
  std::string name;
  std::string options;
  std::string ext;
};

void PrintTo(const TConversionCase &c, std::ostream *os) {
  *os << c.name << ": " << c.options;
}

// The default audio bit rate (32k; raised for Vorbis, which refuses it in stereo) and a usual
// one (128k).
const char *const AudioBitrates[] = {"32", "128"};

std::vector<TConversionCase> ConversionCases() {
  std::vector<TConversionCase> cases;
  const TItemList &formats = VideoFormatItems();
  for (int f = 0; f < int(formats.size()); f++)
    for (int v = 0; v < std::min(2, int(VideoEncoderItems(f).size())); v++)
      for (const char *bitrate : AudioBitrates) {
        if (f != vfWebM && bitrate != AudioBitrates[0])
          continue;
        TConversionSettings S;
        SelectVideoFormat(S, f);
        S.VideoEncoder = v;
        S.AudioBitrate = IndexOfItem(AudioBitrateItems(), bitrate);
        cases.push_back({TestName(formats[f] + "_" + VideoEncoderItems(f)[v] + "_" + bitrate + "k"),
                         BuildVideoOptions(S, TEffects()), LowerCase(formats[f])});
      }
  const TItemList &audio = AudioFormatItems();
  for (int f = 0; f < int(audio.size()); f++)
    for (const char *bitrate : AudioBitrates) {
      TConversionSettings S;
      S.AudioFormat = f;
      S.AudioBitrate = IndexOfItem(AudioBitrateItems(), bitrate);
      cases.push_back({TestName("audio_" + audio[f] + "_" + bitrate + "k"), BuildAudioOptions(S),
                       LowerCase(audio[f])});
    }
  return cases;
}

class EncoderConversion : public EncoderTest,
                          public ::testing::WithParamInterface<TConversionCase> {};

TEST_P(EncoderConversion, WritesWhatTheToolWrites) {
  const TConversionCase &c = GetParam();
  const std::string ours = ScratchDir() + "/ours_" + c.name + "." + c.ext;
  const std::string tool = ScratchDir() + "/tool_" + c.name + "." + c.ext;
  RunText("ffmpeg -nostdin -v error -y -i \"" + Fixture("av.mp4") + "\" " + c.options + " \"" +
          tool + "\" 2>&1");
  std::vector<TStreamFacts> expected = ProbeStreams(tool);

  TFFEncoder encoder;
  TEventRecorder events(encoder);
  AddConversion(encoder, Fixture("av.mp4"), ours, "-y " + c.options);
  encoder.Start(0);
  const std::vector<TTerminateInfo> ends = events.Ends();
  ASSERT_EQ(ends.size(), 2u);
  if (expected.empty()) {
    // The tool refuses the string (e.g. an encoder's rate limits): so does the task, and it
    // leaves no file behind.
    EXPECT_FALSE(ends[0].Finished);
    EXPECT_TRUE(ends[0].Exception);
    EXPECT_NE(ends[0].ExceptionMsg.find("Error while opening encoder"), std::string::npos)
        << ends[0].ExceptionMsg;
    EXPECT_FALSE(std::filesystem::exists(ours));
    return;
  }
  EXPECT_TRUE(ends[0].Finished) << ends[0].ExceptionMsg;
  EXPECT_FALSE(ends[0].Exception) << ends[0].ExceptionMsg;

  std::vector<TStreamFacts> got = ProbeStreams(ours);
  ASSERT_EQ(got.size(), expected.size()) << c.options;
  for (size_t i = 0; i < got.size(); i++)
    for (const char *key :
         {"codec_type", "codec_name", "width", "height", "sample_rate", "channels"})
      EXPECT_EQ(got[i][key], expected[i][key]) << "stream " << i << " " << key;
  // Within one frame of the tool's output (25 fps video, or one audio frame).
  EXPECT_NEAR(ProbeDuration(ours), ProbeDuration(tool), 0.041) << c.options;
}

INSTANTIATE_TEST_SUITE_P(AppStrings, EncoderConversion, ::testing::ValuesIn(ConversionCases()),
                         [](const auto &info) { return info.param.name; });

// The choices added to the tabs (copied streams, constant quality, speed, the newer codecs),
// each converting half a second of the small clip at the fastest speed; the output is read
// back for its codecs and picture size. Audio extraction: the audio format instead of a
// container, no video stream.
struct TAddedChoiceCase {
  const char *name;
  TChoice choice;
  const char *audioFormat; // audio extraction into this format; nullptr = video conversion
  const char *video;       // codec,width,height ("" for no video stream)
  const char *audio;       // codec ("" for no audio stream)
  const char *subtitle = "";
  const char *input = "tiny.mp4";
  int audioStreams = -1; // -1: one when audio names a codec, else none
};

void PrintTo(const TAddedChoiceCase &c, std::ostream *os) {
  *os << c.name;
}

class AddedChoiceConversion : public EncoderTest,
                              public ::testing::WithParamInterface<TAddedChoiceCase> {};

std::string StreamOf(const std::vector<TStreamFacts> &streams, const std::string &type,
                     bool withSize) {
  for (const TStreamFacts &s : streams)
    if (s.at("codec_type") == type)
      return s.at("codec_name") +
             (withSize ? "," + s.at("width") + "," + s.at("height") : std::string());
  return "";
}

TEST_P(AddedChoiceConversion, ConvertsAndReadsBack) {
  const TAddedChoiceCase &c = GetParam();
  TConversionSettings S = MakeSettings(c.choice);
  std::string options, ext;
  if (c.audioFormat) {
    S.AudioFormat = IndexOfItem(AudioFormatItems(), c.audioFormat);
    options = BuildAudioOptions(S);
    ext = LowerCase(c.audioFormat);
  } else {
    options = BuildVideoOptions(S, TEffects());
    ext = LowerCase(VideoFormatText(S));
  }
  const std::string ours = ScratchDir() + "/added_" + c.name + "." + ext;
  TFFEncoder encoder;
  TEventRecorder events(encoder);
  AddConversion(encoder, Fixture(c.input), ours, "-y " + options, "-t 0.5");
  encoder.Start(0);
  const std::vector<TTerminateInfo> ends = events.Ends();
  ASSERT_EQ(ends.size(), 2u);
  ASSERT_TRUE(ends[0].Finished) << options << "\n" << ends[0].ExceptionMsg;
  const std::vector<TStreamFacts> got = ProbeStreams(ours);
  EXPECT_EQ(StreamOf(got, "video", true), c.video) << options;
  EXPECT_EQ(StreamOf(got, "audio", false), c.audio) << options;
  EXPECT_EQ(StreamOf(got, "subtitle", false), c.subtitle) << options;
  const auto audioStreams = std::count_if(
      got.begin(), got.end(), [](const TStreamFacts &s) { return s.at("codec_type") == "audio"; });
  EXPECT_EQ(audioStreams, c.audioStreams >= 0 ? c.audioStreams : *c.audio ? 1 : 0) << options;
}

const TAddedChoiceCase AddedChoiceCases[] = {
    {"Mp4CopyBoth",
     {.Format = "MP4", .VideoEncoder = CopyItem, .AudioEncoder = CopyItem, .FrameSize = "640x480"},
     nullptr,
     "h264,160,120",
     "aac"},
    {"MkvCopyVideoOpusAudio",
     {.Format = "MKV", .VideoEncoder = CopyItem, .AudioEncoder = "Opus", .Channel = "Mono"},
     nullptr,
     "h264,160,120",
     "opus"},
    {"AviCopyAudio",
     {.Format = "AVI", .AudioEncoder = CopyItem, .VideoBitrate = "256"},
     nullptr,
     "mpeg4,160,120",
     "aac"},
    {"WebmVp9QualityOpus",
     {.Format = "WebM",
      .VideoEncoder = "VP9",
      .AudioEncoder = "Opus",
      .VideoRateControl = rcQuality,
      .Speed = "Fastest"},
     nullptr,
     "vp9,160,120",
     "opus"},
    {"Mp4Vp9BitrateAacQualityIgnored",
     {.Format = "MP4",
      .VideoEncoder = "VP9",
      .VideoBitrate = "256",
      .Speed = "Fastest",
      .AudioRateControl = rcQuality},
     nullptr,
     "vp9,160,120",
     "aac"},
    {"Mp4Av1QualityOpus",
     {.Format = "MP4",
      .VideoEncoder = "AV1",
      .AudioEncoder = "Opus",
      .VideoRateControl = rcQuality,
      .Speed = "Fastest"},
     nullptr,
     "av1,160,120",
     "opus"},
    {"WebmAv1Bitrate",
     {.Format = "WebM", .VideoEncoder = "AV1", .VideoBitrate = "256", .Speed = "Fastest"},
     nullptr,
     "av1,160,120",
     "vorbis"},
    {"MkvH265QualityMp3Quality",
     {.Format = "MKV",
      .VideoEncoder = "H.265",
      .VideoRateControl = rcQuality,
      .Speed = "Fastest",
      .AudioRateControl = rcQuality},
     nullptr,
     "hevc,160,120",
     "mp3"},
    {"Mp4H264Quality",
     {.Format = "MP4",
      .VideoEncoder = "H.264",
      .VideoRateControl = rcQuality,
      .VideoQuality = 30,
      .Speed = "Fastest"},
     nullptr,
     "h264,160,120",
     "aac"},
    {"WebmVorbisQuality",
     {.Format = "WebM", .AudioRateControl = rcQuality, .AudioQuality = 2},
     nullptr,
     "vp8,160,120",
     "vorbis"},
    {"ExtractMp3Quality", {.AudioRateControl = rcQuality}, "MP3", "", "mp3"},
    {"ExtractOggQuality", {.AudioRateControl = rcQuality, .AudioQuality = 3}, "OGG", "", "vorbis"},
    {"ExtractM4a", {.AudioBitrate = "128"}, "M4A", "", "aac"},
    {"ExtractOpusMonoAtCdRate",
     {.AudioBitrate = "320", .Channel = "Mono", .SampleRate = "44100"},
     "Opus",
     "",
     "opus"},
    {"MkvOpusAtARateOpusLacks",
     {.Format = "MKV", .AudioEncoder = "Opus", .SampleRate = "22050"},
     nullptr,
     "mpeg4,160,120",
     "opus"},
    // A clip with one SubRip stream (and no sound).
    {"MkvKeepsSubtitles",
     {.Format = "MKV", .Subtitles = sbKeep},
     nullptr,
     "mpeg4,320,240",
     "",
     "subrip",
     "tagged.mkv"},
    {"Mp4KeepsSubtitlesAsMovText",
     {.Format = "MP4", .VideoEncoder = CopyItem, .Subtitles = sbKeep},
     nullptr,
     "mpeg4,320,240",
     "",
     "mov_text",
     "tagged.mkv"},
    {"WebmKeepsSubtitlesAsWebvtt",
     {.Format = "WebM", .Subtitles = sbKeep},
     nullptr,
     "vp8,320,240",
     "",
     "webvtt",
     "tagged.mkv"},
    {"AviDropsSubtitles",
     {.Format = "AVI", .VideoEncoder = CopyItem, .Subtitles = sbKeep},
     nullptr,
     "mpeg4,320,240",
     "",
     "",
     "tagged.mkv"},
    // A clip with two audio tracks: the first by default, or both.
    {"FirstAudioTrack",
     {.Format = "MKV"},
     nullptr,
     "mpeg4,160,120",
     "mp3",
     "",
     "av_two_opus.ogg",
     1},
    {"AllAudioTracks",
     {.Format = "MKV", .Subtitles = sbKeep, .AudioTracks = atAll},
     nullptr,
     "mpeg4,160,120",
     "mp3",
     "",
     "av_two_opus.ogg",
     2},
};

INSTANTIATE_TEST_SUITE_P(Table, AddedChoiceConversion, ::testing::ValuesIn(AddedChoiceCases),
                         [](const auto &info) { return std::string(info.param.name); });

// Conversions with the options of one source.
class SourceConversion : public EncoderTest {
protected:
  // Converts AInput with the options S builds for a source of AFacts into AOutput; asserts
  // that the task finished.
  static void ConvertSource(const TConversionSettings &S, const TSourceFacts &AFacts,
                            const std::string &AInput, const std::string &AOutput) {
    const std::string options = BuildVideoOptions(S, TEffects(), &AFacts);
    TFFEncoder encoder;
    TEventRecorder events(encoder);
    AddConversion(encoder, AInput, AOutput, "-y " + options);
    encoder.Start(0);
    const std::vector<TTerminateInfo> ends = events.Ends();
    ASSERT_EQ(ends.size(), 2u);
    ASSERT_TRUE(ends[0].Finished) << options << "\n" << ends[0].ExceptionMsg;
  }
};

// A source to convert, and a file of the same pictures whose name a shell command takes.
struct TSource {
  std::string path, plain;
};

// The clip with text subtitles ("Hello" from 0 to 0.5 s, about (146, 210) to (174, 229) of
// 320x240) under a name the filter graph's and the option string's syntax would split: quotes,
// ':', ',', ';', brackets, a backslash and blanks.
TSource TextSubtitleSource() {
  const std::string folder = ScratchDir() + "/it's: a, b; [c]";
  std::filesystem::create_directories(folder);
  const std::string path = folder + "/sub [1], x:y's \"q\"\\.mkv";
  std::filesystem::copy_file(Fixture("tagged.mkv"), path,
                             std::filesystem::copy_options::overwrite_existing);
  return {path, Fixture("tagged.mkv")};
}

// 160x90 video and sound with a DVD subtitle stream: a white box at (40, 60), 80x20.
constexpr TPictureBox DvdBox{40, 60, 80, 20};
TSource PictureSubtitleSource() {
  const std::string subtitles = ScratchDir() + "/box_subtitles.mkv";
  const std::string path = ScratchDir() + "/picture_subtitles.mkv";
  EXPECT_TRUE(WriteDvdSubtitles(subtitles, 160, 90, DvdBox));
  RunText("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=160x90:rate=10:duration=1 "
          "-f lavfi -i sine=duration=1 -i \"" +
          subtitles + "\" -map 0 -map 1 -map 2 -c:v mpeg4 -c:a mp2 -c:s copy \"" + path + "\"");
  return {path, path};
}

// Burned-in subtitles: the output has no subtitle stream, and its picture differs from the
// source's where the subtitle shows and hardly anywhere else.
struct TBurnInCase {
  const char *name;
  TSubtitleKind kind;
  TSource (*source)();
  int width;
  TPictureBox drawn;
  TChoice choice;
  const char *streams; // codec types of the output
};

void PrintTo(const TBurnInCase &c, std::ostream *os) {
  *os << c.name;
}

class BurnInConversion : public SourceConversion,
                         public ::testing::WithParamInterface<TBurnInCase> {};

TEST_P(BurnInConversion, DrawsTheSubtitleIntoThePicture) {
  const TBurnInCase &c = GetParam();
  const TSource source = c.source();
  const std::string ours = ScratchDir() + "/burned_" + c.name + ".mkv";
  ConvertSource(MakeSettings(c.choice), {source.path, c.kind, {}}, source.path, ours);
  std::string streams;
  for (const TStreamFacts &s : ProbeStreams(ours))
    streams += (streams.empty() ? "" : ",") + s.at("codec_type");
  EXPECT_EQ(streams, c.streams);
  const auto [inside, outside] =
      PictureDifference(GrayPicture(ours), GrayPicture(source.plain), c.width, c.drawn);
  EXPECT_GT(inside, 5.0);
  EXPECT_GT(inside, 5 * outside) << "outside " << outside;
}

const TBurnInCase BurnInCases[] = {
    {"Text",
     skText,
     TextSubtitleSource,
     320,
     {136, 208, 48, 26},
     {.Format = "MKV", .Subtitles = sbBurn},
     "video"},
    // The overlay's output is the video stream; the maps add the sound only.
    {"PicturesWithEveryAudioTrack",
     skBitmap,
     PictureSubtitleSource,
     160,
     DvdBox,
     {.Format = "MKV", .Subtitles = sbBurn, .AudioTracks = atAll},
     "video,audio"},
    {"PicturesIntoAvi",
     skBitmap,
     PictureSubtitleSource,
     160,
     DvdBox,
     {.Format = "AVI", .Subtitles = sbBurn},
     "video,audio"},
};

INSTANTIATE_TEST_SUITE_P(Table, BurnInConversion, ::testing::ValuesIn(BurnInCases),
                         [](const auto &info) { return std::string(info.param.name); });

// Audio tracks by language from a clip with an English stereo and a French mono track: the
// track of the language alone, or the first when no track is in the languages.
TEST_F(SourceConversion, AudioTracksByLanguage) {
  const struct {
    const char *languages;
    const char *expected; // channels,language of each audio stream
  } cases[] = {{"fre", "1,fre"}, {"fr", "1,fre"}, {"de, es", "2,eng"}, {"fre eng", "1,fre 2,eng"}};
  const TSourceFacts facts{Fixture("languages.mkv"), skNone, {"eng", "fre"}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.languages);
    const std::string ours = ScratchDir() + "/languages.mkv";
    ConvertSource(
        MakeSettings({.Format = "MKV", .AudioTracks = atLanguages, .AudioLanguages = c.languages}),
        facts, facts.Path, ours);
    std::string got = RunText("ffprobe -v error -select_streams a -show_entries "
                              "stream=channels:stream_tags=language -of csv=p=0 \"" +
                              ours + "\"");
    std::replace(got.begin(), got.end(), '\n', ' ');
    EXPECT_EQ(got.substr(0, got.find_last_not_of(' ') + 1), c.expected);
    EXPECT_EQ(ProbeStreams(ours).front().at("codec_type"), "video");
  }
}

// Without a device the hardware encoders are not offered; their strings still parse as the
// tool's do and fail with the reason: VAAPI when its device is opened, NVENC when the encoder
// opens.
TEST_F(EncoderTest, HardwareStringsWithoutADeviceFailWithTheReason) {
  if (std::filesystem::exists("/dev/dri") || std::filesystem::exists("/dev/nvidiactl"))
    GTEST_SKIP() << "this machine has a graphics device";
  TFFEncoder encoder;
  TInputOptions input;
  const int vaapi = encoder.AddTask(Fixture("tiny.mp4"), &input);
  TOutputOptions output;
  output.Options =
      "-y " + BuildVideoOptions(MakeSettings({.Format = "MKV", .VideoEncoder = "H.265 (VAAPI)"}),
                                TEffects());
  EXPECT_LT(encoder.SetOutput(vaapi, ScratchDir() + "/vaapi.mkv", &output), 0);
  EXPECT_NE(encoder.LastErrMsg().find("init_hw_device"), std::string::npos) << encoder.LastErrMsg();

  TFFEncoder nvenc;
  TEventRecorder events(nvenc);
  AddConversion(
      nvenc, Fixture("tiny.mp4"), ScratchDir() + "/nvenc.mp4",
      "-y " + BuildVideoOptions(MakeSettings({.Format = "MP4", .VideoEncoder = "H.264 (NVENC)"}),
                                TEffects()),
      "-t 0.5");
  nvenc.Start(0);
  const std::vector<TTerminateInfo> ends = events.Ends();
  ASSERT_EQ(ends.size(), 2u);
  EXPECT_FALSE(ends[0].Finished);
  EXPECT_NE(ends[0].ExceptionMsg.find("Error while opening encoder"), std::string::npos)
      << ends[0].ExceptionMsg;
}

// A stream copied into a container that cannot hold its codec fails with the muxer's reason,
// also when the video's encoder was opened already (SVT-AV1's library used to wait forever in
// its close when it was never sent the end of the stream).
TEST_F(EncoderTest, CopyIntoAContainerThatRefusesTheCodecGivesTheMuxersReason) {
  for (const char *video : {CopyItem, "AV1"}) {
    SCOPED_TRACE(video);
    const TConversionSettings S =
        MakeSettings({.Format = "WebM", .VideoEncoder = video, .AudioEncoder = CopyItem});
    const std::string out = ScratchDir() + "/refused_copy.webm";
    TFFEncoder encoder;
    TEventRecorder events(encoder);
    AddConversion(encoder, Fixture("tiny.mp4"), out, "-y " + BuildVideoOptions(S, TEffects()),
                  "-t 0.5");
    encoder.Start(0);
    const std::vector<TTerminateInfo> ends = events.Ends();
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_FALSE(ends[0].Finished);
    EXPECT_NE(ends[0].ExceptionMsg.find("Only VP8 or VP9 or AV1 video and Vorbis or Opus audio"),
              std::string::npos)
        << ends[0].ExceptionMsg;
  }
}

} // namespace

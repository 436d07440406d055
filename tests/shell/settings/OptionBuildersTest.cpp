#include "SettingsChoice.h"

#include "shell/settings/OptionBuilders.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEffects VFlip() {
  TEffects E;
  E.ef_VFlip = true;
  return E;
}

TEffects AllFilters() {
  TEffects E;
  E.ef_Negate = E.ef_Dein = E.ef_HFlip = E.ef_VFlip = true;
  return E;
}

TEffects Rotate(int Degrees) {
  TEffects E;
  E.ef_Rotate = true;
  E.ef_Degrees = Degrees;
  return E;
}

TEffects RotateAndHFlip() {
  TEffects E = Rotate(2);
  E.ef_HFlip = true;
  return E;
}

TEffects NotRotating() {
  TEffects E;
  E.ef_Degrees = 1; // "180 degrees" chosen, "Rotate" off
  return E;
}

struct TVideoCase {
  const char *Name;
  TChoice Choice;
  TEffects Effects;
  const char *Expected;
};

void PrintTo(const TVideoCase &C, std::ostream *Out) {
  *Out << C.Name;
}

class BuildVideoOptionsTest : public ::testing::TestWithParam<TVideoCase> {};

TEST_P(BuildVideoOptionsTest, GivesExactOptionString) {
  const TVideoCase &C = GetParam();
  EXPECT_EQ(BuildVideoOptions(MakeSettings(C.Choice), C.Effects), C.Expected);
}

const TVideoCase VideoCases[] = {
    {"Defaults", {}, {}, "-b:a 32k -c:a libmp3lame -c:v mpeg4 -sn "},
    {"FullExampleMp4H264Aac", FullExample, VFlip(),
     "-b:a 128k -b:v 1500k -aspect 16:9 -ac 2 -ar 44100 -c:a aac -astrict experimental -c:v "
     "libx264 -threads 8 -pix_fmt yuv420p -vf \"scale=1280:720,vflip\"  -sn "},
    {"EveryOtherSwitch",
     {.AudioBitrate = "384",
      .VideoBitrate = "50000",
      .Aspect = "4:3",
      .Channel = "Mono",
      .SampleRate = "8000",
      .FrameRate = "10"},
     {},
     "-b:a 384k -b:v 50000k -aspect 4:3 -ac 1 -ar 8000 -r 10 -c:a libmp3lame -c:v mpeg4 -sn "},
    {"AviH264",
     {.Format = "AVI", .VideoEncoder = "H.264"},
     {},
     "-b:a 32k -c:a libmp3lame -c:v libx264 -threads 8 -pix_fmt yuv420p -sn "},
    {"AviXvidAc3",
     {.Format = "AVI", .VideoEncoder = "xVid", .AudioEncoder = "AC3"},
     {},
     "-b:a 32k -c:a ac3 -c:v libxvid -sn "},
    {"AviDivxOriginalRate",
     {.Format = "AVI", .VideoEncoder = "DivX"},
     {},
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -tag:v DIVX -vstrict unofficial -r 15000/1001 -sn "},
    {"AviDivxRate25",
     {.Format = "AVI", .VideoEncoder = "DivX", .FrameRate = "25"},
     {},
     "-b:a 32k -r 25 -c:a libmp3lame -c:v mpeg4 -tag:v DIVX -vstrict unofficial -sn "},
    {"M4vH264",
     {.Format = "M4V", .VideoEncoder = "H.264"},
     {},
     "-b:a 32k -c:a aac -astrict experimental -c:v libx264 -threads 8 -pix_fmt yuv420p -sn "},
    {"MkvFirstEncoderIsMpeg4NotContainerDefault",
     {.Format = "MKV"},
     {},
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -sn "},
    {"MkvH265Aac",
     {.Format = "MKV", .VideoEncoder = "H.265", .AudioEncoder = "AAC"},
     {},
     "-b:a 32k -c:a aac -astrict experimental -c:v libx265 -sn "},
    {"MkvXvid",
     {.Format = "MKV", .VideoEncoder = "xVid"},
     {},
     "-b:a 32k -c:a libmp3lame -c:v libxvid -sn "},
    {"MovH265",
     {.Format = "MOV", .VideoEncoder = "H.265"},
     {},
     "-b:a 32k -c:a aac -astrict experimental -c:v libx265 -sn "},
    {"Mp4Ac3", {.Format = "MP4", .AudioEncoder = "AC3"}, {}, "-b:a 32k -c:a ac3 -c:v mpeg4 -sn "},
    // The target preset leads so that the audio encoder, rates and bit rates chosen after it
    // are not replaced by the preset's own.
    {"MpgTargetsVcd",
     {.Format = "MPG"},
     {},
     "-target ntsc-vcd -b:a 32k -c:a mp2 -c:v mpeg2video -sn "},
    {"TsH264",
     {.Format = "TS"},
     {},
     "-b:a 32k -c:a ac3 -c:v libx264 -threads 8 -pix_fmt yuv420p -sn "},
    {"TsH265",
     {.Format = "TS", .VideoEncoder = "H.265"},
     {},
     "-b:a 32k -c:a ac3 -c:v libx265 -sn "},
    {"VobTargetsDvd",
     {.Format = "VOB"},
     {},
     "-target ntsc-dvd -b:a 32k -c:a mp2 -c:v mpeg2video -sn "},
    {"VobAc3",
     {.Format = "VOB", .AudioEncoder = "AC3"},
     {},
     "-target ntsc-dvd -b:a 32k -c:a ac3 -c:v mpeg2video -sn "},
    {"WebmForcesFormatVorbisAndVp8",
     {.Format = "WebM"},
     {},
     "-b:a 48k -f webm  -c:a libvorbis -c:v libvpx -sn "},
    {"WebmWithRates",
     {.Format = "WebM", .VideoBitrate = "4000", .Channel = "Stereo", .SampleRate = "48000"},
     {},
     "-b:a 48k -b:v 4000k -f webm  -ac 2 -ar 48000 -c:a libvorbis -c:v libvpx -sn "},
    // Vorbis takes the low rates in mono and at the lower sample rates: they stay as chosen.
    {"WebmMonoKeepsLowRate",
     {.Format = "WebM", .Channel = "Mono", .SampleRate = "44100"},
     {},
     "-b:a 32k -f webm  -ac 1 -ar 44100 -c:a libvorbis -c:v libvpx -sn "},
    {"WebmLowSampleRateKeepsLowRate",
     {.Format = "WebM", .AudioBitrate = "40", .Channel = "Stereo", .SampleRate = "22050"},
     {},
     "-b:a 40k -f webm  -ac 2 -ar 22050 -c:a libvorbis -c:v libvpx -sn "},
    {"WebmHigherRateKept",
     {.Format = "WebM", .AudioBitrate = "56"},
     {},
     "-b:a 56k -f webm  -c:a libvorbis -c:v libvpx -sn "},
    // Above the preset's cap the cap follows the chosen rate, the buffer grows in proportion
    // and the multiplex rate is the muxer's; at or below the cap the preset's apply.
    {"MpgAboveVcdCap",
     {.Format = "MPG", .VideoBitrate = "1500"},
     {},
     "-target ntsc-vcd -b:a 32k -b:v 1500k -maxrate:v 1500k -bufsize:v 427408 -muxrate 0 "
     "-c:a mp2 -c:v mpeg2video -sn "},
    {"MpgWithinVcdCap",
     {.Format = "MPG", .VideoBitrate = "1000"},
     {},
     "-target ntsc-vcd -b:a 32k -b:v 1000k -c:a mp2 -c:v mpeg2video -sn "},
    {"VobAboveDvdCap",
     {.Format = "VOB", .VideoBitrate = "10000"},
     {},
     "-target ntsc-dvd -b:a 32k -b:v 10000k -maxrate:v 10000k -bufsize:v 2038897 -muxrate 0 "
     "-c:a mp2 -c:v mpeg2video -sn "},
    {"VobAtDvdCap",
     {.Format = "VOB", .VideoBitrate = "9000"},
     {},
     "-target ntsc-dvd -b:a 32k -b:v 9000k -c:a mp2 -c:v mpeg2video -sn "},
    {"Wmv", {.Format = "WMV"}, {}, "-b:a 32k -c:a wmav2 -c:v wmv2 -sn "},
    {"CustomSizeCapitalX",
     {.FrameSize = "1920X1080"},
     {},
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -vf \"scale=1920:1080\"  -sn "},
    {"CustomSizeWithoutWidth",
     {.FrameSize = "x720"},
     {},
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -vf \"scale=-2:720\"  -sn "},
    {"CustomSizeWithoutHeight",
     {.FrameSize = "1280x"},
     {},
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -vf \"scale=1280:-2\"  -sn "},
    {"VFlipAloneQuotedWithTrailingSpace",
     {},
     VFlip(),
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -vf \"vflip\"  -sn "},
    {"FiltersInFixedOrderAfterScale",
     {.FrameSize = "640x480"},
     AllFilters(),
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -vf \"scale=640:480,vflip,hflip,yadif,negate\"  -sn "},
    {"Rotate90", {}, Rotate(0), "-b:a 32k -c:a libmp3lame -c:v mpeg4 -vf \"transpose=1\" -sn "},
    {"Rotate180OneVf",
     {},
     Rotate(1),
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -vf \"transpose=1,transpose=1\" -sn "},
    {"Rotate270", {}, Rotate(2), "-b:a 32k -c:a libmp3lame -c:v mpeg4 -vf \"transpose=0\" -sn "},
    {"RotateOutOfRangeCountsAs90",
     {},
     Rotate(7),
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -vf \"transpose=1\" -sn "},
    {"DegreesWithoutRotateDoNothing",
     {},
     NotRotating(),
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -sn "},
    // One -vf: a second one would replace the rotation in the engine.
    {"RotationJoinsTheChainFirst",
     {.FrameSize = "640x480"},
     RotateAndHFlip(),
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -vf \"transpose=0,scale=640:480,hflip\"  -sn "},
};

INSTANTIATE_TEST_SUITE_P(Table, BuildVideoOptionsTest, ::testing::ValuesIn(VideoCases),
                         [](const auto &Info) { return std::string(Info.param.Name); });

// The choices added to the tabs: copied streams, constant quality, speed presets, the newer
// codecs and the hardware encoders. Their defaults leave the strings above as they are.
const TVideoCase AddedChoiceCases[] = {
    // A copied stream takes none of the picture's or the sound's rates, sizes and effects.
    {"CopyBothLeavesOutEveryRateSizeAndEffect",
     {.Format = "MP4",
      .VideoEncoder = CopyItem,
      .AudioEncoder = CopyItem,
      .AudioBitrate = "128",
      .VideoBitrate = "1500",
      .Aspect = "16:9",
      .Channel = "Stereo",
      .SampleRate = "44100",
      .FrameRate = "25",
      .FrameSize = "1280x720"},
     VFlip(),
     "-c:a copy -c:v copy -sn "},
    {"CopyVideoKeepsTheAudioChoices",
     {.Format = "MKV",
      .VideoEncoder = CopyItem,
      .AudioEncoder = "AAC",
      .AudioBitrate = "128",
      .VideoBitrate = "1500",
      .Channel = "Stereo",
      .FrameRate = "25",
      .FrameSize = "640x480"},
     Rotate(1),
     "-b:a 128k -ac 2 -c:a aac -astrict experimental -c:v copy -sn "},
    {"CopyAudioKeepsTheVideoChoices",
     {.AudioEncoder = CopyItem, .VideoBitrate = "1000", .Channel = "Mono", .FrameRate = "25"},
     {},
     "-b:v 1000k -r 25 -c:a copy -c:v mpeg4 -sn "},
    {"CopyIntoWebmStillNamesTheMuxer",
     {.Format = "WebM", .VideoEncoder = CopyItem, .AudioEncoder = CopyItem},
     {},
     "-f webm  -c:a copy -c:v copy -sn "},
    {"CopyVideoIntoVob",
     {.Format = "VOB", .VideoEncoder = CopyItem, .VideoBitrate = "5000"},
     {},
     "-target ntsc-dvd -b:a 32k -c:a mp2 -c:v copy -sn "},
    // Constant quality replaces the video bit rate where the encoder has a scale.
    {"H264QualityAtItsDefault",
     {.Format = "MKV", .VideoEncoder = "H.264", .VideoBitrate = "1500", .VideoRateControl = 1},
     {},
     "-b:a 32k -c:a libmp3lame -c:v libx264 -threads 8 -pix_fmt yuv420p -crf 23 -sn "},
    {"H265QualityAndFastestSpeed",
     {.Format = "MP4",
      .VideoEncoder = "H.265",
      .VideoRateControl = 1,
      .VideoQuality = 20,
      .Speed = "Fastest"},
     {},
     "-b:a 32k -c:a aac -astrict experimental -c:v libx265 -crf 20 -preset ultrafast -sn "},
    {"QualityAboveTheScaleIsClamped",
     {.Format = "MP4", .VideoEncoder = "H.264", .VideoRateControl = 1, .VideoQuality = 60},
     {},
     "-b:a 32k -c:a aac -astrict experimental -c:v libx264 -threads 8 -pix_fmt yuv420p -crf 51 "
     "-sn "},
    {"Vp9QualityNeedsZeroBitrateAndOpus",
     {.Format = "WebM",
      .VideoEncoder = "VP9",
      .AudioEncoder = "Opus",
      .VideoRateControl = 1,
      .Speed = "Fastest"},
     {},
     "-b:a 32k -f webm  -c:a libopus -c:v libvpx-vp9 -crf 31 -b:v 0 -deadline realtime "
     "-cpu-used 8 -sn "},
    {"Av1QualityInMp4",
     {.Format = "MP4",
      .VideoEncoder = "AV1",
      .AudioEncoder = "Opus",
      .VideoRateControl = 1,
      .VideoQuality = 40,
      .Speed = "Fastest"},
     {},
     "-b:a 32k -c:a libopus -c:v libsvtav1 -crf 40 -preset 12 -sn "},
    {"Av1BitrateWithSlowSpeed",
     {.Format = "MKV", .VideoEncoder = "AV1", .VideoBitrate = "1000", .Speed = "Slow"},
     {},
     "-b:a 32k -b:v 1000k -c:a libmp3lame -c:v libsvtav1 -preset 5 -sn "},
    {"Vp9GoodSpeedInMkv",
     {.Format = "MKV", .VideoEncoder = "VP9", .AudioEncoder = "Opus", .Speed = "Medium"},
     {},
     "-b:a 32k -c:a libopus -c:v libvpx-vp9 -deadline good -cpu-used 2 -sn "},
    // MPEG-4 has neither a quality scale nor speed presets: the bit rate stays.
    {"QualityAndSpeedNeedAnEncoderThatHasThem",
     {.VideoBitrate = "1000", .VideoRateControl = 1, .Speed = "Fastest"},
     {},
     "-b:a 32k -b:v 1000k -c:a libmp3lame -c:v mpeg4 -sn "},
    {"Mp3Quality",
     {.AudioRateControl = 1, .AudioQuality = 2},
     {},
     "-q:a 2 -c:a libmp3lame -c:v mpeg4 -sn "},
    {"VorbisQualityInWebm",
     {.Format = "WebM", .AudioRateControl = 1},
     {},
     "-q:a 5 -f webm  -c:a libvorbis -c:v libvpx -sn "},
    {"AacHasNoQualityScale",
     {.Format = "MP4", .AudioRateControl = 1},
     {},
     "-b:a 32k -c:a aac -astrict experimental -c:v mpeg4 -sn "},
    // Opus takes the low rates Vorbis refuses.
    {"OpusKeepsTheLowRate",
     {.Format = "WebM", .AudioEncoder = "Opus"},
     {},
     "-b:a 32k -f webm  -c:a libopus -c:v libvpx -sn "},
    {"OpusSampleRateAndMonoRateItTakes",
     {.Format = "MKV",
      .AudioEncoder = "Opus",
      .AudioBitrate = "384",
      .Channel = "Mono",
      .SampleRate = "22050"},
     {},
     "-b:a 256k -ac 1 -ar 24000 -c:a libopus -c:v mpeg4 -sn "},
    {"Nvenc",
     {.Format = "MP4", .VideoEncoder = "H.264 (NVENC)", .VideoBitrate = "2000"},
     {},
     "-b:a 32k -b:v 2000k -c:a aac -astrict experimental -c:v h264_nvenc -sn "},
    {"Qsv",
     {.Format = "TS", .VideoEncoder = "H.265 (QSV)"},
     {},
     "-b:a 32k -c:a ac3 -c:v hevc_qsv -sn "},
    // VAAPI pictures are uploaded to the device after every other filter.
    {"VaapiUploadsAfterTheChain",
     {.Format = "MKV", .VideoEncoder = "H.265 (VAAPI)", .FrameSize = "1280x720"},
     Rotate(0),
     "-b:a 32k -c:a libmp3lame -c:v hevc_vaapi -init_hw_device vaapi=va:/dev/dri/renderD128 "
     "-filter_hw_device va -vf \"transpose=1,scale=1280:720,format=nv12,hwupload\"  -sn "},
    // The first subtitle stream kept where the container takes one, else dropped as before.
    {"SubtitlesCopiedIntoMkv",
     {.Format = "MKV", .Subtitles = sbKeep},
     {},
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -c:s copy "},
    {"SubtitlesAsMovTextInMp4",
     {.Format = "MP4", .VideoEncoder = CopyItem, .Subtitles = sbKeep},
     {},
     "-b:a 32k -c:a aac -astrict experimental -c:v copy -c:s mov_text "},
    {"SubtitlesAsWebvttInWebm",
     {.Format = "WebM", .Subtitles = sbKeep},
     {},
     "-b:a 48k -f webm  -c:a libvorbis -c:v libvpx -c:s webvtt "},
    {"SubtitlesDroppedWhereTheContainerTakesNone",
     {.Format = "AVI", .Subtitles = sbKeep},
     {},
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -sn "},
    // Every audio track: maps choose the streams, the kept subtitle stream among them.
    {"AllAudioTracks",
     {.Format = "MP4", .AudioTracks = atAll},
     {},
     "-b:a 32k -c:a aac -astrict experimental -c:v mpeg4 -map 0:V:0? -map 0:a? -sn "},
    {"AllAudioTracksAndSubtitles",
     {.Format = "MKV", .Subtitles = sbKeep, .AudioTracks = atAll},
     {},
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -map 0:V:0? -map 0:a? -map 0:s:0? -c:s copy "},
    // Without a source nothing is burned in, and the tracks are mapped by the codes.
    {"BurnInWithoutASourceDropsTheSubtitles",
     {.Format = "MKV", .FrameSize = "640x480", .Subtitles = sbBurn},
     VFlip(),
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -vf \"scale=640:480,vflip\"  -sn "},
    {"LanguagesWithoutASourceMapTheCodes",
     {.Format = "MKV", .AudioTracks = atLanguages, .AudioLanguages = "en, FRA"},
     {},
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -map 0:V:0? -map 0:a:m:language:eng? "
     "-map 0:a:m:language:fre? -sn "},
    {"LanguagesWithoutACodeTakeTheFirstTrack",
     {.Format = "MKV", .AudioTracks = atLanguages, .AudioLanguages = " ,x1 "},
     {},
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -sn "},
    // A target size needs a bit rate for its two passes (the job sets the rate per file).
    {"TargetSizeKeepsTheBitRateOverQuality",
     {.Format = "MP4",
      .VideoEncoder = "H.264",
      .VideoBitrate = "1000",
      .VideoRateControl = 1,
      .VideoQuality = 20,
      .TargetSize = 700},
     {},
     "-b:a 32k -b:v 1000k -c:a aac -astrict experimental -c:v libx264 -threads 8 -pix_fmt yuv420p "
     "-sn "},
};

INSTANTIATE_TEST_SUITE_P(AddedChoices, BuildVideoOptionsTest, ::testing::ValuesIn(AddedChoiceCases),
                         [](const auto &Info) { return std::string(Info.param.Name); });

// The options of one source: its first subtitle stream burned in, its audio tracks by the
// tags they carry.
struct TSourceCase {
  const char *Name;
  TChoice Choice;
  TEffects Effects;
  TSourceFacts Source;
  const char *Expected;
  std::vector<std::string> Notes = {};
};

void PrintTo(const TSourceCase &C, std::ostream *Out) {
  *Out << C.Name;
}

class SourceOptionsTest : public ::testing::TestWithParam<TSourceCase> {};

TEST_P(SourceOptionsTest, GivesExactOptionStringAndNotes) {
  const TSourceCase &C = GetParam();
  const TConversionSettings S = MakeSettings(C.Choice);
  EXPECT_TRUE(DependsOnSource(S));
  EXPECT_EQ(BuildVideoOptions(S, C.Effects, &C.Source), C.Expected);
  EXPECT_EQ(SourceNotes(S, C.Source), C.Notes);
}

const TSourceFacts TextSubtitles{"/media/a.mkv", skText, {}};
const TSourceFacts PictureSubtitles{"/media/a.mkv", skBitmap, {}};
const TSourceFacts EnglishAndFrench{"/media/a.mkv", skNone, {"eng", "fra"}};

const TSourceCase SourceCases[] = {
    {"TextDrawnByTheSubtitlesFilter",
     {.Format = "MKV", .Subtitles = sbBurn},
     {},
     TextSubtitles,
     R"(-b:a 32k -c:a libmp3lame -c:v mpeg4 -vf "subtitles=filename=\'/media/a.mkv\':si=0"  -sn )"},
    // Text goes after the rotation, the size and the effects, upright at the output's size.
    {"TextAfterTheChain",
     {.Format = "MP4", .FrameSize = "640x480", .Subtitles = sbBurn},
     RotateAndHFlip(),
     TextSubtitles,
     R"(-b:a 32k -c:a aac -astrict experimental -c:v mpeg4 -vf "transpose=0,scale=640:480,hflip,)"
     R"(subtitles=filename=\'/media/a.mkv\':si=0"  -sn )"},
    // Quoted for the filter's options, escaped for the graph, and the quotes of the name
    // escaped for the option string.
    {"NameQuotedAtEveryLevel",
     {.Format = "MKV", .Subtitles = sbBurn},
     {},
     {R"(/m/it's [1]; a:b "q"\.mkv)", skText, {}},
     R"(-b:a 32k -c:a libmp3lame -c:v mpeg4 -vf "subtitles=filename=\'/m/it\'\\\'\'s \[1\]\; )"
     R"(a:b \"q\"\\.mkv\':si=0"  -sn )"},
    // Pictures are overlaid on the source's picture, then the chain follows.
    {"PicturesOverlaidBeforeTheChain",
     {.Format = "MKV", .FrameSize = "640x480", .Subtitles = sbBurn},
     VFlip(),
     PictureSubtitles,
     R"(-b:a 32k -c:a libmp3lame -c:v mpeg4 -filter_complex )"
     R"("[0:V:0][0:s:0]overlay,scale=640:480,vflip"  -sn )"},
    {"PicturesWithVaapiUpload",
     {.Format = "MKV", .VideoEncoder = "H.265 (VAAPI)", .Subtitles = sbBurn},
     {},
     PictureSubtitles,
     "-b:a 32k -c:a libmp3lame -c:v hevc_vaapi -init_hw_device vaapi=va:/dev/dri/renderD128 "
     "-filter_hw_device va -filter_complex \"[0:V:0][0:s:0]overlay,format=nv12,hwupload\"  -sn "},
    // The overlay's output is the video: maps add no second one.
    {"PicturesWithEveryAudioTrack",
     {.Format = "MKV", .Subtitles = sbBurn, .AudioTracks = atAll},
     {},
     PictureSubtitles,
     R"(-b:a 32k -c:a libmp3lame -c:v mpeg4 -filter_complex "[0:V:0][0:s:0]overlay"  )"
     R"(-map 0:a? -sn )"},
    {"NoSubtitlesToBurnIn",
     {.Format = "MKV", .Subtitles = sbBurn},
     VFlip(),
     {"/media/a.mkv", skNone, {}},
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -vf \"vflip\"  -sn ",
     {"No subtitles to burn in"}},
    {"CopiedVideoIsNotDrawnOn",
     {.Format = "MKV", .VideoEncoder = CopyItem, .Subtitles = sbBurn},
     {},
     TextSubtitles,
     "-b:a 32k -c:a libmp3lame -c:v copy -sn ",
     {"Subtitles not burned in: the video is copied"}},
    // Tracks by the tags the source carries, any form of a code matching, in the codes' order.
    {"LanguageByTheSourcesTag",
     {.Format = "MKV", .AudioTracks = atLanguages, .AudioLanguages = "fre"},
     {},
     EnglishAndFrench,
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -map 0:V:0? -map 0:a:m:language:fra? -sn "},
    {"LanguagesInTheListedOrder",
     {.Format = "MKV", .Subtitles = sbKeep, .AudioTracks = atLanguages, .AudioLanguages = "fr en"},
     {},
     EnglishAndFrench,
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -map 0:V:0? -map 0:a:m:language:fra? "
     "-map 0:a:m:language:eng? -map 0:s:0? -c:s copy "},
    {"NoTrackInTheLanguagesTakesTheFirst",
     {.Format = "MKV", .AudioTracks = atLanguages, .AudioLanguages = "ger, spa"},
     {},
     EnglishAndFrench,
     "-b:a 32k -c:a libmp3lame -c:v mpeg4 -map 0:V:0? -map 0:a:0? -sn ",
     {"No audio track in ger, spa: the first one is converted"}},
    {"LanguagesWithPicturesBurnedIn",
     {.Format = "MKV", .Subtitles = sbBurn, .AudioTracks = atLanguages, .AudioLanguages = "eng"},
     {},
     {"/media/a.mkv", skBitmap, {"eng", "fra"}},
     R"(-b:a 32k -c:a libmp3lame -c:v mpeg4 -filter_complex "[0:V:0][0:s:0]overlay"  )"
     R"(-map 0:a:m:language:eng? -sn )"},
};

INSTANTIATE_TEST_SUITE_P(PerSource, SourceOptionsTest, ::testing::ValuesIn(SourceCases),
                         [](const auto &Info) { return std::string(Info.param.Name); });

// A source's facts from what the decoder reads: the kind of its first subtitle stream by the
// decoder's numbering, and its path made absolute for the subtitles filter.
TEST(SourceFacts, KindByTheDecodersNumberingAndAnAbsolutePath) {
  const std::pair<int, TSubtitleKind> Kinds[] = {
      {0, skBitmap}, {1, skText}, {-1, skNone}, {2, skNone}};
  for (const auto &[Format, Kind] : Kinds)
    EXPECT_EQ(SourceFacts("/a/b.mkv", Format, {}).FirstSubtitle, Kind) << Format;
  const TSourceFacts Facts = SourceFacts("b c.mkv", 1, {"eng", ""});
  EXPECT_EQ(Facts.Path, (std::filesystem::current_path() / "b c.mkv").string());
  EXPECT_EQ(Facts.AudioLanguages, (std::vector<std::string>{"eng", ""}));
}

// Options that depend on nothing but the settings are the same for every source.
TEST(BuildVideoOptions, SettingsWithoutBurnInOrLanguagesIgnoreTheSource) {
  for (const TChoice &C : {TChoice{.Format = "MKV", .Subtitles = sbKeep, .AudioTracks = atAll},
                           TChoice{.AudioTracks = atLanguages}}) {
    const TConversionSettings S = MakeSettings(C);
    EXPECT_FALSE(DependsOnSource(S));
    EXPECT_EQ(BuildVideoOptions(S, VFlip(), &EnglishAndFrench), BuildVideoOptions(S, VFlip()));
  }
}

// Positions that the lists do not hold (a profile or stale lists) give no codec from that list.
TEST(BuildVideoOptions, NoEncoderSelectedWritesOnlyTheContainerCodec) {
  TConversionSettings S = MakeSettings({.Format = "WMV"});
  S.VideoEncoder = -1;
  S.AudioEncoder = -1;
  EXPECT_EQ(BuildVideoOptions(S, {}), "-b:a 32k -c:v wmv2 -sn ");
  S = MakeSettings({.Format = "MP4"});
  S.VideoEncoder = -1;
  EXPECT_EQ(BuildVideoOptions(S, {}), "-b:a 32k -c:a aac -astrict experimental -sn ");
}

// After the FFmpeg command dialog the container changes but the lists keep the old encoders.
TEST(BuildVideoOptions, StaleEncoderListsAreReadAsShown) {
  TConversionSettings S = MakeSettings({.Format = "AVI", .VideoEncoder = "DivX"});
  S.EncoderListFormat = S.VideoFormat;
  S.VideoFormat = IndexOfItem(VideoFormatItems(), "MKV");
  EXPECT_EQ(VideoEncoderText(S), "DivX");
  EXPECT_EQ(BuildVideoOptions(S, {}),
            "-b:a 32k -c:a libmp3lame -c:v mpeg4 -tag:v DIVX -vstrict unofficial -r 15000/1001 "
            "-sn ");
}

struct TAudioCase {
  const char *Name;
  const char *AudioFormat;
  TChoice Choice;
  const char *Expected;
};

void PrintTo(const TAudioCase &C, std::ostream *Out) {
  *Out << C.Name;
}

class BuildAudioOptionsTest : public ::testing::TestWithParam<TAudioCase> {};

TEST_P(BuildAudioOptionsTest, GivesExactOptionString) {
  const TAudioCase &C = GetParam();
  TConversionSettings S = MakeSettings(C.Choice);
  S.AudioFormat = Position(AudioFormatItems(), C.AudioFormat);
  EXPECT_EQ(BuildAudioOptions(S), C.Expected);
}

const TAudioCase AudioCases[] = {
    {"Example",
     "MP3",
     {.AudioBitrate = "128", .Channel = "Stereo", .SampleRate = "44100"},
     "-b:a 128k -ac 2 -ar 44100 -c:a libmp3lame -vn"},
    {"WavHasNoCodec", "WAV", {}, "-b:a 32k -vn"},
    {"OggRaisedForVorbis", "OGG", {}, "-b:a 48k -c:a libvorbis -vn"},
    {"Ogg",
     "OGG",
     {.Channel = "Mono", .SampleRate = "22050"},
     "-b:a 32k -ac 1 -ar 22050 -c:a libvorbis -vn"},
    {"Flac", "FLAC", {.AudioBitrate = "320"}, "-b:a 320k -c:a flac -vn"},
    {"Wma", "WMA", {.SampleRate = "48000"}, "-b:a 32k -ar 48000 -c:a wmav2 -vn"},
    {"M4aIsAac", "M4A", {.Channel = "Stereo"}, "-b:a 32k -ac 2 -c:a aac -vn"},
    {"Opus", "Opus", {}, "-b:a 32k -c:a libopus -vn"},
    // libopus takes 8, 12, 16, 24 and 48 kHz, and at most 256 kbit/s a channel.
    {"OpusRaisesTheSampleRate",
     "Opus",
     {.AudioBitrate = "384", .Channel = "Stereo", .SampleRate = "44100"},
     "-b:a 384k -ac 2 -ar 48000 -c:a libopus -vn"},
    {"OpusMonoAtMost256k",
     "Opus",
     {.AudioBitrate = "320", .Channel = "Mono", .SampleRate = "11025"},
     "-b:a 256k -ac 1 -ar 12000 -c:a libopus -vn"},
    {"OpusKeepsItsOwnRates", "Opus", {.SampleRate = "8000"}, "-b:a 32k -ar 8000 -c:a libopus -vn"},
    {"VideoTabIgnored",
     "MP3",
     {.Format = "WebM",
      .VideoBitrate = "2000",
      .Aspect = "16:9",
      .FrameRate = "25",
      .FrameSize = "1280x720"},
     "-b:a 32k -c:a libmp3lame -vn"},
};

// Constant quality for the formats whose encoders have a scale; the others keep the bit rate.
const TAudioCase AudioQualityCases[] = {
    {"Mp3Quality", "MP3", {.AudioRateControl = 1, .AudioQuality = 0}, "-q:a 0 -c:a libmp3lame -vn"},
    {"OggQualityDefault", "OGG", {.AudioRateControl = 1}, "-q:a 5 -c:a libvorbis -vn"},
    {"OggQualityClamped",
     "OGG",
     {.Channel = "Mono", .AudioRateControl = 1, .AudioQuality = 12},
     "-q:a 10 -ac 1 -c:a libvorbis -vn"},
    {"FlacHasNoScale", "FLAC", {.AudioRateControl = 1}, "-b:a 32k -c:a flac -vn"},
    {"M4aHasNoScale", "M4A", {.AudioRateControl = 1}, "-b:a 32k -c:a aac -vn"},
    {"OpusHasNoScale", "Opus", {.AudioRateControl = 1}, "-b:a 32k -c:a libopus -vn"},
};

INSTANTIATE_TEST_SUITE_P(Quality, BuildAudioOptionsTest, ::testing::ValuesIn(AudioQualityCases),
                         [](const auto &Info) { return std::string(Info.param.Name); });

INSTANTIATE_TEST_SUITE_P(Table, BuildAudioOptionsTest, ::testing::ValuesIn(AudioCases),
                         [](const auto &Info) { return std::string(Info.param.Name); });

} // namespace

// The audio rate a target size reckons with: the rate the string writes (Vorbis's raised one
// too), a typical 128 kbit/s where a copy or a quality leaves it open.
TEST(ConversionAudioKbps, TheRateTheStringWritesOrATypicalOne) {
  const struct {
    TChoice Choice;
    int Kbps;
  } cases[] = {{{}, 32},
               {{.Format = "MP4", .AudioBitrate = "192"}, 192},
               {{.Format = "WebM"}, 48},
               {{.Format = "MP4", .AudioRateControl = 1}, 32}, // AAC has no quality scale
               {{.AudioRateControl = 1, .AudioQuality = 2}, 128},
               {{.Format = "MKV", .AudioEncoder = CopyItem}, 128}};
  for (const auto &c : cases)
    EXPECT_EQ(ConversionAudioKbps(MakeSettings(c.Choice)), c.Kbps)
        << (c.Choice.Format ? c.Choice.Format : "AVI");
}

// File loading and stream information of the decoder.
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "MediaTestSupport.h"
#include "media/TFFDecoder.h"
#include "media/TFileInfoText.h"

namespace {

struct TInfoCase {
  const char *File;
  const char *FormatName;
  int Streams, Video, Audio, Subtitles;
  int FirstVideo, FirstAudio, FirstSubtitle;
  int Width, Height;
  AVRational FrameRate;
  int64_t Duration; // microseconds, -1 unknown
};

void PrintTo(const TInfoCase &c, std::ostream *os) {
  *os << c.File;
}

class DecoderInfo : public ::testing::TestWithParam<TInfoCase> {};

TEST_P(DecoderInfo, CountersAndFirstVideoStreamMatchTheFile) {
  const TInfoCase &c = GetParam();
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture(c.File))) << dec.LastErrMsg();
  EXPECT_EQ(dec.FormatName(), c.FormatName);
  EXPECT_EQ(dec.StreamCount(), c.Streams);
  EXPECT_EQ(dec.VideoStreamCount(), c.Video);
  EXPECT_EQ(dec.AudioStreamCount(), c.Audio);
  EXPECT_EQ(dec.SubtitleStreamCount(), c.Subtitles);
  EXPECT_EQ(dec.FirstVideoStreamIndex(), c.FirstVideo);
  EXPECT_EQ(dec.FirstAudioStreamIndex(), c.FirstAudio);
  EXPECT_EQ(dec.FirstSubtitleStreamIndex(), c.FirstSubtitle);
  EXPECT_EQ(dec.FileSize(), int64_t(std::filesystem::file_size(Fixture(c.File))));
  EXPECT_EQ(dec.FileStreamInfo().Duration, c.Duration);

  TVideoStreamInfo v = dec.FirstVideoStreamInfo();
  EXPECT_EQ(v.Width, c.Width);
  EXPECT_EQ(v.Height, c.Height);
  EXPECT_EQ(v.FrameRate.num, c.FrameRate.num);
  EXPECT_EQ(v.FrameRate.den, c.FrameRate.den);
  if (c.Video == 0) {
    EXPECT_EQ(dec.LastErrMsg(), "no video stream.");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, DecoderInfo,
    ::testing::Values(
        TInfoCase{
            "av.mp4", "mov,mp4,m4a,3gp,3g2,mj2", 2, 1, 1, 0, 0, 1, -1, 320, 240, {25, 1}, 2000000},
        TInfoCase{"ntsc.mp4",
                  "mov,mp4,m4a,3gp,3g2,mj2",
                  1,
                  1,
                  0,
                  0,
                  0,
                  -1,
                  -1,
                  320,
                  240,
                  {30000, 1001},
                  2002000},
        TInfoCase{"audio.mp3", "mp3", 1, 0, 1, 0, -1, 0, -1, -1, -1, {0, 1}, 3056327},
        TInfoCase{
            "audio_first.mkv", "matroska,webm", 2, 1, 1, 0, 1, 0, -1, 320, 240, {25, 1}, 2003000},
        TInfoCase{"still.png", "png_pipe", 1, 1, 0, 0, 0, -1, -1, 320, 240, {25, 1}, -1},
        TInfoCase{"unknown_duration.h264", "h264", 1, 1, 0, 0, 0, -1, -1, 320, 240, {25, 1}, -1},
        TInfoCase{
            "tagged.mkv", "matroska,webm", 2, 1, 0, 1, 0, -1, 1, 320, 240, {25, 1}, 1000000}));

struct TFailCase {
  const char *File;
  const char *Format;
  const char *Message; // %s: the full path
};

void PrintTo(const TFailCase &c, std::ostream *os) {
  *os << c.File << " " << c.Format;
}

class DecoderLoadFailure : public ::testing::TestWithParam<TFailCase> {};

TEST_P(DecoderLoadFailure, ReturnsFalseWithTheReasonAndStaysClosed) {
  const TFailCase &c = GetParam();
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("av.mp4"))); // a failure must close the previous file
  std::string path = Fixture(c.File);
  EXPECT_FALSE(dec.LoadFile(path, c.Format));
  char expected[1024];
  std::snprintf(expected, sizeof expected, c.Message, path.c_str());
  EXPECT_EQ(dec.LastErrMsg(), expected);
  EXPECT_EQ(dec.FileHandle(), nullptr);
  EXPECT_EQ(dec.StreamCount(), -1);
  EXPECT_EQ(dec.FileSize(), -1);
  EXPECT_EQ(dec.FirstVideoStreamIndex(), -1);
  EXPECT_EQ(dec.ForceFormat(), "");
}

INSTANTIATE_TEST_SUITE_P(
    BadInputs, DecoderLoadFailure,
    ::testing::Values(
        TFailCase{"truncated.mp4", "", "%s: Invalid data found when processing input"},
        TFailCase{"not_media.mp4", "", "%s: Invalid data found when processing input"},
        TFailCase{"no_such_file.mp4", "", "%s: No such file or directory"},
        TFailCase{"av.mp4", "no_such_format", "Unknown input format: no_such_format"},
        TFailCase{"not_media.mp4", "mp3",
                  "%s: Invalid argument / Invalid data found when processing input"}));

TEST(DecoderInfoDefaults, GettersWithoutAFileReturnDefaultsAndSayWhy) {
  TFFDecoder dec;
  EXPECT_EQ(dec.StreamCount(), -1);
  EXPECT_EQ(dec.FileSize(), -1);
  TFileStreamInfo f = dec.FileStreamInfo();
  EXPECT_EQ(dec.LastErrMsg(), "file not loaded.");
  EXPECT_EQ(f.Duration, -1);
  EXPECT_EQ(f.StartTime, AV_NOPTS_VALUE);
  TVideoStreamInfo v = dec.FirstVideoStreamInfo();
  EXPECT_EQ(v.Width, -1);
  EXPECT_EQ(v.FrameRate.num, 0);
  EXPECT_EQ(v.FrameRate.den, 1);
  EXPECT_FLOAT_EQ(v.DisplayAspectRatio, -1.0f);
  EXPECT_EQ(dec.FileInfoText(), "");
  EXPECT_EQ(dec.FileName(), "");
  EXPECT_FALSE(dec.IsVideoStream(0));
  EXPECT_EQ(dec.LastErrMsg(), "file not loaded.");
}

struct TWrongStreamCase {
  int Index;
  const char *Kind;
  const char *Message;
};

void PrintTo(const TWrongStreamCase &c, std::ostream *os) {
  *os << c.Kind << " " << c.Index;
}

class DecoderWrongStream : public ::testing::TestWithParam<TWrongStreamCase> {};

TEST_P(DecoderWrongStream, LogsTheReasonAndReturnsDefaults) {
  const TWrongStreamCase &c = GetParam();
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("audio_first.mkv")));
  std::string kind = c.Kind;
  if (kind == "video") {
    TVideoStreamInfo v = dec.VideoStreamInfos(c.Index);
    EXPECT_EQ(v.Width, -1);
    EXPECT_EQ(v.CodecName, "");
  } else if (kind == "audio") {
    EXPECT_EQ(dec.AudioStreamInfos(c.Index).SampleRate, -1);
  } else {
    EXPECT_EQ(dec.SubtitleStreamInfos(c.Index).SubFormat, -1);
  }
  EXPECT_EQ(dec.LastErrMsg(), c.Message);
}

INSTANTIATE_TEST_SUITE_P(
    AudioFirstFile, DecoderWrongStream,
    ::testing::Values(TWrongStreamCase{0, "video", "stream #0 is not video stream."},
                      TWrongStreamCase{1, "audio", "stream #1 is not audio stream."},
                      TWrongStreamCase{2, "video", "stream index #2 is invalid."},
                      TWrongStreamCase{-1, "subtitle", "no subtitle stream."}));

TEST(DecoderStreamInfo, AudioFirstFileReportsBothStreamsByIndex) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("audio_first.mkv")));
  TAudioStreamInfo a = dec.AudioStreamInfos(0);
  EXPECT_EQ(a.SampleRate, 48000);
  EXPECT_EQ(a.Channels, 1);
  EXPECT_EQ(a.CodecName, "vorbis(Vorbis)");
  EXPECT_EQ(dec.VideoStreamInfos(1).Width, 320);
  EXPECT_TRUE(dec.IsVideoStream(1));
  EXPECT_FALSE(dec.IsVideoStream(0));
  EXPECT_FALSE(dec.IsVideoStream(7));
  EXPECT_EQ(dec.LastErrMsg(), "stream index #7 is invalid.");
}

TEST(DecoderStreamInfo, CodecNameCarriesTheLongNameOnlyWhenAsked) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("av.mp4")));
  EXPECT_EQ(dec.FirstVideoStreamInfo().CodecName,
            "h264(H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10)");
  EXPECT_EQ(dec.FirstAudioStreamInfo().CodecName, "aac(AAC (Advanced Audio Coding))");
  dec.GetLongCodecName = false;
  EXPECT_EQ(dec.FirstVideoStreamInfo().CodecName, "h264");
  EXPECT_EQ(dec.FirstAudioStreamInfo().CodecName, "aac");
}

TEST(DecoderStreamInfo, TimesAreScaledToMicrosecondsOrMinusOneWhenUnknown) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("ntsc.mp4")));
  TVideoStreamInfo v = dec.FirstVideoStreamInfo();
  EXPECT_EQ(v.StartTimeScaled, 0);
  EXPECT_EQ(v.DurationScaled, 2002000);
  EXPECT_EQ(v.Duration, 60060); // time base 1/30000

  ASSERT_TRUE(dec.LoadFile(Fixture("unknown_duration.h264")));
  TFileStreamInfo f = dec.FileStreamInfo();
  EXPECT_EQ(f.Duration, -1);
  EXPECT_EQ(f.StartTime, AV_NOPTS_VALUE);
  v = dec.FirstVideoStreamInfo();
  EXPECT_EQ(v.Duration, AV_NOPTS_VALUE);
  EXPECT_EQ(v.DurationScaled, -1);
}

TEST(DecoderStreamInfo, AspectRatiosFollowTheSampleAspectRatio) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("tagged.mkv")));
  TVideoStreamInfo v = dec.FirstVideoStreamInfo();
  EXPECT_EQ(v.SAR.num, 4);
  EXPECT_EQ(v.SAR.den, 3);
  EXPECT_EQ(v.DAR.num, 16);
  EXPECT_EQ(v.DAR.den, 9);
  EXPECT_NEAR(v.SampleAspectRatio, 1.3333f, 1e-4);
  EXPECT_NEAR(v.DisplayAspectRatio, 1.7778f, 1e-4);

  ASSERT_TRUE(dec.LoadFile(Fixture("av.mp4")));
  v = dec.FirstVideoStreamInfo();
  EXPECT_EQ(v.DAR.num, 4);
  EXPECT_EQ(v.DAR.den, 3);

  ASSERT_TRUE(dec.LoadFile(Fixture("no_sar.mkv")));
  v = dec.FirstVideoStreamInfo();
  EXPECT_EQ(v.SAR.num, 0);
  EXPECT_FLOAT_EQ(v.SampleAspectRatio, 0.0f);
  EXPECT_FLOAT_EQ(v.DisplayAspectRatio, -1.0f);
  EXPECT_EQ(v.DAR.num, 0);
  EXPECT_EQ(v.DAR.den, 1);
}

TEST(DecoderStreamInfo, TagsSubtitlesAndTheReportOfATaggedFile) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("tagged.mkv")));
  TFileStreamInfo f = dec.FileStreamInfo();
  EXPECT_EQ(f.Title, "Quillet test");
  EXPECT_EQ(f.Year, 2024); // stored as "YEAR": tags are matched without case
  EXPECT_EQ(f.Track, 3);
  EXPECT_EQ(f.Album, "");
  TSubtitleStreamInfo s = dec.FirstSubtitleStreamInfo();
  EXPECT_EQ(s.SubFormat, 1);
  EXPECT_EQ(s.Language, "eng");
  EXPECT_EQ(s.CodecName, "subrip(SubRip subtitle)");

  std::string text = dec.FileInfoText();
  for (const char *line :
       {"File Name: ", "Format Name: matroska,webm", "Format Long Name: Matroska / WebM",
        "\nMetadata:\n  title           : Quillet test",
        "\nDuration: 00:00:01.000, start: 0.000000",
        "\nChapter #0: start 0.000000, end 0.500000\n  Metadata:\n    title           : First",
        "\n  Stream #0: video: mpeg4", ", SAR 4:3 DAR 16:9", "25 fps, 25 tbr, 1k tbn",
        "\n  Stream #1(eng): subtitle: subrip"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n---\n" << text;
}

// The language of each audio stream in order, untagged ones empty; none without a file.
TEST(DecoderStreamInfo, AudioLanguagesInStreamOrder) {
  TFFDecoder dec;
  EXPECT_TRUE(dec.AudioLanguages().empty());
  ASSERT_TRUE(dec.LoadFile(Fixture("languages.mkv")));
  EXPECT_EQ(dec.AudioLanguages(), (std::vector<std::string>{"eng", "fre"}));
  ASSERT_TRUE(dec.LoadFile(Fixture("av_two_opus.ogg")));
  EXPECT_EQ(dec.AudioLanguages(), (std::vector<std::string>{"", ""}));
  ASSERT_TRUE(dec.LoadFile(Fixture("tagged.mkv")));
  EXPECT_TRUE(dec.AudioLanguages().empty());
}

TEST(DecoderStreamInfo, TheReportTakesTheCodecsAspectRatioWhenTheStreamHasNone) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("dvd.vob"))) << dec.LastErrMsg();
  std::string text = dec.FileInfoText();
  EXPECT_NE(text.find("720x480, SAR 32:27 DAR 16:9"), std::string::npos) << text;
}

struct TTagCase {
  std::string Value;
  std::string Shown;
};

void PrintTo(const TTagCase &c, std::ostream *os) {
  *os << c.Value.size() << " characters";
}

class ReportTagValue : public ::testing::TestWithParam<TTagCase> {};

TEST_P(ReportTagValue, IsCutAt255CharactersBetweenControlCharacters) {
  AVDictionary *d = nullptr;
  ff::av_dict_set(&d, "comment", GetParam().Value.c_str(), 0);
  EXPECT_EQ(MetadataText(d, "  "), "  Metadata:\n    comment         : " + GetParam().Shown);
  ff::av_dict_free(&d);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ReportTagValue,
    ::testing::Values(TTagCase{std::string(255, 'a'), std::string(255, 'a')},
                      TTagCase{std::string(300, 'a') + "b", std::string(255, 'a')},
                      TTagCase{std::string(256, 'a') + "\n" + std::string(256, 'b'),
                               std::string(255, 'a') + "\n    " + std::string(16, ' ') + ": " +
                                   std::string(255, 'b')},
                      TTagCase{"one\rtwo\bthree\vfour\ffive", "one twothreefourfive"}));

TEST(DecoderStreamInfo, TheReportShowsTheDurationToTheMillisecond) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("av.mp4")));
  std::string text = dec.FileInfoText();
  EXPECT_NE(text.find("\nDuration: 00:00:02.000, start: 0.000000, bitrate: 200 kb/s\n"),
            std::string::npos)
      << text;
}

TEST(DecoderStreamInfo, TheReportShowsTheLargestClaimedDurationAsItIs) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("av.mp4")));
  dec.FileHandle()->duration = INT64_MAX; // what a damaged header can claim
  std::string text = dec.FileInfoText();
  EXPECT_NE(text.find("\nDuration: 2562047788:00:54.775, "), std::string::npos) << text;
}

struct TTextCase {
  double Value;
  const char *Text;
};

class ReportSizeText : public ::testing::TestWithParam<TTextCase> {};

TEST_P(ReportSizeText, UsesTheLargestUnitTheSizeExceeds) {
  EXPECT_EQ(FileSizeText(int64_t(GetParam().Value)), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ReportSizeText,
                         ::testing::Values(TTextCase{0, "0 Byte"}, TTextCase{1024, "1024 Byte"},
                                           TTextCase{1025, "1.00 KB"},
                                           TTextCase{1048576, "1024.00 KB"},
                                           TTextCase{1048577, "1.00 MB"},
                                           TTextCase{5368709120.0, "5.00 GB"}));

class ReportRateText : public ::testing::TestWithParam<TTextCase> {};

TEST_P(ReportRateText, ShowsAsFewDigitsAsTheRateNeeds) {
  EXPECT_EQ(RateText(GetParam().Value, "fps"), GetParam().Text);
}

INSTANTIATE_TEST_SUITE_P(Rates, ReportRateText,
                         ::testing::Values(TTextCase{25, "25 fps"},
                                           TTextCase{30000.0 / 1001, "29.97 fps"},
                                           TTextCase{12800, "12800 fps"},
                                           TTextCase{90000, "90k fps"},
                                           TTextCase{0.001, "0.0010 fps"}));

TEST(DecoderLoad, SecondLoadReplacesTheFirstAndForceFormatIsKept) {
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Fixture("av.mp4")));
  ASSERT_TRUE(dec.LoadFile(Fixture("audio.mp3"), "mp3"));
  EXPECT_EQ(dec.StreamCount(), 1);
  EXPECT_EQ(dec.VideoStreamCount(), 0);
  EXPECT_EQ(dec.ForceFormat(), "mp3");
  EXPECT_EQ(dec.FileName(), Fixture("audio.mp3"));
  dec.CloseFile();
  EXPECT_EQ(dec.StreamCount(), -1);
  dec.CloseFile(); // harmless twice
}

// A copy of av.mp4 under a name with non-ASCII characters, several folders deep so that the
// whole path is longer than 2047 bytes of UTF-8.
class DecoderFileNames : public ::testing::Test {
protected:
  void SetUp() override {
    Root = std::filesystem::temp_directory_path() /
           ("quillet_decoder_names_" + std::to_string(::getpid()));
    std::filesystem::path dir = Root;
    for (int i = 0; i < 10; ++i)
      dir /= std::string(200, char('a' + i));
    std::filesystem::create_directories(dir);
    Path = (dir / "\u00fcn\u00efc\u00f8d\u00e9 \u6587\u4ef6.mp4").string();
    std::filesystem::copy_file(Fixture("av.mp4"), Path);
  }
  void TearDown() override { std::filesystem::remove_all(Root); }
  std::filesystem::path Root;
  std::string Path;
};

TEST_F(DecoderFileNames, LongUtf8PathsOpenWhole) {
  ASSERT_GT(Path.size(), 2047u);
  TFFDecoder dec;
  ASSERT_TRUE(dec.LoadFile(Path)) << dec.LastErrMsg();
  EXPECT_EQ(dec.FileName(), Path);
  EXPECT_EQ(dec.FileSize(), int64_t(std::filesystem::file_size(Path)));
  EXPECT_TRUE(dec.Decode());
}

TEST(DecoderLoad, BeforeFindStreamInfoSeesTheOpenContext) {
  TFFDecoder dec;
  AVFormatContext *seen = nullptr;
  unsigned streams = 0;
  dec.OnBeforeFindStreamInfo = [&](TCustomDecoder *Sender, AVFormatContext *ctx) {
    EXPECT_EQ(Sender, &dec);
    seen = ctx;
    streams = ctx->nb_streams;
  };
  ASSERT_TRUE(dec.LoadFile(Fixture("av.mp4")));
  EXPECT_EQ(seen, dec.FileHandle());
  EXPECT_EQ(streams, 2u);
}

TEST(DecoderLoad, ABorrowedHandleIsReadButNeverClosedOrDecoded) {
  TFFDecoder owner;
  ASSERT_TRUE(owner.LoadFile(Fixture("av.mp4")));
  {
    TFFDecoder borrower;
    borrower.SetFileHandle(owner.FileHandle());
    EXPECT_EQ(borrower.StreamCount(), 2);
    EXPECT_EQ(borrower.FirstVideoStreamInfo().Width, 320);
    EXPECT_THROW(borrower.Decode(), std::runtime_error);
    EXPECT_EQ(borrower.LastErrMsg(), "file cannot be seeked, handle is readonly.");
  }
  EXPECT_EQ(owner.FirstVideoStreamInfo().Width, 320); // still open
  EXPECT_TRUE(owner.Decode());
}

} // namespace

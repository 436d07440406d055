// OpenInputFile: option checks and their texts, seeking fields, durations and records.
#include <cstring>
#include <filesystem>
#include <fstream>

#include "FilesTestSupport.h"

namespace {

struct TInputCase {
  const char *name;
  const char *options;
  const char *file;
  int ret;             // expected result: >= 0 success (the index), else the code
  const char *error;   // text expected in FLastErrMsg ("" none)
  const char *logLine; // text expected in the log ("" none)
  int64_t startTime;   // expected TInputFile start_time (success only)
  int64_t recordingTime;
};

constexpr int64_t NoPts = AV_NOPTS_VALUE;

const TInputCase InputCases[] = {
    {"plain", "", "av.mp4", 0, "", "", NoPts, INT64_MAX},
    {"t_and_to", "-t 1 -to 1.5", "av.mp4", 0, "", "-t and -to cannot be used together; using -t.",
     NoPts, 1000000},
    {"to_minus_ss", "-ss 0.5 -to 1.5", "av.mp4", 0, "", "", 500000, 1000000},
    {"to_only", "-to 1.25", "av.mp4", 0, "", "", NoPts, 1250000},
    {"to_before_ss", "-ss 1.5 -to 1", "av.mp4", AVERROR(EINVAL),
     "-to value smaller than -ss; aborting.", "", 0, 0},
    {"to_equal_ss", "-ss 1 -to 1", "av.mp4", AVERROR(EINVAL),
     "-to value smaller than -ss; aborting.", "", 0, 0},
    {"sseof_positive", "-sseof 5", "av.mp4", AVERROR(EINVAL),
     "-sseof value must be negative; aborting", "", 0, 0},
    {"sseof_from_end", "-sseof -0.5", "audio.wav", 0, "", "", 500000, INT64_MAX},
    {"sseof_before_start", "-sseof -30", "audio.wav", 0, "",
     "-sseof value seeks to before start of file", NoPts, INT64_MAX},
    {"ss_wins_over_sseof", "-ss 0.25 -sseof -0.5", "audio.wav", 0, "",
     "Cannot use -ss and -sseof both, using -ss for", 250000, INT64_MAX},
    {"sseof_unknown_duration", "-sseof -1", "unknown_duration.h264", 0, "",
     "Cannot use -sseof, duration of", NoPts, INT64_MAX},
    {"unknown_format", "-f nosuchformat", "av.mp4", AVERROR(EINVAL),
     "Unknown input format: \"nosuchformat\"", "", 0, 0},
    // b is an output row: refused before the file is opened, as the tool does.
    {"output_row_on_input", "-b:v 1M", "av.mp4", AVERROR(EINVAL),
     "Option b:v (video bitrate (please use -b:v)) cannot be applied to input file", "", 0, 0},
    {"encoding_option_on_input", "-g 10", "av.mp4", AVERROR(EINVAL),
     "Codec AVOption g (set the group of picture (GOP) size) specified for input file #0 (", "", 0,
     0},
    {"unused_decoding_option", "-skip_frame:s nokey", "av.mp4", 0, "",
     "has not been used for any stream", NoPts, INT64_MAX},
    {"missing_file", "", "no_such_file.mp4", AVERROR(ENOENT), "no_such_file.mp4: ", "", 0, 0},
    {"not_media", "", "not_media.mp4", AVERROR_INVALIDDATA, "not_media.mp4: ", "", 0, 0},
};

void PrintTo(const TInputCase &c, std::ostream *os) {
  *os << c.name;
}

class InputFileCases : public FilesTest, public ::testing::WithParamInterface<TInputCase> {};

TEST_P(InputFileCases, OpensOrFailsWithItsText) {
  const TInputCase &c = GetParam();
  TLogCapture log;
  TCustomFFmpeg E;
  TOpenResult r = OpenIn(E, c.options, Fixture(c.file));
  EXPECT_FALSE(r.threw) << r.error;
  ASSERT_EQ(r.ret, c.ret) << r.error;
  if (*c.error) {
    EXPECT_NE(r.error.find(c.error), std::string::npos) << r.error;
  }
  if (*c.logLine) {
    EXPECT_TRUE(log.Contains(c.logLine));
  }
  if (c.ret < 0) {
    EXPECT_EQ(E.Fnb_input_files(), 0); // a failed open adds nothing
    EXPECT_EQ(E.Fnb_input_streams(), 0);
    return;
  }
  ASSERT_EQ(E.Fnb_input_files(), 1);
  const TInputFile &f = *E.Finput_files[0];
  EXPECT_EQ(f.start_time, c.startTime);
  EXPECT_EQ(f.recording_time, c.recordingTime);
  EXPECT_EQ(f.nb_streams, int(f.ctx->nb_streams));
  EXPECT_EQ(E.Fnb_input_streams(), f.nb_streams);
  EXPECT_EQ(E.Finput_stream_potentially_available, 1);
}

INSTANTIATE_TEST_SUITE_P(Options, InputFileCases, ::testing::ValuesIn(InputCases),
                         [](const auto &info) { return std::string(info.param.name); });

class InputFile : public FilesTest {};

TEST_F(InputFile, SecondInputGetsIndexOneAndTheLongerRemainingDuration) {
  TCustomFFmpeg E;
  ASSERT_EQ(OpenIn(E, "-ss 0.5", Fixture("av.mp4")).ret, 0);
  const int64_t first = E.FInputDuration;
  EXPECT_NEAR(double(first), double(E.Finput_files[0]->ctx->duration - 500000), 1.0);
  TOpenResult r = OpenIn(E, "", Fixture("audio.mp3"));
  ASSERT_EQ(r.ret, 1) << r.error;
  EXPECT_EQ(E.Finput_files[1]->ist_index, E.Finput_files[0]->nb_streams);
  EXPECT_EQ(E.Finput_streams.back()->file_index, 1);
  EXPECT_EQ(E.FInputDuration, std::max(first, E.Finput_files[1]->ctx->duration));
}

TEST_F(InputFile, FailedSecondInputLeavesTheFirstUntouched) {
  TCustomFFmpeg E;
  ASSERT_EQ(OpenIn(E, "", Fixture("av.mp4")).ret, 0);
  const int streams = E.Fnb_input_streams();
  EXPECT_EQ(OpenIn(E, "-b:v 1M", Fixture("av.avi")).ret, AVERROR(EINVAL));
  EXPECT_EQ(E.Fnb_input_files(), 1);
  EXPECT_EQ(E.Fnb_input_streams(), streams);
}

TEST_F(InputFile, ReadRateReplacesRealTimePacing) {
  TLogCapture log;
  TCustomFFmpeg E;
  ASSERT_EQ(OpenIn(E, "-re -readrate 2", Fixture("av.mp4")).ret, 0);
  EXPECT_TRUE(log.Contains("Both -readrate and -re set for Input #1. Using -readrate 2.000."));
  EXPECT_EQ(E.Finput_files[0]->rate_emu, 0);
  EXPECT_FLOAT_EQ(E.Finput_files[0]->readrate, 2.0f);
  EXPECT_EQ(E.Frate_emu, 0);
  ASSERT_EQ(OpenIn(E, "-re", Fixture("audio.wav")).ret, 1);
  EXPECT_EQ(E.Frate_emu, 1);
}

TEST_F(InputFile, NegativeReadRateIsFatal) {
  TCustomFFmpeg E;
  TOpenResult r = OpenIn(E, "-readrate -1", Fixture("av.mp4"));
  EXPECT_TRUE(r.threw);
  EXPECT_EQ(r.error, "Option -readrate for Input #1 is -1.000; it must be non-negative.");
  EXPECT_EQ(E.Fnb_input_files(), 0);
}

TEST_F(InputFile, ItsOffsetAndSeekMakeTheTimestampOffset) {
  TCustomFFmpeg E;
  ASSERT_EQ(OpenIn(E, "-itsoffset 2 -ss 0.5", Fixture("audio.wav")).ret, 0);
  const TInputFile &f = *E.Finput_files[0];
  EXPECT_EQ(f.input_ts_offset, 2000000);
  const int64_t start = f.ctx->start_time == AV_NOPTS_VALUE ? 0 : f.ctx->start_time;
  EXPECT_EQ(f.ts_offset, 2000000 - (500000 + start));
}

TEST_F(InputFile, ForcedDecoderByNameAndUnknownDecoder) {
  TCustomFFmpeg E;
  ASSERT_EQ(OpenIn(E, "-c:a mp3float", Fixture("audio.mp3")).ret, 0);
  EXPECT_STREQ(E.Finput_streams[0]->avdec->name, "mp3float");
  TOpenResult r = OpenIn(E, "-c:v nosuchdecoder", Fixture("av.mp4"));
  EXPECT_TRUE(r.threw);
  EXPECT_EQ(r.error, "Unknown decoder 'nosuchdecoder'");
  EXPECT_EQ(E.Fnb_input_files(), 1);
}

TEST_F(InputFile, DisabledMediaTypesAreDiscarded) {
  TCustomFFmpeg E;
  ASSERT_EQ(OpenIn(E, "-vn", Fixture("av.mp4")).ret, 0);
  for (const auto &ist : E.Finput_streams) {
    const bool video = ist->st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
    EXPECT_EQ(ist->user_set_discard, video ? AVDISCARD_ALL : AVDISCARD_NONE);
    EXPECT_TRUE(ist->dec_ctx);
    EXPECT_EQ(ist->discard, 1); // nothing uses it yet
  }
}

TEST_F(InputFile, FileNameOutsideAsciiOpens) {
  namespace fs = std::filesystem;
  const std::string name = ScratchDir() + "/clip \xc3\xa9t\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac.wav";
  fs::copy_file(Fixture("audio.wav"), name, fs::copy_options::overwrite_existing);
  TCustomFFmpeg E;
  TOpenResult r = OpenIn(E, "", name);
  EXPECT_EQ(r.ret, 0) << r.error;
}

TEST_F(InputFile, AttachmentDumpIsWrittenOnlyWhereAllowed) {
  namespace fs = std::filesystem;
  // Build an input with an attachment through our own output? Use the tool: it is the
  // reference and only makes the fixture here.
  const std::string mkv = ScratchDir() + "/with_attachment.mkv";
  const std::string cmd = "ffmpeg -nostdin -v error -y -i " + Fixture("audio.wav") + " -attach " +
                          FilesFixture("attach.txt") +
                          " -metadata:s:t mimetype=text/plain -c:a copy " + mkv;
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const std::string dump = ScratchDir() + "/dumped.txt";
  fs::remove(dump);
  TCustomFFmpeg E;
  TOpenResult r = OpenIn(E, "-dump_attachment:t " + dump, mkv);
  ASSERT_EQ(r.ret, 0) << r.error;
  ASSERT_TRUE(fs::exists(dump));
  EXPECT_EQ(fs::file_size(dump), fs::file_size(FilesFixture("attach.txt")));
  // Again without -y: the existing file is kept and the reason reported.
  TCustomFFmpeg E2;
  r = OpenIn(E2, "-dump_attachment:t " + dump, mkv);
  EXPECT_EQ(r.ret, 0);
  EXPECT_EQ(r.error, "File \"" + dump + "\" already exists. Ignored.");
  // -y and -n together are refused.
  TCustomFFmpeg E3;
  r = OpenIn(E3, "-y -n -dump_attachment:t " + dump, mkv);
  EXPECT_TRUE(r.threw);
  EXPECT_EQ(r.error, "Error, both -y and -n supplied.");
}

} // namespace

namespace {

struct TInputFatalCase {
  const char *name;
  const char *options;
  const char *file;
  const char *error;
};

void PrintTo(const TInputFatalCase &c, std::ostream *os) {
  *os << c.name;
}

// Per-stream input options whose bad values end the opening with an exception.
const TInputFatalCase InputFatalTable[] = {
    {"bad_discard", "-discard:v sometimes", "av.mp4", "Error parsing discard sometimes."},
    {"bad_rate", "-r:v fast", "av.mp4", "Error parsing framerate fast."},
    {"bad_hwaccel", "-hwaccel nosuchaccel", "av.mp4", "Unrecognized hwaccel: nosuchaccel."},
    {"bad_hwaccel_format", "-hwaccel_output_format nosuchfmt", "av.mp4",
     "Unrecognised hwaccel output format: nosuchfmt"},
    {"bad_canvas", "-canvas_size huge", "f:multi.mkv", "Invalid canvas size: huge."},
    {"wrong_decoder_type", "-c:v mp3float", "av.mp4", "Invalid decoder type 'mp3float'"},
    {"bad_specifier", "-itsscale:q 2", "av.mp4", "check_stream_specifier"},
};

class InputFatalCases : public FilesTest, public ::testing::WithParamInterface<TInputFatalCase> {};

TEST_P(InputFatalCases, ThrowsWithItsTextAndAddsNothing) {
  const TInputFatalCase &c = GetParam();
  TCustomFFmpeg E;
  const std::string file =
      std::strncmp(c.file, "f:", 2) == 0 ? FilesFixture(c.file + 2) : Fixture(c.file);
  TOpenResult r = OpenIn(E, c.options, file);
  EXPECT_TRUE(r.threw);
  EXPECT_NE(r.error.find(c.error), std::string::npos) << r.error;
  EXPECT_EQ(E.LastErrMsg(), r.error);
  EXPECT_EQ(E.Fnb_input_files(), 0);
  EXPECT_EQ(E.Fnb_input_streams(), 0);
}

INSTANTIATE_TEST_SUITE_P(Options, InputFatalCases, ::testing::ValuesIn(InputFatalTable),
                         [](const auto &info) { return std::string(info.param.name); });

class InputEvents : public FilesTest {};

TEST_F(InputEvents, BeforeFindStreamInfoSeesTheOpenedContext) {
  TCustomFFmpeg E;
  const AVInputFormat *seen = nullptr;
  E.FOnBeforeFindStreamInfo = [&](TObject *Sender, AVFormatContext *ctx) {
    EXPECT_EQ(Sender, &E);
    seen = ctx->iformat;
  };
  ASSERT_EQ(OpenIn(E, "", Fixture("av.mp4")).ret, 0);
  ASSERT_NE(seen, nullptr);
  EXPECT_EQ(seen, E.Finput_files[0]->ctx->iformat);
  // Probing switched off: the event is not called.
  seen = nullptr;
  ASSERT_EQ(OpenIn(E, "-nofind_stream_info", Fixture("audio.wav")).ret, 1);
  EXPECT_EQ(seen, nullptr);
}

TEST_F(InputEvents, FailedOutputGivesTheInputsBackUnused) {
  TCustomFFmpeg E;
  ASSERT_EQ(OpenIn(E, "", Fixture("av.mp4")).ret, 0);
  EXPECT_LT(OpenOut(E, "-metadata broken", ScratchDir() + "/undo.mkv").ret, 0);
  for (const auto &ist : E.Finput_streams) {
    EXPECT_EQ(ist->discard, 1);
    EXPECT_EQ(ist->st->discard, AVDISCARD_ALL);
    EXPECT_EQ(ist->decoding_needed, 0);
  }
}

} // namespace

namespace {

class InputUrls : public FilesTest {};

TEST_F(InputUrls, UnknownProtocolSuggestsAFileName) {
  TLogCapture log;
  TCustomFFmpeg E;
  TOpenResult r = OpenIn(E, "", "nosuchproto://clip.mp4");
  EXPECT_EQ(r.ret, AVERROR_PROTOCOL_NOT_FOUND);
  EXPECT_EQ(r.error.rfind("nosuchproto://clip.mp4: ", 0), 0u) << r.error;
  EXPECT_TRUE(log.Contains("Did you mean file:nosuchproto://clip.mp4?"));
}

} // namespace

namespace {

class Interrupts : public FilesTest {};

TEST_F(Interrupts, StopRequestAbortsOpeningAnInput) {
  TLogCapture log;
  TCustomFFmpeg E;
  E.FBroken = true;
  TOpenResult r = OpenIn(E, "", Fixture("av.mp4"));
  EXPECT_EQ(r.ret, AVERROR_EXIT);
  EXPECT_EQ(r.error.rfind(Fixture("av.mp4") + ": ", 0), 0u) << r.error;
  EXPECT_TRUE(log.Contains("reading/writing broken"));
  EXPECT_EQ(E.Fnb_input_files(), 0);
}

} // namespace

namespace {

class AttachmentDump : public FilesTest {};

TEST_F(AttachmentDump, TagNameIsUsedAndTheInputItselfIsNeverOverwritten) {
  namespace fs = std::filesystem;
  const std::string dir = ScratchDir() + "/dump";
  fs::create_directories(dir);
  const std::string mkv = dir + "/tagged.mkv";
  const std::string cmd = "ffmpeg -nostdin -v error -y -i " + Fixture("audio.wav") + " -attach " +
                          FilesFixture("attach.txt") +
                          " -metadata:s:t mimetype=text/plain -c:a copy " + mkv;
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const fs::path old = fs::current_path();
  fs::current_path(dir);
  fs::remove("attach.txt");
  TCustomFFmpeg E;
  TOpenResult r = OpenIn(E, "-dump_attachment:t \"\"", mkv); // name from the filename tag
  const bool written = fs::exists("attach.txt");
  fs::current_path(old);
  EXPECT_EQ(r.ret, 0) << r.error;
  EXPECT_TRUE(written);
  // Dumping onto the input file itself is refused even with -y.
  const auto size = fs::file_size(mkv);
  TCustomFFmpeg E2;
  r = OpenIn(E2, "-dump_attachment:t " + mkv, mkv);
  EXPECT_EQ(r.ret, 0);
  EXPECT_EQ(r.error, "File \"" + mkv + "\" already exists. Ignored.");
  EXPECT_EQ(fs::file_size(mkv), size);
  TCustomFFmpeg E3;
  r = OpenIn(E3, "-y -dump_attachment:t " + mkv, mkv);
  EXPECT_EQ(r.ret, 0);
  EXPECT_EQ(r.error, "Output " + mkv + " same as Input #0 - ignored.");
  EXPECT_EQ(fs::file_size(mkv), size);
}

} // namespace

namespace {

class ChannelLayouts : public FilesTest {};

TEST_F(ChannelLayouts, UnspecifiedLayoutIsGuessedUpToTheLimit) {
  const std::string raw = ScratchDir() + "/silence.raw";
  std::ofstream(raw, std::ios::binary) << std::string(16000, '\0');
  {
    TLogCapture log;
    TCustomFFmpeg E;
    ASSERT_EQ(OpenIn(E, "-f s16le -ar 8000 -ac 2", raw).ret, 0);
    const AVChannelLayout &cl = E.Finput_streams[0]->dec_ctx->ch_layout;
    EXPECT_EQ(cl.order, AV_CHANNEL_ORDER_NATIVE);
    EXPECT_EQ(cl.u.mask, uint64_t(AV_CH_LAYOUT_STEREO));
    EXPECT_EQ(E.Finput_streams[0]->st->codecpar->ch_layout.order, AV_CHANNEL_ORDER_NATIVE);
    EXPECT_TRUE(log.Contains("Guessed Channel Layout for Input Stream #0.0 : stereo"));
  }
  TCustomFFmpeg E;
  ASSERT_EQ(OpenIn(E, "-f s16le -ar 8000 -ac 2 -guess_layout_max 1", raw).ret, 0);
  EXPECT_EQ(E.Finput_streams[0]->dec_ctx->ch_layout.order, AV_CHANNEL_ORDER_UNSPEC);
  EXPECT_EQ(E.Finput_streams[0]->dec_ctx->ch_layout.nb_channels, 2);
}

} // namespace

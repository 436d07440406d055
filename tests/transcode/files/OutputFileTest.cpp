// OpenOutputFile: encoder choice and per-stream settings, sync method, two-pass log files,
// attachments, metadata, and failures that must leave nothing behind.
#include <filesystem>
#include <fstream>

#include "FilesTestSupport.h"

namespace fs = std::filesystem;

namespace {

class OutputFile : public FilesTest {
protected:
  void SetUp() override { ASSERT_EQ(OpenIn(E, "", Fixture("av.mp4")).ret, 0); }
  std::string Out(const std::string &name) {
    std::string p = ScratchDir() + "/" + name;
    fs::remove(p);
    return p;
  }
  TCustomFFmpeg E;
};

TEST_F(OutputFile, EncodersAndPerStreamSettingsOfABuilderString) {
  TOpenResult r = OpenOut(E,
                          "-b:a 128k -b:v 1500k -aspect 16:9 -ac 1 -ar 22050 -r 15 -c:a "
                          "libmp3lame -c:v mpeg4 -s 160x120 -pix_fmt yuv420p -sn ",
                          Out("builder.avi"));
  ASSERT_EQ(r.ret, 0) << r.error;
  ASSERT_EQ(E.Fnb_output_streams(), 2);
  const TOutputStream &v = *E.Foutput_streams[0];
  const TOutputStream &a = *E.Foutput_streams[1];
  EXPECT_STREQ(v.enc->name, "mpeg4");
  EXPECT_EQ(v.enc_ctx->width, 160);
  EXPECT_EQ(v.enc_ctx->height, 120);
  EXPECT_EQ(v.enc_ctx->pix_fmt, AV_PIX_FMT_YUV420P);
  EXPECT_EQ(av_cmp_q(v.frame_rate, AVRational{15, 1}), 0);
  EXPECT_EQ(av_cmp_q(v.frame_aspect_ratio, AVRational{16, 9}), 0);
  EXPECT_STREQ(ff::av_dict_get(v.encoder_opts.Get(), "b", nullptr, 0)->value, "1500k");
  EXPECT_EQ(v.avfilter, "null");
  EXPECT_EQ(v.vsync_method, 2); // avi: variable frame rate
  EXPECT_STREQ(a.enc->name, "libmp3lame");
  EXPECT_EQ(a.enc_ctx->sample_rate, 22050);
  EXPECT_EQ(a.enc_ctx->ch_layout.nb_channels, 1);
  EXPECT_STREQ(ff::av_dict_get(a.encoder_opts.Get(), "b", nullptr, 0)->value, "128k");
  EXPECT_EQ(a.avfilter, "anull");
  EXPECT_EQ(E.Finput_streams[0]->decoding_needed, 1);
}

TEST_F(OutputFile, CodecNamesFindTheirEncoder) {
  TLogCapture log;
  ASSERT_EQ(OpenOut(E, "-c:a mp3 -c:v h264", Out("by_codec.mkv")).ret, 0);
  EXPECT_STREQ(E.Foutput_streams[0]->enc->name, "libx264");
  EXPECT_STREQ(E.Foutput_streams[1]->enc->name, "libmp3lame");
  EXPECT_TRUE(log.Contains("Matched encoder \"libmp3lame\" for codec \"mp3\"."));
}

TEST_F(OutputFile, DefaultEncodersOfTheContainerAndStreamCopy) {
  ASSERT_EQ(OpenOut(E, "", Out("default.mkv")).ret, 0);
  EXPECT_EQ(E.Foutput_streams[0]->st->codecpar->codec_id,
            ff::av_guess_codec(E.Foutput_files[0]->format, nullptr, "x.mkv", nullptr,
                               AVMEDIA_TYPE_VIDEO));
  ASSERT_EQ(OpenOut(E, "-c copy", Out("copy.mkv")).ret, 1);
  for (int i = E.Foutput_files[1]->ost_index; i < E.Fnb_output_streams(); i++) {
    EXPECT_EQ(E.Foutput_streams[i]->stream_copy, 1);
    EXPECT_EQ(E.Foutput_streams[i]->encoding_needed, 0);
  }
}

struct TOutFailCase {
  const char *name;
  const char *options;
  const char *ext;
  const char *error;
};

// Each fails; none may leave an output file or output records behind.
const TOutFailCase FailCases[] = {
    {"unknown_encoder", "-c:v nosuchencoder", "mkv", "Unknown encoder 'nosuchencoder'"},
    {"wrong_encoder_type", "-c:a mpeg4", "mkv", "Invalid encoder type 'mpeg4'"},
    {"bad_rate", "-r abc", "mkv", "Invalid framerate value: abc"},
    {"rate_and_fpsmax", "-r 25 -fpsmax 30", "mkv",
     "Only one of -fpsmax and -r can be set for a stream."},
    {"bad_aspect", "-aspect 0:1", "mkv", "Invalid aspect ratio: 0:1"},
    {"bad_size", "-s 10xfoo", "mkv", "Invalid frame size: 10xfoo."},
    {"bad_pix_fmt", "-pix_fmt nosuchfmt", "mkv", "Unknown pixel format requested: nosuchfmt."},
    {"bad_matrix", "-intra_matrix 1,2,3", "mkv", "Syntax error in matrix \"1,2,3\" at coeff 2"},
    {"bad_rc_override", "-rc_override x", "mkv", "error parsing rc_override"},
    {"bad_fps_mode", "-fps_mode sometimes", "mkv",
     "Invalid value sometimes specified for fps_mode of #0:0."},
    {"bad_sample_fmt", "-sample_fmt nosuch", "mkv", "Invalid sample format 'nosuch'"},
    {"bad_layout", "-ch_layout nosuch", "mkv", "Unknown channel layout: nosuch"},
    {"filter_and_copy", "-c:v copy -vf hflip", "mkv",
     "Filtergraph \"hflip\" was defined for video output stream 0:0 but codec copy was "
     "selected.\r\nFiltering and streamcopy cannot be used together."},
    {"bad_bsf", "-bsf:v nosuchbsf", "mkv", "Error parsing bitstream filter sequence \"nosuchbsf\""},
    {"bad_time_base", "-time_base:v 0", "mkv", "Invalid time base: 0"},
    {"no_streams", "-vn -an", "mkv", "Output file #0 does not contain any stream"},
    {"not_an_encoding_option", "-skip_frame nokey", "mkv",
     "Codec AVOption skip_frame (skip decoding for the selected frames) specified for output file "
     "#0 ("},
    {"to_before_ss", "-ss 2 -to 1", "mkv", "-to value smaller than -ss; aborting."},
    {"unknown_muxer", "-f nosuchmuxer", "mkv", "Invalid argument"},
    {"attachment_missing", "-attach /nonexistent/file.bin", "mkv",
     "Could not open attachment file /nonexistent/file.bin."},
    // These fail after the output file was created.
    {"metadata_without_equals", "-metadata title", "mkv",
     "No \"=\" character in metadata string title."},
    {"bad_metadata_type", "-map_metadata:x 0", "mkv", "Invalid metadata type x."},
    {"bad_metadata_file", "-map_metadata 5", "mkv",
     "Invalid input file index 5 while processing metadata maps"},
    {"bad_chapter_file", "-map_chapters 3", "mkv",
     "Invalid input file index 3 in chapter mapping."},
    {"program_without_equals", "-program title", "mkv",
     "No \"=\" character in program string title."},
    {"program_unknown_key", "-program foo=1", "mkv", "Unknown program key foo."},
    {"bad_disposition", "-disposition:v nosuch", "mkv", "Error setting output stream dispositions"},
};

void PrintTo(const TOutFailCase &c, std::ostream *os) {
  *os << c.name;
}

class OutputFailCases : public OutputFile, public ::testing::WithParamInterface<TOutFailCase> {};

TEST_P(OutputFailCases, FailsAndLeavesNothingBehind) {
  const TOutFailCase &c = GetParam();
  const std::string out = Out(std::string("fail_") + c.name + "." + c.ext);
  TOpenResult r = OpenOut(E, c.options, out);
  EXPECT_LT(r.ret, 0);
  EXPECT_NE(r.error.find(c.error), std::string::npos) << r.error;
  EXPECT_EQ(E.Fnb_output_files(), 0);
  EXPECT_EQ(E.Fnb_output_streams(), 0);
  EXPECT_FALSE(fs::exists(out));
}

INSTANTIATE_TEST_SUITE_P(Options, OutputFailCases, ::testing::ValuesIn(FailCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(OutputFile, AnExistingFileIsReplacedOnlyOnceTheOutputIsWritten) {
  const std::string out = Out("existing.mkv");
  std::ofstream(out) << "old contents";
  ASSERT_EQ(OpenOut(E, "", out).ret, 0);
  // Not truncated: the muxer writes a new file beside it, which replaces it once written.
  EXPECT_EQ(fs::file_size(out), 12u);
  const TOutputFile &opened = *E.Foutput_files[0];
  EXPECT_EQ(opened.replaced_path, fs::canonical(out).string());
  EXPECT_EQ(fs::path(opened.temp_path).parent_path(), fs::canonical(out).parent_path());
  EXPECT_EQ(fs::file_size(opened.temp_path), 0u);
  // A failure of a later step (metadata) comes before the file is opened: it stays as it was.
  const std::string out2 = Out("existing2.mkv");
  std::ofstream(out2) << "old contents";
  EXPECT_LT(OpenOut(E, "-metadata title", out2).ret, 0);
  EXPECT_EQ(fs::file_size(out2), 12u);
  EXPECT_EQ(E.Fnb_output_files(), 1); // the first output is untouched
}

TEST_F(OutputFile, FailureBeforeOpeningKeepsAnExistingFile) {
  const std::string out = Out("keep.mkv");
  std::ofstream(out) << "old contents";
  EXPECT_LT(OpenOut(E, "-r abc", out).ret, 0);
  ASSERT_TRUE(fs::exists(out));
  EXPECT_EQ(fs::file_size(out), 12u);
}

TEST_F(OutputFile, TAndToOnOutput) {
  TLogCapture log;
  ASSERT_EQ(OpenOut(E, "-t 1 -to 1.5", Out("t.mkv")).ret, 0);
  EXPECT_TRUE(log.Contains("-t and -to cannot be used together; using -t."));
  EXPECT_EQ(E.Foutput_files[0]->recording_time, 1000000);
  EXPECT_EQ(E.Foutput_files[0]->ctx->duration, 1000000);
  EXPECT_EQ(E.FOutputDuration, 1000000);
  ASSERT_EQ(OpenOut(E, "-ss 0.5 -to 1.75", Out("to.mkv")).ret, 1);
  EXPECT_EQ(E.Foutput_files[1]->recording_time, 1250000);
  EXPECT_EQ(E.Foutput_files[1]->start_time, 500000);
  EXPECT_EQ(E.FOutputDuration, 1250000);
}

struct TSyncCase {
  const char *name;
  const char *input;
  const char *options;
  const char *ext;
  int method;
};

const TSyncCase SyncCases[] = {
    {"avi_vfr", "av.mp4", "", "avi", 2},
    {"mkv_vfr", "av.mp4", "", "mkv", 2},
    {"mp4_cfr", "av.mp4", "", "mp4", 1},
    {"mp4_single_stream_vscfr", "ntsc.mp4", "", "mp4", 3},
    {"copyts_vscfr", "av.mp4", "-copyts", "mp4", 3},
    {"fps_mode_cfr", "av.mp4", "-fps_mode cfr", "mkv", 1},
    {"fps_mode_passthrough", "av.mp4", "-fps_mode passthrough", "mp4", 0},
    {"fps_mode_drop", "av.mp4", "-fps_mode:v drop", "mp4", 4},
    {"vsync_global", "av.mp4", "-vsync vfr", "mp4", 2},
    {"nut_passthrough_never", "av.mp4", "", "nut", 2},
};

void PrintTo(const TSyncCase &c, std::ostream *os) {
  *os << c.name;
}

class SyncMethodCases : public FilesTest, public ::testing::WithParamInterface<TSyncCase> {};

TEST_P(SyncMethodCases, ResolvesTheVideoSyncMethod) {
  const TSyncCase &c = GetParam();
  TCustomFFmpeg E;
  ASSERT_EQ(OpenIn(E, "", Fixture(c.input)).ret, 0);
  TOpenResult r = OpenOut(E, c.options, ScratchDir() + "/sync_" + c.name + "." + c.ext);
  ASSERT_EQ(r.ret, 0) << r.error;
  EXPECT_EQ(E.Foutput_streams[0]->vsync_method, c.method);
  EXPECT_EQ(E.Foutput_streams[0]->is_cfr, c.method == 1 || c.method == 3);
}

INSTANTIATE_TEST_SUITE_P(Video, SyncMethodCases, ::testing::ValuesIn(SyncCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(OutputFile, PassOneCreatesTheLogFileOfTheStreamIndex) {
  const std::string prefix = ScratchDir() + "/twopass";
  fs::remove(prefix + "-0.log");
  ASSERT_EQ(OpenOut(E, "-c:v mpeg4 -pass 1 -passlogfile " + prefix + " -an", Out("p1.avi")).ret, 0);
  const TOutputStream &v = *E.Foutput_streams[0];
  EXPECT_TRUE(v.enc_ctx->flags & AV_CODEC_FLAG_PASS1);
  EXPECT_STREQ(ff::av_dict_get(v.encoder_opts.Get(), "flags", nullptr, 0)->value, "+pass1");
  EXPECT_TRUE(fs::exists(prefix + "-0.log"));
  // Pass 2 of a second output reads the log of its own stream index, which is missing.
  TOpenResult r = OpenOut(E, "-c:v mpeg4 -pass 2 -passlogfile " + prefix + " -an", Out("p2.avi"));
  EXPECT_TRUE(r.threw);
  EXPECT_EQ(r.error, "Error reading log file \"" + prefix + "-1.log\" for pass-2 encoding");
}

TEST_F(OutputFile, PassOneWithoutPrefixUsesTheDefaultName) {
  const fs::path old = fs::current_path();
  fs::current_path(ScratchDir());
  fs::remove("ffencoder2pass-0.log");
  TOpenResult r = OpenOut(E, "-c:v mpeg4 -pass 1 -an", Out("p_default.avi"));
  const bool made = fs::exists("ffencoder2pass-0.log");
  fs::current_path(old);
  ASSERT_EQ(r.ret, 0) << r.error;
  E.Foutput_streams.clear(); // closes the log file
  EXPECT_TRUE(made);
}

TEST_F(OutputFile, X264TakesTheLogNameAsItsStatsOption) {
  ASSERT_EQ(OpenOut(E, "-c:v libx264 -pass 2 -an", Out("x264.mp4")).ret, 0);
  EXPECT_STREQ(
      ff::av_dict_get(E.Foutput_streams[0]->encoder_opts.Get(), "stats", nullptr, 0)->value,
      "ffencoder2pass-0.log");
}

TEST_F(OutputFile, AttachmentBecomesAStreamWithItsFileName) {
  TOpenResult r =
      OpenOut(E, "-attach " + FilesFixture("attach.txt") + " -metadata:s:t mimetype=text/plain",
              Out("attach.mkv"));
  ASSERT_EQ(r.ret, 0) << r.error;
  ASSERT_EQ(E.Fnb_output_streams(), 3);
  const TOutputStream &t = *E.Foutput_streams[2];
  EXPECT_EQ(t.st->codecpar->codec_type, AVMEDIA_TYPE_ATTACHMENT);
  EXPECT_EQ(t.st->codecpar->extradata_size, int(fs::file_size(FilesFixture("attach.txt"))));
  EXPECT_STREQ(ff::av_dict_get(t.st->metadata, "filename", nullptr, 0)->value, "attach.txt");
  EXPECT_EQ(t.source_index, -1);
}

TEST_F(OutputFile, MetadataProgramsAndDispositions) {
  TOpenResult r = OpenOut(E,
                          "-metadata title=Hello -metadata:s:a language=fra "
                          "-metadata:s:v rotate=90 -program title=P:program_num=7:st=0:st=1 "
                          "-disposition:a default+comment",
                          Out("meta.mkv"));
  ASSERT_EQ(r.ret, 0) << r.error;
  AVFormatContext *oc = E.Foutput_files[0]->ctx.get();
  EXPECT_STREQ(ff::av_dict_get(oc->metadata, "title", nullptr, 0)->value, "Hello");
  EXPECT_STREQ(ff::av_dict_get(oc->streams[1]->metadata, "language", nullptr, 0)->value, "fra");
  EXPECT_EQ(ff::av_dict_get(oc->streams[0]->metadata, "rotate", nullptr, 0), nullptr);
  EXPECT_EQ(E.Foutput_streams[0]->rotate_overridden, 1);
  EXPECT_DOUBLE_EQ(E.Foutput_streams[0]->rotate_override_value, 90.0);
  ASSERT_EQ(oc->nb_programs, 1u);
  EXPECT_EQ(oc->programs[0]->id, 7);
  EXPECT_EQ(oc->programs[0]->nb_stream_indexes, 2u);
  EXPECT_EQ(oc->streams[1]->disposition, AV_DISPOSITION_DEFAULT | AV_DISPOSITION_COMMENT);
  // Encoded streams lose the source's encoder tag; the automatic global copy drops
  // creation_time.
  EXPECT_EQ(ff::av_dict_get(oc->streams[0]->metadata, "encoder", nullptr, 0), nullptr);
  EXPECT_EQ(ff::av_dict_get(oc->metadata, "creation_time", nullptr, 0), nullptr);
}

TEST_F(OutputFile, StreamIdsGoToTheContainerStreams) {
  ASSERT_EQ(OpenOut(E, "-streamid 0:33 -streamid 1:44", Out("ids.ts")).ret, 0);
  EXPECT_EQ(E.Foutput_files[0]->ctx->streams[0]->id, 33);
  EXPECT_EQ(E.Foutput_files[0]->ctx->streams[1]->id, 44);
}

TEST_F(OutputFile, MuxDelayAndPreload) {
  ASSERT_EQ(OpenOut(E, "-muxdelay 0.25 -muxpreload 0.5", Out("mux.mkv")).ret, 0);
  EXPECT_EQ(E.Foutput_files[0]->ctx->max_delay, 250000);
  EXPECT_STREQ(ff::av_dict_get(E.Foutput_files[0]->opts.Get(), "preload", nullptr, 0)->value,
               "500000");
}

TEST_F(OutputFile, UnspecificFramesWarnsForAudio) {
  TLogCapture log;
  ASSERT_EQ(OpenOut(E, "-frames 5", Out("frames.mkv")).ret, 0);
  EXPECT_EQ(E.Foutput_streams[0]->max_frames, 5);
  EXPECT_TRUE(log.Contains("Applying unspecific -frames to non video streams, maybe you meant "
                           "-vframes ?"));
}

} // namespace

namespace {

class OutputWarnings : public OutputFile {};

TEST_F(OutputWarnings, PrivateOptionOfAnUnusedEncoderIsReported) {
  TLogCapture log;
  ASSERT_EQ(OpenOut(E, "-c:v mpeg4 -crf 20", Out("unused.mkv")).ret, 0);
  EXPECT_TRUE(log.Contains("Codec AVOption crf (") &&
              log.Contains("has not been used for any stream"));
}

TEST_F(OutputWarnings, PassthroughWithAFrameRate) {
  TLogCapture log;
  ASSERT_EQ(OpenOut(E, "-vsync passthrough -r 25", Out("passthrough.mkv")).ret, 0);
  EXPECT_TRUE(log.Contains("Using -vsync passthrough and -r/-fpsmax can produce invalid output "
                           "files"));
  EXPECT_EQ(E.Foutput_streams[0]->vsync_method, 0);
}

class InputLeftovers : public FilesTest {};

TEST_F(InputLeftovers, FormatOptionTheDemuxerDidNotTake) {
  TCustomFFmpeg E;
  TOpenResult r = OpenIn(E, "-movflags faststart", Fixture("av.mp4"));
  EXPECT_TRUE(r.threw);
  EXPECT_EQ(r.error, "Option movflags not found.");
  EXPECT_EQ(E.Fnb_input_files(), 0);

  TCustomFFmpeg lenient;
  lenient.HaltOnInvalidOption = false;
  r = OpenIn(lenient, "-movflags faststart", Fixture("av.mp4"));
  EXPECT_EQ(r.ret, 0);
  EXPECT_EQ(r.error, "Option movflags not found.");
  EXPECT_EQ(lenient.Fnb_input_files(), 1);
}

} // namespace

namespace {

TEST_F(OutputFile, FileNameOutsideAsciiIsCreated) {
  const std::string out = Out("sortie \xc3\xa9t\xc3\xa9 \xe6\x97\xa5\xe6\x9c\xac.mkv");
  TOpenResult r = OpenOut(E, "", out);
  ASSERT_EQ(r.ret, 0) << r.error;
  EXPECT_TRUE(fs::exists(fs::u8path(out)));
}

TEST_F(OutputFile, UnwritableFolderFailsWithTheFileName) {
  const std::string out = "/nonexistent-folder/out.mkv";
  TOpenResult r = OpenOut(E, "", out);
  EXPECT_EQ(r.ret, AVERROR(ENOENT));
  EXPECT_EQ(r.error.rfind(out + ": ", 0), 0u) << r.error;
  EXPECT_EQ(E.Fnb_output_files(), 0);
}

} // namespace

namespace {

TEST_F(OutputFile, TheInputIsNeverOpenedForWriting) {
  const std::string copy = Out("input_copy.mp4");
  fs::copy_file(Fixture("av.mp4"), copy);
  const auto size = fs::file_size(copy);
  TCustomFFmpeg E2;
  ASSERT_EQ(OpenIn(E2, "", copy).ret, 0);
  for (const std::string &name : {copy, "file:" + copy, ScratchDir() + "/./input_copy.mp4"}) {
    TOpenResult r = OpenOut(E2, "", name);
    EXPECT_EQ(r.ret, AVERROR(EINVAL)) << name;
    EXPECT_EQ(r.error, "Output " + name + " same as Input #0 - exiting");
    EXPECT_EQ(fs::file_size(copy), size);
  }
  EXPECT_EQ(E2.Fnb_output_files(), 0);
}

} // namespace

namespace {

struct TTargetCase {
  const char *name;
  const char *options;
  int width, height;
  const char *videoBitrate;
  const char *filter;
};

void PrintTo(const TTargetCase &c, std::ostream *os) {
  *os << c.name;
}

// Where the target preset stands decides which size wins; the text's own codec options are
// never replaced by the preset's; of two -vf only the last counts.
const TTargetCase TargetCases[] = {
    {"size_before_target", "-s 640x480 -target pal-dvd", 720, 576, "6000000", "null"},
    {"size_after_target", "-target pal-dvd -s 640x480", 640, 480, "6000000", "null"},
    {"bitrate_before_target", "-b:v 3000k -target ntsc-dvd", 720, 480, "3000k", "null"},
    {"bitrate_after_target", "-target ntsc-dvd -b:v 3000k", 720, 480, "3000k", "null"},
    {"two_vf", "-vf transpose=1 -vf scale=160:120", 0, 0, nullptr, "scale=160:120"},
};

class TargetAndFilterCases : public OutputFile,
                             public ::testing::WithParamInterface<TTargetCase> {};

TEST_P(TargetAndFilterCases, SizeBitrateAndFilterOfTheVideoStream) {
  const TTargetCase &c = GetParam();
  TOpenResult r = OpenOut(E, c.options, Out(std::string("target_") + c.name + ".mpg"));
  ASSERT_EQ(r.ret, 0) << r.error;
  const TOutputStream &v = *E.Foutput_streams[0];
  EXPECT_EQ(v.enc_ctx->width, c.width);
  EXPECT_EQ(v.enc_ctx->height, c.height);
  if (c.videoBitrate) {
    const AVDictionaryEntry *b = ff::av_dict_get(v.encoder_opts.Get(), "b", nullptr, 0);
    ASSERT_NE(b, nullptr);
    EXPECT_STREQ(b->value, c.videoBitrate);
  }
  EXPECT_EQ(v.avfilter, c.filter);
}

INSTANTIATE_TEST_SUITE_P(Options, TargetAndFilterCases, ::testing::ValuesIn(TargetCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace

namespace {

class OutputWithoutInputs : public FilesTest {};

TEST_F(OutputWithoutInputs, NeedsAnInputStream) {
  TCustomFFmpeg E;
  const std::string out = ScratchDir() + "/no_inputs.mkv";
  TOpenResult r = OpenOut(E, "", out);
  EXPECT_EQ(r.ret, AVERROR(EINVAL));
  EXPECT_EQ(r.error, "Output file #0 does not contain any stream");
  r = OpenOut(E, "-attach " + FilesFixture("attach.txt") + " -metadata:s:t mimetype=text/plain",
              out);
  EXPECT_EQ(r.ret, AVERROR(EINVAL));
  EXPECT_EQ(r.error, "No input streams but output needs an input stream");
  EXPECT_FALSE(std::filesystem::exists(out));
}

} // namespace

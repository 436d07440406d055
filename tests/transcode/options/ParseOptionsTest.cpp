#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "components/TFFLoader.h"
#include "components/TFFLogger.h"
#include "transcode/TCustomFFmpegOpt.h"

namespace {

// One engine and one file record per test.
class ParseFixture {
public:
  ParseFixture() { Engine.InitOptionsContext(O); }
  ~ParseFixture() { Engine.UninitOptionsContext(O); }

  int Parse(const std::string &text, uint32_t flag = ofOutput, const std::string &presets = {}) {
    return Engine.ParseOptions(O, text, flag, "file.mkv",
                               flag == ofInput ? "input file" : "output file", presets);
  }
  const char *CodecOpt(const char *key) const { return Entry(O.g->codec_opts, key); }
  const char *FormatOpt(const char *key) const { return Entry(O.g->format_opts, key); }
  static const char *Entry(const AVDictionary *d, const char *key) {
    const AVDictionaryEntry *e = ff::av_dict_get(d, key, nullptr, 0);
    return e ? e->value : nullptr;
  }

  TCustomFFmpegOpt Engine;
  TOptionsContext O;
};

class LibrariesLoaded : public testing::Environment {
public:
  void SetUp() override {
    ASSERT_TRUE(FFLoader().Load(EncoderLibraries));
    setenv("TZ", "UTC", 1);
    tzset();
  }
};
const auto *const GEnv = testing::AddGlobalTestEnvironment(new LibrariesLoaded);

using TCheck = std::function<void(ParseFixture &)>;
struct TValueCase {
  const char *name;
  const char *text;
  uint32_t flag;
  TCheck check;
};

class ParseValues : public testing::TestWithParam<TValueCase>, public ParseFixture {};

TEST_P(ParseValues, SetsRecordAndEngineFields) {
  ASSERT_EQ(Parse(GetParam().text, GetParam().flag), 0) << Engine.LastErrMsg();
  GetParam().check(*this);
}

std::string Spec(const TSpecifierOpts &a, size_t i) {
  return i < a.size() ? a[i].specifier : "?";
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseValues,
    testing::Values(
        TValueCase{"BitrateWithSpecifierMatchesRowB", "-b:v 1500k", ofOutput,
                   [](ParseFixture &f) {
                     EXPECT_STREQ(f.CodecOpt("b:v"), "1500k");
                     auto &opts = f.O.g->opts;
                     ASSERT_EQ(opts.size(), 1u);
                     EXPECT_EQ(opts[0].opt->name, "b");
                     EXPECT_EQ(opts[0].key, "b:v");
                   }},
        TValueCase{"AmbiguousBitratesGoToTheirStreamType", "-b 900k -ab 96k", ofOutput,
                   [](ParseFixture &f) {
                     EXPECT_STREQ(f.CodecOpt("b:v"), "900k");
                     EXPECT_STREQ(f.CodecOpt("b:a"), "96k");
                   }},
        TValueCase{"ThreadsAndAstrictPassThroughToCodec", "-threads 8 -astrict experimental",
                   ofOutput,
                   [](ParseFixture &f) {
                     EXPECT_STREQ(f.CodecOpt("threads"), "8");
                     EXPECT_STREQ(f.CodecOpt("astrict"), "experimental");
                     EXPECT_TRUE(f.O.g->opts.empty());
                   }},
        TValueCase{
            "FlagOptionsAccumulate", "-flags +global_header -flags +cgop", ofOutput,
            [](ParseFixture &f) { EXPECT_STREQ(f.CodecOpt("flags"), "+global_header+cgop"); }},
        TValueCase{"FormatOptionPassesThrough", "-movflags +faststart -fflags +genpts", ofOutput,
                   [](ParseFixture &f) {
                     EXPECT_STREQ(f.FormatOpt("movflags"), "+faststart");
                     EXPECT_STREQ(f.FormatOpt("fflags"), "+genpts");
                   }},
        TValueCase{"ScalerAndResamplerOptionsPassThrough", "-sws_flags lanczos -resampler soxr",
                   ofOutput,
                   [](ParseFixture &f) {
                     EXPECT_STREQ(f.Entry(f.O.g->sws_dict, "sws_flags"), "lanczos");
                     EXPECT_STREQ(f.Entry(f.O.g->sws_dict, "flags"), "bicubic");
                     EXPECT_STREQ(f.Entry(f.O.g->swr_opts, "resampler"), "soxr");
                   }},
        TValueCase{"RepeatedCodecKeepsBothElements", "-c:v libx264 -c:v copy -acodec aac", ofOutput,
                   [](ParseFixture &f) {
                     ASSERT_EQ(f.O.codec_names.size(), 3u);
                     EXPECT_EQ(f.O.codec_names[0].specifier, "v");
                     EXPECT_EQ(f.O.codec_names[0].u.str, "libx264");
                     EXPECT_EQ(f.O.codec_names[1].specifier, "v");
                     EXPECT_EQ(f.O.codec_names[1].u.str, "copy");
                     EXPECT_EQ(f.O.codec_names[2].specifier, "a");
                   }},
        TValueCase{"RepeatedBooleanStaysSet", "-an -an -vn -nodn", ofOutput,
                   [](ParseFixture &f) {
                     EXPECT_EQ(f.O.audio_disable, 1);
                     EXPECT_EQ(f.O.video_disable, 1);
                     EXPECT_EQ(f.O.data_disable, 0);
                     EXPECT_EQ(f.O.g->opts.size(), 4u);
                   }},
        TValueCase{"DurationsAreMicroseconds", "-t 10 -to 20 -ss 1:30.5", ofOutput,
                   [](ParseFixture &f) {
                     EXPECT_EQ(f.O.recording_time, 10000000);
                     EXPECT_EQ(f.O.stop_time, 20000000);
                     EXPECT_EQ(f.O.start_time, 90500000);
                   }},
        TValueCase{"StartAfterStopIsStoredForTheOpeningStep", "-ss 30 -to 20", ofInput,
                   [](ParseFixture &f) {
                     EXPECT_EQ(f.O.start_time, 30000000);
                     EXPECT_EQ(f.O.stop_time, 20000000);
                   }},
        TValueCase{"MicrosecondRowsShareTheTimeFields",
                   "-ss_microsecond 1500 -t_microsecond 77 -itsoffset_microsecond -5", ofInput,
                   [](ParseFixture &f) {
                     EXPECT_EQ(f.O.start_time, 1500);
                     EXPECT_EQ(f.O.recording_time, 77);
                     EXPECT_EQ(f.O.input_ts_offset, -5);
                   }},
        TValueCase{"TimeStartAndTimeLengthAreSeconds", "-TimeStart 12.5 -timelength 3", ofInput,
                   [](ParseFixture &f) {
                     EXPECT_EQ(f.O.start_time, 12500000);
                     EXPECT_EQ(f.O.recording_time, 3000000);
                   }},
        TValueCase{"InputValuesOfEveryType",
                   "-re -readrate 1.5 -itsscale:v 2.5 -stream_loop 3 -isync 0 -sseof -5 "
                   "-noaccurate_seek -hwaccel vaapi -discard:a nokey",
                   ofInput,
                   [](ParseFixture &f) {
                     EXPECT_EQ(f.O.rate_emu, 1);
                     EXPECT_FLOAT_EQ(f.O.readrate, 1.5f);
                     ASSERT_EQ(f.O.ts_scale.size(), 1u);
                     EXPECT_DOUBLE_EQ(f.O.ts_scale[0].u.dbl, 2.5);
                     EXPECT_EQ(f.O.loop, 3);
                     EXPECT_EQ(f.O.input_sync_ref, 0);
                     EXPECT_EQ(f.O.start_time_eof, -5000000);
                     EXPECT_EQ(f.O.accurate_seek, 0);
                     EXPECT_EQ(f.O.hwaccels.at(0).u.str, "vaapi");
                     EXPECT_EQ(Spec(f.O.discard, 0), "a");
                   }},
        TValueCase{"OutputValuesOfEveryType",
                   "-fs 1000000 -frames:v 10 -ar 44100 -ac 2 -muxdelay 0.5 -pass 1 "
                   "-shortest -map_chapters -1 -metadata title=x -r 25 -s 640x480",
                   ofOutput,
                   [](ParseFixture &f) {
                     EXPECT_EQ(f.O.limit_filesize, 1000000);
                     EXPECT_EQ(f.O.max_frames.at(0).u.i64, 10);
                     EXPECT_EQ(f.O.audio_sample_rate.at(0).u.i, 44100);
                     EXPECT_EQ(f.O.audio_channels.at(0).u.i, 2);
                     EXPECT_FLOAT_EQ(f.O.mux_max_delay, 0.5f);
                     EXPECT_EQ(f.O.pass.at(0).u.i, 1);
                     EXPECT_EQ(f.O.shortest, 1);
                     EXPECT_EQ(f.O.chapters_input_file, -1);
                     EXPECT_EQ(f.O.metadata.at(0).u.str, "title=x");
                     EXPECT_EQ(f.O.frame_rates.at(0).u.str, "25");
                     EXPECT_EQ(f.O.frame_sizes.at(0).u.str, "640x480");
                   }},
        TValueCase{"RedispatchingRowsUseStreamTypeNames",
                   "-vcodec mpeg4 -scodec mov_text -dcodec copy -vframes 5 -aframes 6 -vf hflip "
                   "-af volume=2 -aq 3 -vtag xvid -atag mp4a -absf aac_adtstoasc -vbsf null",
                   ofOutput,
                   [](ParseFixture &f) {
                     EXPECT_EQ(Spec(f.O.codec_names, 0), "v");
                     EXPECT_EQ(Spec(f.O.codec_names, 1), "s");
                     EXPECT_EQ(Spec(f.O.codec_names, 2), "d");
                     EXPECT_EQ(Spec(f.O.max_frames, 0), "v");
                     EXPECT_EQ(Spec(f.O.max_frames, 1), "a");
                     EXPECT_EQ(f.O.filters.at(0).u.str, "hflip");
                     EXPECT_EQ(Spec(f.O.filters, 1), "a");
                     EXPECT_EQ(Spec(f.O.qscale, 0), "a");
                     EXPECT_EQ(Spec(f.O.codec_tags, 0), "v");
                     EXPECT_EQ(Spec(f.O.codec_tags, 1), "a");
                     EXPECT_EQ(Spec(f.O.bitstream_filters, 0), "a");
                     EXPECT_EQ(Spec(f.O.bitstream_filters, 1), "v");
                   }},
        TValueCase{"TwoVideoFiltersKeepBothInOrder", "-vf transpose=1 -vf scale=320:240", ofOutput,
                   [](ParseFixture &f) {
                     ASSERT_EQ(f.O.filters.size(), 2u);
                     EXPECT_EQ(f.O.filters[1].u.str, "scale=320:240");
                     EXPECT_EQ(f.O.filters[1].specifier, "v");
                   }},
        TValueCase{"QscaleAndProfileForms",
                   "-qscale 3 -qscale:a 4 -profile high -profile:a aac_low", ofOutput,
                   [](ParseFixture &f) {
                     EXPECT_EQ(Spec(f.O.qscale, 0), "v");
                     EXPECT_DOUBLE_EQ(f.O.qscale.at(0).u.dbl, 3);
                     EXPECT_EQ(Spec(f.O.qscale, 1), "a");
                     EXPECT_STREQ(f.CodecOpt("profile:v"), "high");
                     EXPECT_STREQ(f.CodecOpt("profile:a"), "aac_low");
                   }},
        TValueCase{"TimecodeSetsMetadataAndCodecOption", "-timecode 01:00:00:00", ofOutput,
                   [](ParseFixture &f) {
                     EXPECT_EQ(Spec(f.O.metadata, 0), "g");
                     EXPECT_EQ(f.O.metadata.at(0).u.str, "timecode=01:00:00:00");
                     EXPECT_STREQ(f.CodecOpt("gop_timecode"), "01:00:00:00");
                   }},
        TValueCase{"RecordingTimestampBecomesCreationTime", "-timestamp 2020-01-02T03:04:05Z",
                   ofOutput,
                   [](ParseFixture &f) {
                     EXPECT_EQ(f.O.metadata.at(0).u.str, "creation_time=2020-01-02 03:04:05 UTC");
                   }},
        TValueCase{"StreamIdGrowsTheList", "-streamid 2:7 -streamid 0:1", ofOutput,
                   [](ParseFixture &f) {
                     EXPECT_EQ(f.O.streamid_map, (std::vector<int>{1, 0, 7}));
                   }},
        TValueCase{"AttachmentsKeepOrder", "-attach a.ttf -attach \"b c.png\"", ofOutput,
                   [](ParseFixture &f) {
                     EXPECT_EQ(f.O.attachments, (std::vector<std::string>{"a.ttf", "b c.png"}));
                   }},
        TValueCase{"GlobalRowsSetEngineFields",
                   "-y -copyts -vol 512 -dts_delta_threshold 5 -nostats -async 1 "
                   "-filter_threads 3 -filter_complex_threads 2 -vstats_file v.log "
                   "-sdp_file s.sdp -xerror -VideoHookBitsPixel 24",
                   ofOutput,
                   [](ParseFixture &f) {
                     EXPECT_EQ(f.Engine.Ffile_overwrite, 1);
                     EXPECT_EQ(f.Engine.Fcopy_ts, 1);
                     EXPECT_EQ(f.Engine.Faudio_volume, 512);
                     EXPECT_FLOAT_EQ(f.Engine.Fdts_delta_threshold, 5);
                     EXPECT_EQ(f.Engine.Fprint_stats, 0);
                     EXPECT_EQ(f.Engine.Faudio_sync_method, 1);
                     EXPECT_EQ(f.Engine.Ffilter_nbthreads, "3");
                     EXPECT_EQ(f.Engine.Ffilter_complex_nbthreads, 2);
                     EXPECT_EQ(f.Engine.Fvstats_filename, "v.log");
                     EXPECT_EQ(f.Engine.Fsdp_filename, "s.sdp");
                     EXPECT_EQ(f.Engine.Fexit_on_error, 1);
                     EXPECT_EQ(f.Engine.FVideoHookBitsPixel, 24);
                     EXPECT_TRUE(f.O.g->opts.empty());
                   }},
        TValueCase{"ComplexGraphsAreNumbered", "-filter_complex [0:v]null -lavfi anullsrc",
                   ofOutput,
                   [](ParseFixture &f) {
                     ASSERT_EQ(f.Engine.Fnb_filtergraphs(), 2);
                     EXPECT_EQ(f.Engine.Ffiltergraphs[1]->index, 1);
                     EXPECT_EQ(f.Engine.Ffiltergraphs[0]->graph_desc, "[0:v]null");
                     EXPECT_EQ(f.Engine.Finput_stream_potentially_available, 1);
                     EXPECT_TRUE(f.O.filters.empty());
                   }},
        TValueCase{"VsyncNamesIgnoreCase", "-vsync CFR", ofOutput,
                   [](ParseFixture &f) { EXPECT_EQ(f.Engine.Fvideo_sync_method, 1); }},
        TValueCase{"VsyncNumberWhileAutomatic", "-vsync 2", ofOutput,
                   [](ParseFixture &f) { EXPECT_EQ(f.Engine.Fvideo_sync_method, 2); }},
        // Numbers as the tool reads them: SI suffixes, hexadecimal, integral floats.
        TValueCase{"NumbersAsTheToolReadsThem",
                   "-fs 10M -ar 22.05k -ac 2.0 -frames:v 10.0 -muxdelay 1.5", ofOutput,
                   [](ParseFixture &f) {
                     EXPECT_EQ(f.O.limit_filesize, 10000000);
                     EXPECT_EQ(f.O.audio_sample_rate.at(0).u.i, 22050);
                     EXPECT_EQ(f.O.audio_channels.at(0).u.i, 2);
                     EXPECT_EQ(f.O.max_frames.at(0).u.i64, 10);
                     EXPECT_FLOAT_EQ(f.O.mux_max_delay, 1.5f);
                   }},
        TValueCase{"HexadecimalNumber", "-ar 0x5622", ofOutput,
                   [](ParseFixture &f) { EXPECT_EQ(f.O.audio_sample_rate.at(0).u.i, 22050); }},
        TValueCase{"NoStdinIsAccepted", "-nostdin -an", ofOutput,
                   [](ParseFixture &f) { EXPECT_EQ(f.O.audio_disable, 1); }},
        TValueCase{"VtagOnInput", "-vtag XVID", ofInput,
                   [](ParseFixture &f) { EXPECT_EQ(f.O.codec_tags.at(0).u.str, "XVID"); }},
        TValueCase{"AutoscaleOnOutput", "-autoscale 0", ofOutput,
                   [](ParseFixture &f) { EXPECT_EQ(f.O.autoscale.at(0).u.i, 0); }},
        TValueCase{"StatsPeriod", "-stats_period 0.25", ofOutput,
                   [](ParseFixture &f) { EXPECT_EQ(f.Engine.FReportInterval, 250000); }},
        TValueCase{"InformationalRowsAreIgnored", "-h -version -hide_banner -abort_on empty_output",
                   ofOutput, [](ParseFixture &f) { EXPECT_TRUE(f.O.g->opts.empty()); }},
        TValueCase{"HookWordsAreAccepted", "-VideoInputHook -FrameOutputHook", ofOutput,
                   [](ParseFixture &) {}},
        TValueCase{"TargetKeepsTheTextsBitrateBefore", "-b:v 3000k -target ntsc-dvd", ofOutput,
                   [](ParseFixture &f) {
                     EXPECT_STREQ(f.CodecOpt("b:v"), "3000k");
                     EXPECT_STREQ(f.CodecOpt("maxrate:v"), "9000000");
                     EXPECT_STREQ(f.CodecOpt("g"), "18");
                     EXPECT_STREQ(f.FormatOpt("packetsize"), "2048");
                     EXPECT_EQ(f.O.frame_sizes.back().u.str, "720x480");
                     EXPECT_EQ(f.O.frame_rates.back().u.str, "30000/1001");
                     EXPECT_EQ(f.O.format, "dvd");
                   }},
        TValueCase{"TargetKeepsTheTextsBitrateAfter", "-target ntsc-dvd -b:v 3000k", ofOutput,
                   [](ParseFixture &f) { EXPECT_STREQ(f.CodecOpt("b:v"), "3000k"); }},
        TValueCase{"TargetSizeOverridesEarlierSize", "-s 640x480 -target pal-dvd", ofOutput,
                   [](ParseFixture &f) {
                     EXPECT_EQ(f.O.frame_sizes.back().u.str, "720x576");
                     EXPECT_STREQ(f.CodecOpt("g"), "15");
                   }},
        TValueCase{"LaterSizeOverridesTarget", "-target pal-dvd -s 640x480", ofOutput,
                   [](ParseFixture &f) { EXPECT_EQ(f.O.frame_sizes.back().u.str, "640x480"); }},
        TValueCase{"VcdTargetSetsPreload", "-target film-vcd", ofOutput,
                   [](ParseFixture &f) {
                     EXPECT_FLOAT_EQ(f.O.mux_preload, 0.44f);
                     EXPECT_EQ(f.O.frame_rates.back().u.str, "24000/1001");
                     EXPECT_STREQ(f.FormatOpt("muxrate"), "1411200");
                   }},
        TValueCase{"Dv50TargetUses422", "-target ntsc-dv50", ofOutput,
                   [](ParseFixture &f) {
                     EXPECT_EQ(f.O.frame_pix_fmts.back().u.str, "yuv422p");
                     EXPECT_EQ(f.O.format, "dv");
                   }}),
    [](const testing::TestParamInfo<TValueCase> &i) { return std::string(i.param.name); });

struct TErrorCase {
  const char *name;
  const char *text;
  uint32_t flag;
  int result;
  const char *message; // expected in LastErrMsg
};

class ParseErrors : public testing::TestWithParam<TErrorCase>, public ParseFixture {};

TEST_P(ParseErrors, FailWhenHalting) {
  EXPECT_EQ(Parse(GetParam().text, GetParam().flag), GetParam().result);
  EXPECT_NE(Engine.LastErrMsg().find(GetParam().message), std::string::npos) << Engine.LastErrMsg();
}

TEST_P(ParseErrors, AreSkippedWhenNotHalting) {
  Engine.HaltOnInvalidOption = false;
  EXPECT_EQ(Parse(GetParam().text, GetParam().flag), 0);
  EXPECT_EQ(Engine.LastErrMsg(), "");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseErrors,
    testing::Values(
        TErrorCase{"UnknownOption", "-nosuchswitch", ofOutput, AVERROR_OPTION_NOT_FOUND,
                   "Option not found"},
        TErrorCase{"UnknownOptionWithValue", "-foo bar", ofOutput, AVERROR_OPTION_NOT_FOUND,
                   "Unrecognized option \"foo\"."},
        TErrorCase{"MissingValue", "-an -vf", ofOutput, AVERROR(EINVAL),
                   "Missing argument for option \"vf\"."},
        TErrorCase{"StrayWord", "-h long", ofOutput, AVERROR(EINVAL),
                   "Failed to parse options on \"long\""},
        TErrorCase{"EmptyWord", "-an \"\"", ofOutput, AVERROR(EINVAL), "Failed to parse options"},
        TErrorCase{"RefusedRow", "-benchmark", ofOutput, AVERROR(EINVAL),
                   "options \"benchmark\" not supported"},
        TErrorCase{"RefusedPreWithStrayWord", "-pre slow", ofOutput, AVERROR(EINVAL),
                   "Failed to parse options on \"slow\""},
        TErrorCase{"InputOptionOnOutput", "-re", ofOutput, AVERROR(EINVAL),
                   "Option re (read input at native frame rate; equivalent to -readrate 1) "
                   "cannot be applied to output file file.mkv"},
        TErrorCase{"BitrateOnInput", "-b:v 1M", ofInput, AVERROR(EINVAL),
                   "Option b:v (video bitrate (please use -b:v)) cannot be applied to input "
                   "file file.mkv -- you are trying to apply an input option to an output file "
                   "or vice versa. Move this option before the file it belongs to."},
        TErrorCase{"OutputOptionOnInput", "-shortest", ofInput, AVERROR(EINVAL),
                   "cannot be applied to input file file.mkv"},
        TErrorCase{"SwscaleDimensions", "-srcw 100", ofOutput, AVERROR(EINVAL),
                   "Directly using swscale dimensions/format options is not supported, please "
                   "use the -s or -pix_fmt options"},
        TErrorCase{"UnknownTarget", "-target pal-xyz", ofOutput, AVERROR(EINVAL),
                   "Unknown target: xyz"},
        TErrorCase{"StreamIdValueRange", "-streamid 1:-5", ofOutput, AVERROR(EINVAL),
                   "The value for \"streamid\" was \"-5\" which is not within 0 - 2147483647"},
        TErrorCase{"StreamIdIndexRange", "-streamid 1024:5", ofOutput, AVERROR(EINVAL),
                   "The value for \"streamid\" was \"1024\" which is not within 0 - 1023"},
        TErrorCase{"StreamIdSyntax", "-streamid 5", ofOutput, AVERROR(EINVAL),
                   "Invalid value \"5\" for option \"streamid\", required syntax is "
                   "\"index:value\""},
        TErrorCase{"BadVsyncNumber", "-vsync 7", ofOutput, AVERROR(EINVAL),
                   "The value for \"vsync\" was \"7\" which is invalid"},
        // The tool has no number for drop.
        TErrorCase{"VsyncDropHasNoNumber", "-vsync 4", ofOutput, AVERROR(EINVAL),
                   "The value for \"vsync\" was \"4\" which is invalid"},
        TErrorCase{"AutoscaleNotOnInput", "-autoscale 0", ofInput, AVERROR(EINVAL),
                   "Option autoscale (automatically insert a scale filter at the end of the "
                   "filter graph) cannot be applied to input file"},
        TErrorCase{"StatsPeriodNotPositive", "-stats_period 0", ofOutput, AVERROR(EINVAL),
                   "stats_period 0 must be positive."},
        TErrorCase{"TimeStartNotANumber", "-TimeStart abc", ofInput, AVERROR(EINVAL),
                   "Failed to set value \"abc\" for option \"TimeStart\""},
        TErrorCase{"BadLogLevel", "-loglevel loud", ofOutput, AVERROR(EINVAL),
                   "Invalid loglevel \"loud\". Possible levels are numbers or:\r\n\"quiet\"\r\n"},
        TErrorCase{"MissingPresetFile", "-fpre /nonexistent/x.ffpreset", ofOutput, AVERROR(EINVAL),
                   "Preset file \"/nonexistent/x.ffpreset\" not found"},
        TErrorCase{"UnopenableProgressUrl", "-progress /nonexistent/dir/p.txt", ofOutput,
                   AVERROR(ENOENT), "Failed to open progress URL \"/nonexistent/dir/p.txt\""},
        TErrorCase{"UnknownHardwareDevice", "-init_hw_device nosuchtype", ofOutput, AVERROR(EINVAL),
                   "Invalid argument"},
        TErrorCase{"HardwareDeviceList", "-init_hw_device list", ofOutput, -1,
                   "Failed to set value \"list\" for option \"init_hw_device\""},
        TErrorCase{"DerivedFromUnknownDevice", "-init_hw_device vaapi=x@nosuch", ofOutput,
                   AVERROR(EINVAL), "Failed to set value \"vaapi=x@nosuch\""},
        TErrorCase{"BadMaxAlloc", "-max_alloc 1k", ofOutput, AVERROR(EINVAL),
                   "Failed to set value \"1k\" for option \"max_alloc\""},
        TErrorCase{"BadCpuCount", "-cpucount -5", ofOutput, AVERROR(EINVAL),
                   "Failed to set value \"-5\" for option \"cpucount\""},
        TErrorCase{"BadCpuFlags", "-cpuflags nonsense", ofOutput, AVERROR(EINVAL),
                   "Failed to parse cpu flags \"nonsense\""},
        TErrorCase{"UnknownFilterDevice", "-filter_hw_device nodev", ofOutput, AVERROR(EINVAL),
                   "Failed to set value \"nodev\" for option \"filter_hw_device\""}),
    [](const testing::TestParamInfo<TErrorCase> &i) { return std::string(i.param.name); });

TEST(ParseOptions, ErrorMessageJoinsOptionTextAndErrorText) {
  ParseFixture f;
  EXPECT_EQ(f.Parse("-benchmark"), AVERROR(EINVAL));
  EXPECT_EQ(f.Engine.LastErrMsg(),
            "options \"benchmark\" not supported\r\nFailed to set value \"1\" for option "
            "\"benchmark\": Invalid argument / Invalid data found when processing input\r\n"
            "Invalid argument / Invalid data found when processing input");
}

TEST(ParseOptions, FailedGlobalOptionSkipsFileOptionsWhenNotHalting) {
  ParseFixture f;
  f.Engine.HaltOnInvalidOption = false;
  EXPECT_EQ(f.Parse("-an -pre slow"), 0);
  EXPECT_EQ(f.O.audio_disable, 0);
}

TEST(ParseOptions, SkippedWordsLeaveTheOtherOptionsApplied) {
  ParseFixture f;
  f.Engine.HaltOnInvalidOption = false;
  EXPECT_EQ(f.Parse("-foo bar -an stray -vn"), 0);
  EXPECT_EQ(f.O.audio_disable, 1);
  EXPECT_EQ(f.O.video_disable, 1);
}

struct TThrowCase {
  const char *text;
  uint32_t flag;
  const char *what;
};

class ParseValueErrors : public testing::TestWithParam<TThrowCase>, public ParseFixture {};

TEST_P(ParseValueErrors, ThrowWithTheConversionText) {
  for (bool halt : {true, false}) {
    Engine.HaltOnInvalidOption = halt;
    Engine.UninitOptionsContext(O);
    Engine.InitOptionsContext(O);
    try {
      Parse(GetParam().text, GetParam().flag);
      ADD_FAILURE() << "no exception for " << GetParam().text;
    } catch (const FFmpegException &e) {
      EXPECT_STREQ(e.what(), GetParam().what);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseValueErrors,
    testing::Values(
        TThrowCase{"-ar abc", ofOutput, "Expected integer for \"ar\" but found \"abc\""},
        TThrowCase{"-ac 1.5", ofOutput, "Expected integer for \"ac\" but found \"1.5\""},
        TThrowCase{"-ar 99999999999", ofOutput,
                   "Expected integer for \"ar\" but found \"99999999999\""},
        TThrowCase{"-fs 1.5", ofOutput, "Expected int64 for \"fs\" but found \"1.5\""},
        TThrowCase{"-ar 3G", ofOutput, "Expected integer for \"ar\" but found \"3G\""},
        TThrowCase{"-t xyz", ofOutput, "Invalid duration specification for \"t\": \"xyz\""},
        TThrowCase{"-readrate fast", ofInput, "Expected float for \"readrate\" but found \"fast\""},
        TThrowCase{"-itsscale:v x", ofInput, "Expected double for \"itsscale:v\" but found \"x\""},
        TThrowCase{"-target dvd", ofOutput,
                   "Could not determine norm (PAL/NTSC/NTSC-Film) for target.\r\nPlease prefix "
                   "target with \"pal-\", \"ntsc-\" or \"film-\",\r\nor set a framerate with "
                   "\"-r xxx\"."}));

TEST(ParsePresets, SkipsCommentsAndBlankLines) {
  ParseFixture f;
  ASSERT_EQ(f.Parse("-an", ofOutput, "b:v=1M<CRLF>#note<CRLF><CRLF>ar=44100\r\nvcodec=mpeg4"), 0);
  EXPECT_STREQ(f.CodecOpt("b:v"), "1M");
  EXPECT_STREQ(f.CodecOpt("ar"), "44100");
  ASSERT_EQ(f.O.codec_names.size(), 1u);
  EXPECT_EQ(f.O.codec_names[0].specifier, "v");
  EXPECT_EQ(f.O.audio_disable, 1);
}

TEST(ParsePresets, PresetsAloneAreApplied) {
  ParseFixture f;
  ASSERT_EQ(f.Parse("", ofOutput, "  ACODEC = aac \n movflags=+faststart"), 0);
  EXPECT_EQ(f.O.codec_names.at(0).u.str, "aac");
  EXPECT_EQ(f.O.codec_names.at(0).specifier, "a");
  EXPECT_STREQ(f.FormatOpt("movflags"), "+faststart");
}

TEST(ParsePresets, EmptyValueFailsWhenHaltingAndIsAppliedOtherwise) {
  ParseFixture halting;
  EXPECT_EQ(halting.Parse("", ofOutput, "b="), AVERROR(EINVAL));
  EXPECT_NE(halting.Engine.LastErrMsg().find("Invalid syntax: \"b=\""), std::string::npos);
  ParseFixture lenient;
  lenient.Engine.HaltOnInvalidOption = false;
  EXPECT_EQ(lenient.Parse("", ofOutput, "b=\nar=22050"), 0);
  EXPECT_STREQ(lenient.CodecOpt("b"), "");
  EXPECT_STREQ(lenient.CodecOpt("ar"), "22050");
}

TEST(ParsePresets, UnknownKeyFailsWithParsedForm) {
  ParseFixture f;
  EXPECT_EQ(f.Parse("", ofOutput, "nosuch=1"), AVERROR_OPTION_NOT_FOUND);
  EXPECT_NE(f.Engine.LastErrMsg().find(
                "Invalid option or argument: \"nosuch=1\", parsed as \"nosuch\" = \"1\""),
            std::string::npos)
      << f.Engine.LastErrMsg();
}

TEST(ParsePresets, PresetFileLinesAreApplied) {
  auto path = std::filesystem::temp_directory_path() / "quillet_options_test.ffpreset";
  {
    std::ofstream out(path, std::ios::binary);
    out << "\xEF\xBB\xBF# x264 settings\r\n\r\nvcodec=libx264\r\ncoder=1\r\nbad line\r\n";
  }
  ParseFixture f;
  EXPECT_EQ(f.Parse("-fpre " + path.string()), AVERROR(EINVAL));
  EXPECT_EQ(f.O.codec_names.at(0).u.str, "libx264");
  EXPECT_STREQ(f.CodecOpt("coder"), "1");
  EXPECT_NE(f.Engine.LastErrMsg().find(path.string() + ": Invalid syntax: \"bad line\""),
            std::string::npos)
      << f.Engine.LastErrMsg();
  std::filesystem::remove(path);
}

TEST(ParseOptions, LogLevelGoesToTheLogger) {
  TFFLogger *logger = GlobalLogger();
  const TLogLevel savedLevel = logger->LogLevel();
  const int savedFlags = logger->LogFlags();
  logger->SetLogFlags(0);
  ParseFixture f;
  EXPECT_EQ(f.Parse("-an -v error"), 0);
  EXPECT_EQ(logger->LogLevel(), llError);
  EXPECT_EQ(ff::av_log_get_level(), AV_LOG_ERROR);
  EXPECT_EQ(SetLogLevelOption("+repeat+level+verbose"), 0);
  EXPECT_EQ(logger->LogLevel(), llVerbose);
  EXPECT_EQ(logger->LogFlags(), LogFlagPrintLevel);
  EXPECT_EQ(SetLogLevelOption("-repeat"), 0);
  EXPECT_EQ(logger->LogFlags(), LogFlagSkipRepeated | LogFlagPrintLevel);
  EXPECT_EQ(SetLogLevelOption("level+24"), 0);
  EXPECT_EQ(logger->LogLevel(), llWarning);
  EXPECT_EQ(logger->LogFlags(), LogFlagPrintLevel);
  EXPECT_EQ(SetLogLevelOption("trace"), 0);
  EXPECT_EQ(logger->LogFlags(), LogFlagPrintLevel); // a bare level keeps the flags
  EXPECT_EQ(f.Engine.Options().opt_default("debug", "1"), 0);
  EXPECT_EQ(logger->LogLevel(), llDebug);
  logger->SetLogFlags(savedFlags);
  logger->SetLogLevel(savedLevel);
}

TEST(ParseOption, ReportsWhetherTheOptionTakesAValue) {
  ParseFixture f;
  EXPECT_EQ(f.Engine.ParseOption(&f.O, "an", "ignored"), 0);
  EXPECT_EQ(f.O.audio_disable, 1);
  EXPECT_EQ(f.Engine.ParseOption(&f.O, "noan", ""), 0);
  EXPECT_EQ(f.O.audio_disable, 0);
  EXPECT_EQ(f.Engine.ParseOption(&f.O, "c:v", "mpeg4"), 1);
  EXPECT_EQ(f.O.codec_names.at(0).specifier, "v");
  // Names the table lacks go through the pass-through row.
  EXPECT_EQ(f.Engine.ParseOption(&f.O, "threads", "4"), 1);
  EXPECT_STREQ(f.Entry(f.Engine.Options().codec_opts(), "threads"), "4");
  EXPECT_EQ(f.Engine.ParseOption(&f.O, "nosuch", "1"), AVERROR_OPTION_NOT_FOUND);
  const std::string &text = f.Engine.Options().ErrorText();
  EXPECT_EQ(text.rfind("Option not found \"nosuch\"", 0), 0u) << text;
}

TEST(TFFOptions, GlobalAndFileGroupsAreSeparated) {
  ParseFixture f;
  TFFOptions &p = f.Engine.Options();
  p.init_parse_context();
  const std::vector<std::string> argv{"-qsv_device", "0", "-an", "-y", "-threads", "2"};
  ASSERT_EQ(p.parse_options(nullptr, argv, f.Engine.OptionDef(), "output file", true), 0);
  auto &g = p.OptionParseContext().global_opts.opts;
  auto &file = p.OptionParseContext().file_opts.opts;
  ASSERT_EQ(g.size(), 2u);
  EXPECT_EQ(g[0].key, "qsv_device");
  EXPECT_EQ(g[0].val, "0");
  EXPECT_EQ(g[1].key, "y");
  ASSERT_EQ(file.size(), 1u);
  EXPECT_EQ(file[0].key, "an");
  EXPECT_STREQ(f.Entry(p.OptionParseContext().file_opts.codec_opts, "threads"), "2");
  EXPECT_EQ(p.codec_opts(), nullptr);
}

TEST(TFFOptions, FetchSwsFlagsEvaluatesTheScalerFlags) {
  TFFOptions p;
  EXPECT_EQ(p.sws_flags(), unsigned(SWS_BICUBIC));
  EXPECT_EQ(p.FetchSwsFlags(), 0);
  ASSERT_EQ(p.opt_default(std::wstring(L"sws_flags"), std::wstring(L"lanczos+accurate_rnd")), 0);
  EXPECT_EQ(p.FetchSwsFlags(), 0);
  EXPECT_EQ(p.sws_flags(), unsigned(SWS_LANCZOS | SWS_ACCURATE_RND));
  ASSERT_EQ(p.opt_default("sws_flags", "nonsense"), 0);
  EXPECT_LT(p.FetchSwsFlags(), 0);
}

} // namespace

namespace {

// Two tasks parse at once (tasks are set up while others run): each keeps its own error text.
TEST(ParseOptions, ConcurrentParsesKeepTheirOwnErrorText) {
  auto run = [](const std::string &option, std::string &wrong) {
    for (int i = 0; i < 5000 && wrong.empty(); i++) {
      ParseFixture f;
      f.Parse("-" + option);
      const std::string expected = "Missing argument for option \"" + option + "\".";
      if (f.Engine.LastErrMsg().rfind(expected, 0) != 0 ||
          f.Engine.Options().ErrorText() != expected)
        wrong = f.Engine.LastErrMsg();
    }
  };
  std::string wrongA, wrongB;
  std::thread a(run, "vcodec", std::ref(wrongA));
  std::thread b(run, "acodec", std::ref(wrongB));
  a.join();
  b.join();
  EXPECT_EQ(wrongA, "");
  EXPECT_EQ(wrongB, "");
}

} // namespace

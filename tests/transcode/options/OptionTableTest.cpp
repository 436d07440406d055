#include <gtest/gtest.h>

#include <bit>
#include <set>

#include "components/TFFLoader.h"
#include "transcode/TCustomFFmpegOpt.h"

namespace {

class OptionTable : public testing::Test {
protected:
  static void SetUpTestSuite() { ASSERT_TRUE(FFLoader().Load(EncoderLibraries)); }
  TCustomFFmpegOpt Engine;
};

std::vector<const TOptionDef *> Rows(TCustomFFmpegOpt &e) {
  std::vector<const TOptionDef *> rows;
  for (const TOptionDef *po = e.OptionDef(); !po->name.empty(); ++po)
    rows.push_back(po);
  return rows;
}

// The table's rows obey the rules the parser relies on; a row added or edited against them
// fails here rather than when a user types the option.
TEST_F(OptionTable, NamesAreUniqueAndEachFindsItsOwnRow) {
  std::set<std::string> names;
  for (const TOptionDef *po : Rows(Engine)) {
    EXPECT_TRUE(names.insert(po->name).second) << "duplicate row " << po->name;
    EXPECT_EQ(po->name.find(':'), std::string::npos) << po->name;
    EXPECT_EQ(FindOption(Engine.OptionDef(), po->name), po) << po->name;
    EXPECT_FALSE(po->help.empty()) << po->name;
  }
  EXPECT_EQ(Rows(Engine).back()->name, "default"); // the AVOption pass-through comes last
}

TEST_F(OptionTable, EveryRowHasExactlyOneTarget) {
  for (const TOptionDef *po : Rows(Engine)) {
    int targets = (po->u.func_arg ? 1 : 0) + (po->u.dst_ptr ? 1 : 0) +
                  ((po->flags & (ofOffset | ofSpec)) ? 1 : 0);
    EXPECT_EQ(targets, 1) << po->name;
  }
}

int ValueTypes(uint32_t flags) {
  return std::popcount(flags & (ofBool | ofString | ofInt | ofInt64 | ofFloat | ofDouble | ofTime));
}

TEST_F(OptionTable, FlagsAreConsistent) {
  for (const TOptionDef *po : Rows(Engine)) {
    SCOPED_TRACE(po->name);
    const uint32_t f = po->flags;
    EXPECT_LE(ValueTypes(f), 1); // one value type at most
    if (f & (ofOffset | ofSpec)) {
      // A value written into the file's record: typed, and within the record.
      EXPECT_EQ(ValueTypes(f), 1);
      EXPECT_EQ(f & ofPerFile, 0u);
      EXPECT_TRUE(po->u.field);
    }
    if (po->u.dst_ptr) { // an engine field: its type says how the value is read
      EXPECT_EQ(ValueTypes(f), 1);
    }
    if (ValueTypes(f) == 1 && !(f & ofBool)) { // a typed value needs an argument
      EXPECT_NE(f & ofHasArg, 0u);
    }
    if (f & ofSpec) { // per-stream values are per file and follow a file
      EXPECT_NE(f & (ofInput | ofOutput), 0u);
    }
  }
}

TEST_F(OptionTable, LookupMatchesNameBeforeColonOnly) {
  const TOptionDef *table = Engine.OptionDef();
  ASSERT_NE(FindOption(table, "b:v"), nullptr);
  EXPECT_EQ(FindOption(table, "b:v")->name, "b");
  EXPECT_EQ(FindOption(table, "filter_complex")->name, "filter_complex");
  EXPECT_NE(FindOption(table, "stdin")->flags & ofBool, 0u); // -nostdin, as in the tool
  EXPECT_EQ(FindOption(table, "sources"), nullptr);
  EXPECT_EQ(FindOption(table, "B"), nullptr);
}

TEST_F(OptionTable, EngineFieldsStartWithTheirDefaults) {
  EXPECT_FLOAT_EQ(Engine.Faudio_drift_threshold, 0.1f);
  EXPECT_FLOAT_EQ(Engine.Fdts_delta_threshold, 10.0f);
  EXPECT_FLOAT_EQ(Engine.Fdts_error_threshold, 108000.0f);
  EXPECT_EQ(Engine.Faudio_volume, 256);
  EXPECT_EQ(Engine.Fvideo_sync_method, -1);
  EXPECT_EQ(Engine.Fcopy_tb, -1);
  EXPECT_EQ(Engine.Fprint_stats, -1);
  EXPECT_EQ(Engine.Fvstats_version, 2);
  EXPECT_EQ(Engine.Fauto_conversion_filters, 1);
  EXPECT_EQ(Engine.Ffind_stream_info, 1);
  EXPECT_EQ(Engine.FReportInterval, 500000);
  EXPECT_EQ(Engine.FReadTimeout, 30000);
  EXPECT_EQ(Engine.FWriteTimeout, 30000);
  EXPECT_TRUE(Engine.HaltOnInvalidOption);
  EXPECT_EQ(Engine.Fnb_filtergraphs(), 0);
  EXPECT_EQ(Engine.Fnb_input_files(), 0);
  EXPECT_EQ(Engine.FReadCallback.opaque, &Engine);
}

TEST_F(OptionTable, OptionsContextStartsWithItsDefaults) {
  TOptionsContext o;
  o.recording_time = 5;
  o.codec_names.push_back({});
  Engine.InitOptionsContext(o);
  EXPECT_EQ(o.start_time, AV_NOPTS_VALUE);
  EXPECT_EQ(o.start_time_eof, AV_NOPTS_VALUE);
  EXPECT_EQ(o.recording_time, INT64_MAX);
  EXPECT_EQ(o.stop_time, INT64_MAX);
  EXPECT_EQ(o.limit_filesize, INT64_MAX);
  EXPECT_EQ(o.chapters_input_file, INT_MAX);
  EXPECT_FLOAT_EQ(o.mux_max_delay, 0.7f);
  EXPECT_EQ(o.accurate_seek, 1);
  EXPECT_EQ(o.thread_queue_size, -1);
  EXPECT_EQ(o.input_sync_ref, -1);
  EXPECT_TRUE(o.codec_names.empty());
  EXPECT_EQ(o.g, &Engine.Options().OptionParseContext().file_opts);
  Engine.UninitOptionsContext(o);
}

// Exposes the per-stream lookup for a test.
class TSpecEngine : public TCustomFFmpegOpt {
public:
  using TCustomFFmpegOpt::MatchPerStreamOpt;
  using TCustomFFmpegOpt::MatchPerStreamStr;
};

TEST_F(OptionTable, PerStreamLookupTakesLastMatchingElement) {
  AVFormatContext *fc = ff::avformat_alloc_context();
  AVStream *video = ff::avformat_new_stream(fc, nullptr);
  video->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
  AVStream *audio = ff::avformat_new_stream(fc, nullptr);
  audio->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
  TSpecifierOpts opts(3);
  opts[0].specifier = "v";
  opts[0].u.str = "libx264";
  opts[1].specifier = "";
  opts[1].u.str = "all";
  opts[2].specifier = "v";
  opts[2].u.str = "copy";
  EXPECT_EQ(TSpecEngine::MatchPerStreamStr(opts, fc, video), "copy");
  EXPECT_EQ(TSpecEngine::MatchPerStreamStr(opts, fc, audio), "all");
  opts.resize(1);
  EXPECT_EQ(TSpecEngine::MatchPerStreamStr(opts, fc, audio, "dflt"), "dflt");
  opts[0].specifier = "v:zz:#";
  EXPECT_THROW(
      {
        try {
          TSpecEngine::MatchPerStreamOpt(opts, fc, video);
        } catch (const FFmpegException &e) {
          EXPECT_EQ(std::string(e.what()).rfind("check_stream_specifier: ", 0), 0u) << e.what();
          throw;
        }
      },
      FFmpegException);
  ff::avformat_free_context(fc);
}

} // namespace

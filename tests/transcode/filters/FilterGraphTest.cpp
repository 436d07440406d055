// Filter graphs built for typed option strings: which filters the configured graph holds, in
// which order and with which arguments; binding of complex graph outputs; the error texts.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "../files/FilesTestSupport.h"
#include "transcode/FilterGraphs.h"

namespace {

std::string Input(const std::string &name) {
  return name.rfind("f:", 0) == 0 ? FilesFixture(name.substr(2)) : Fixture(name);
}

// Opens input (with its options) and one output; fails the test when either fails.
void OpenTask(TCustomFFmpeg &E, const std::string &input, const std::string &inOptions,
              const std::string &outOptions, const std::string &output) {
  TOpenResult in = OpenIn(E, inOptions, Input(input));
  ASSERT_GE(in.ret, 0) << in.error;
  TOpenResult out = OpenOut(E, outOptions, ScratchDir() + "/" + output);
  ASSERT_GE(out.ret, 0) << out.error;
}

// Instance names from the source of input 0 to the sink, without the library's automatic
// conversion filters.
std::string Chain(const TFilterGraph &fg, int input = 0) {
  std::string chain;
  for (const AVFilterContext *f = fg.inputs[input]->filter; f;
       f = f->nb_outputs ? f->outputs[0]->dst : nullptr) {
    if (std::string(f->name).rfind("auto_", 0) == 0)
      continue;
    chain += (chain.empty() ? "" : " > ") + std::string(f->name);
  }
  return chain;
}

std::string Option(const TFilterGraph &fg, const std::string &instance, const char *key) {
  for (unsigned i = 0; i < fg.graph->nb_filters; i++) {
    AVFilterContext *f = fg.graph->filters[i];
    if (instance != f->name)
      continue;
    uint8_t *value = nullptr;
    if (ff::av_opt_get(f, key, AV_OPT_SEARCH_CHILDREN, &value) < 0)
      return "<no option>";
    std::string text = reinterpret_cast<char *>(value);
    ff::av_free(value);
    return text;
  }
  return "<no filter>";
}

struct TGraphCase {
  const char *name;
  const char *input;
  const char *inOptions;
  const char *outOptions;
  const char *output;
  int graph; // index in Ffiltergraphs
  const char *chain;
  std::map<std::string, std::string> options; // "instance/key" -> value
  // Lines the library logs while the graph is built, as the tool's -v debug shows them
  // (options whose stored value the filter rewrites are checked this way).
  std::vector<std::string> logs = {};
};

void PrintTo(const TGraphCase &c, std::ostream *os) {
  *os << c.name;
}

class GraphShape : public FilesTest, public ::testing::WithParamInterface<TGraphCase> {};

TEST_P(GraphShape, ConfiguredGraphHoldsTheToolsFilters) {
  const TGraphCase &c = GetParam();
  TLogCapture log;
  TCustomFFmpeg E;
  OpenTask(E, c.input, c.inOptions, c.outOptions, c.output);
  ASSERT_LT(c.graph, E.Fnb_filtergraphs());
  TFilterGraph *fg = E.Ffiltergraphs[c.graph].get();
  ASSERT_EQ(ConfigureFromStreams(E, fg), 0);
  EXPECT_EQ(Chain(*fg), c.chain);
  for (const auto &[where, value] : c.options) {
    const size_t slash = where.rfind('/');
    EXPECT_EQ(Option(*fg, where.substr(0, slash), where.substr(slash + 1).c_str()), value) << where;
  }
  for (const std::string &line : c.logs)
    EXPECT_TRUE(log.Contains(line)) << line;
}

// clang-format off
const TGraphCase GraphCases[] = {
    {"DefaultAviVideo", "av.mp4", "", "-c:v mpeg4", "d.avi", 0,
     "graph 0 input from stream 0:0 > Parsed_null_0 > format > out_0_0",
     {{"graph 0 input from stream 0:0/video_size", "320x240"},
      {"graph 0 input from stream 0:0/pix_fmt", "yuv420p"},
      {"graph 0 input from stream 0:0/frame_rate", "25/1"}},
     {"Setting 'pix_fmts' to value 'yuv420p'"}},
    {"FrameSizeAddsScaler", "av.mp4", "", "-s 160x120 -c:v mpeg4 -an", "s.avi", 0,
     "graph 0 input from stream 0:0 > Parsed_null_0 > scaler_out_0_0 > format > out_0_0",
     {{"scaler_out_0_0/w", "160"}, {"scaler_out_0_0/h", "120"}}},
    {"ScalerOptionsReachTheScaler", "av.mp4", "", "-s 160x120 -sws_flags lanczos -c:v mpeg4 -an",
     "sws.avi", 0,
     "graph 0 input from stream 0:0 > Parsed_null_0 > scaler_out_0_0 > format > out_0_0", {},
     {"Setting 'sws_flags' to value 'lanczos'"}},
    {"UserChainKeepsItsOrder", "av.mp4", "", "-vf \"scale=160:-2,vflip\" -an", "u.mp4", 0,
     "graph 0 input from stream 0:0 > Parsed_scale_0 > Parsed_vflip_1 > format > out_0_0",
     {{"Parsed_scale_0/w", "160"}}},
    {"IncompatiblePixelFormatIsReplaced", "av.mp4", "", "-pix_fmt rgb24 -c:v mpeg4 -an", "p.avi",
     0, "graph 0 input from stream 0:0 > Parsed_null_0 > format > out_0_0", {},
     {"Incompatible pixel format \"rgb24\" for codec \"mpeg4\", auto-selecting format "
      "\"yuv420p\"", "Setting 'pix_fmts' to value 'yuv420p'"}},
    {"MjpegStrictGetsFullRangeList", "av.mp4", "", "-c:v mjpeg -an", "m.avi", 0,
     "graph 0 input from stream 0:0 > Parsed_null_0 > format > out_0_0", {},
     {"Setting 'pix_fmts' to value 'yuvj420p|yuvj422p|yuvj444p'"}},
    {"RotatedInputIsTurnedBeforeTheUserChain", "f:rotated.mp4", "",
     "-vf \"scale=120:-2\" -c:v mpeg4", "r.avi", 0,
     "graph 0 input from stream 0:0 > transpose > Parsed_scale_0 > format > out_0_0", {},
     {"Setting 'dir' to value 'cclock'"}},
    {"NoAutorotateNoTranspose", "f:rotated.mp4", "-autorotate 0", "-c:v mpeg4", "n.avi", 0,
     "graph 0 input from stream 0:0 > Parsed_null_0 > format > out_0_0", {}},
    {"InputSeekAndDurationTrimTheInput", "av.mp4", "-ss 0.5 -t 1", "-c:v mpeg4 -an", "t.avi", 0,
     "graph 0 input from stream 0:0 > trim_in_0_0 > Parsed_null_0 > format > out_0_0",
     {{"trim_in_0_0/starti", "0"}, {"trim_in_0_0/durationi", "1"}}},
    {"NoAccurateSeekOnlyDuration", "av.mp4", "-ss 0.5 -noaccurate_seek", "-c:v mpeg4 -an",
     "na.avi", 0, "graph 0 input from stream 0:0 > Parsed_null_0 > format > out_0_0", {}},
    {"OutputDurationTrimsTheOutput", "av.mp4", "", "-t 0.5 -c:v mpeg4 -an", "o.avi", 0,
     "graph 0 input from stream 0:0 > Parsed_null_0 > format > trim_out_0_0 > out_0_0",
     {{"trim_out_0_0/durationi", "0.5"}}},
    {"AudioFormatFromEncoder", "av.mp4", "", "-vn -c:a libmp3lame -ar 22050 -ac 1", "a.mp3", 0,
     "graph_0_in_0_1 > Parsed_anull_0 > format_out_0_0 > out_0_0",
     {{"graph_0_in_0_1/sample_fmt", "fltp"}, {"graph_0_in_0_1/channel_layout", "stereo"}},
     {"Setting 'sample_fmts' to value 's32p|fltp|s16p'",
      "Setting 'sample_rates' to value '22050'", "Setting 'channel_layouts' to value 'mono'"}},
    {"AudioEncoderListsWithoutRequest", "av.mp4", "", "-vn -c:a libmp3lame", "l.mp3", 0,
     "graph_0_in_0_1 > Parsed_anull_0 > format_out_0_0 > out_0_0", {},
     {"Setting 'sample_rates' to value '44100|48000|32000|22050|24000|16000|11025|12000|8000'",
      "Setting 'channel_layouts' to value 'mono|stereo'"}},
    {"VolAndAsyncGoBeforeTheInputTrim", "av.mp4", "-t 1", "-vn -vol 512 -async 1 -c:a aac",
     "v.m4a", 0,
     "graph_0_in_0_1 > graph_0_aresample_in_0_1 > graph_0_volume_in_0_1 > "
     "trim for input stream 0:1 > Parsed_anull_0 > format_out_0_0 > out_0_0",
     {{"graph_0_volume_in_0_1/volume", "2.000000"}},
     {"-vol has been deprecated. Use the volume audio filter instead.",
      "-vol is forwarded to lavfi similarly to -af volume=2.000000",
      "-async is forwarded to lavfi similarly to -af "
      "aresample=async=1:min_hard_comp=0.100000:first_pts=0.",
      "Setting 'min_hard_comp' to value '0.100000'", "Setting 'first_pts' to value '0'"}},
    {"MapChannelAddsPan", "av.mp4", "", "-vn -map_channel 0.1.1 -map_channel 0.1.0 -c:a aac",
     "c.m4a", 0, "graph_0_in_0_1 > Parsed_anull_0 > pan > format_out_0_0 > out_0_0",
     {{"pan/args", "stereo|c0=c1|c1=c0"}},
     {"-map_channel is forwarded to lavfi similarly to -af pan=stereo|c0=c1|c1=c0."}},
    {"ApadWithShortestAndVideo", "av.mp4", "", "-apad pad_len=10 -shortest -t 1 -c:v mpeg4 -c:a aac",
     "ap.mkv", 1,
     "graph_1_in_0_1 > Parsed_anull_0 > format_out_0_1 > apad > "
     "trim for output stream 0:1 > out_0_1",
     {{"apad/pad_len", "10"}}},
    {"ApadWithoutVideoIsLeftOut", "av.mp4", "", "-vn -apad pad_len=10 -shortest -c:a aac",
     "ao.m4a", 0, "graph_0_in_0_1 > Parsed_anull_0 > format_out_0_0 > out_0_0", {}},
    {"ComplexGraphPicksTheSecondVideoStream", "f:two_video.mkv", "",
     "-filter_complex \"[0:v:1]scale=80:60[out]\" -map \"[out]\" -c:v mpeg4", "x.avi", 0,
     "graph 0 input from stream 0:1 > Parsed_scale_0 > format > out_0_0",
     {{"graph 0 input from stream 0:1/video_size", "160x120"}}},
    {"UnlabelledComplexOutputFeedsTheOutput", "av.mp4", "",
     "-filter_complex \"[0:v]scale=160:120\" -c:v mpeg4", "y.avi", 0,
     "graph 0 input from stream 0:0 > Parsed_scale_0 > format > out_0_0", {}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Filters, GraphShape, ::testing::ValuesIn(GraphCases),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace

namespace {

struct TErrorCase {
  const char *name;
  const char *input;
  const char *inOptions;
  const char *outOptions;
  bool fatal; // FFmpegException, else a negative result
  const char *text;
};

void PrintTo(const TErrorCase &c, std::ostream *os) {
  *os << c.name;
}

class GraphErrors : public FilesTest, public ::testing::WithParamInterface<TErrorCase> {};

TEST_P(GraphErrors, OutputIsRefusedWithTheToolsText) {
  const TErrorCase &c = GetParam();
  TCustomFFmpeg E;
  ASSERT_GE(OpenIn(E, c.inOptions, Input(c.input)).ret, 0);
  const std::string out = ScratchDir() + "/" + c.name + ".avi";
  TOpenResult r = OpenOut(E, c.outOptions, out);
  EXPECT_LT(r.ret, 0);
  EXPECT_EQ(r.threw, c.fatal);
  EXPECT_EQ(r.error.substr(0, std::strlen(c.text)), c.text);
  // Nothing of the failed output stays behind.
  EXPECT_EQ(E.Fnb_output_streams(), 0);
  EXPECT_EQ(E.Fnb_filtergraphs(), 0);
  for (auto &ist : E.Finput_streams)
    EXPECT_TRUE(ist->filters.empty());
  EXPECT_FALSE(std::filesystem::exists(out));
}

const TErrorCase ErrorCases[] = {
    {"FileIndex", "av.mp4", "", "-filter_complex \"[5:v]null\"", true,
     "Invalid file index 5 in filtergraph description [5:v]null."},
    {"NoStream", "av.mp4", "", "-filter_complex \"[0:s]null\"", true,
     "Stream specifier \":s\" in filtergraph description [0:s]null matches no streams."},
    {"NotASpecifier", "av.mp4", "", "-filter_complex \"[in]null\"", true,
     "Stream specifier \"in\" in filtergraph description [in]null matches no streams."},
    {"DisabledStream", "av.mp4", "-discard:v all", "-filter_complex \"[0:v]null\"", true,
     "Stream specifier \":v\" in filtergraph description [0:v]null matches a disabled input "
     "stream."},
    {"UnknownLabel", "av.mp4", "", "-filter_complex \"[0:v]null[out]\" -map \"[nope]\"", true,
     "Output with label \"nope\" does not exist in any defined filter graph, or was already used "
     "elsewhere."},
    {"LabelWithoutGraph", "av.mp4", "", "-map \"[x]\"", true,
     "Output with label \"x\" does not exist in any defined filter graph, or was already used "
     "elsewhere."},
    {"NoFreeInput", "av.mp4", "", "-filter_complex \"[0:a]anull;anull\"", true,
     "Cannot find a matching stream for unlabeled input pad 0 on filter Parsed_anull_1"},
    {"Streamcopy", "av.mp4", "", "-filter_complex \"[0:v]scale=160:120\" -c:v copy", true,
     "Streamcopy requested for output stream 0:0, which is fed from a complex filtergraph. "
     "Filtering and streamcopy cannot be used together."},
    {"SimpleFilterToo", "av.mp4", "", "-filter_complex \"[0:v]scale=160:120\" -vf null", true,
     "Filtergraph \"null\" was specified through the -vf/-af/-filter option for output stream "
     "0:0, which is fed from a complex filtergraph.\r\n-vf/-af/-filter and -filter_complex "
     "cannot be used together for the same stream."},
    {"UnknownFilter", "av.mp4", "", "-lavfi nosuchfilter", false,
     "Error initializing complex filters"},
    {"BadArgument", "av.mp4", "", "-filter_complex \"[0:v]scale=w=oops:h=(\"", false,
     "Error initializing complex filters"},
};

INSTANTIATE_TEST_SUITE_P(Filters, GraphErrors, ::testing::ValuesIn(ErrorCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(FilesTest, LabelledOutputNobodyMapsIsReportedUnconnected) {
  TCustomFFmpeg E;
  OpenTask(E, "av.mp4", "", "-filter_complex \"[0:v]null[out]\" -map 0:a", "unc.mkv");
  try {
    E.FilterGraphs().check_filter_outputs();
    ADD_FAILURE() << "no exception";
  } catch (const FFmpegException &e) {
    EXPECT_STREQ(e.what(), "Filter null:default has an unconnected output");
  }
}

TEST_F(FilesTest, GraphOptionsComeFromTheThreadOptionsAndTheScalerOptions) {
  TCustomFFmpeg E;
  OpenTask(E, "av.mp4", "",
           "-filter_threads 3 -filter_complex_threads 2 -filter_complex \"[0:a]anull\" "
           "-sws_flags lanczos -c:v mpeg4 -c:a aac",
           "threads.mkv");
  ASSERT_EQ(E.Fnb_filtergraphs(), 2);
  TFilterGraph *complex = E.Ffiltergraphs[0].get();
  TFilterGraph *simple = E.Ffiltergraphs[1].get();
  ASSERT_EQ(ConfigureFromStreams(E, complex), 0);
  ASSERT_EQ(ConfigureFromStreams(E, simple), 0);
  EXPECT_EQ(complex->graph->nb_threads, 2);
  EXPECT_EQ(simple->graph->nb_threads, 3);
  ASSERT_TRUE(simple->graph->scale_sws_opts);
  // Every scaler option as "key=value", joined with ':'.
  const std::string sws = simple->graph->scale_sws_opts;
  EXPECT_NE(sws.find("sws_flags=lanczos"), std::string::npos) << sws;
  EXPECT_NE(sws.back(), ':');
}

TEST_F(FilesTest, SplitInASimpleGraphIsRefusedAtConfiguration) {
  TLogCapture log;
  TCustomFFmpeg E;
  OpenTask(E, "av.mp4", "", "-vf \"split[a][b]\" -an", "split.mp4");
  EXPECT_EQ(ConfigureFromStreams(E, E.Ffiltergraphs[0].get()), AVERROR(EINVAL));
  EXPECT_FALSE(E.Ffiltergraphs[0]->graph);
  EXPECT_TRUE(log.Contains("Simple filtergraph \"split[a][b]\" was expected to have exactly 1 "
                           "input and 1 output. However, it had 1 input(s) and >1 output(s). "
                           "Please adjust, or use a complex filtergraph (-filter_complex) "
                           "instead."));
}

TEST_F(FilesTest, FailedOutputReleasesItsGraphAndTheNextOutputMapsIt) {
  TCustomFFmpeg E;
  ASSERT_GE(OpenIn(E, "", Input("av.mp4")).ret, 0);
  TOpenResult bad = OpenOut(E, "-filter_complex \"[0:v]scale=160:120[v]\" -map \"[v]\" -map 0:a",
                            ScratchDir() + "/no/such/folder/bad.mkv");
  EXPECT_LT(bad.ret, 0);
  EXPECT_EQ(E.Fnb_filtergraphs(), 0);
  TOpenResult good = OpenOut(E, "-filter_complex \"[0:v]scale=160:120[v]\" -map \"[v]\" -map 0:a",
                             ScratchDir() + "/good.mkv");
  ASSERT_GE(good.ret, 0) << good.error;
  ASSERT_EQ(E.Fnb_filtergraphs(), 2); // the complex graph and the audio stream's simple graph
  EXPECT_EQ(E.Ffiltergraphs[0]->outputs[0]->ost, E.Foutput_streams[0].get());
  EXPECT_EQ(E.Foutput_streams[0]->source_index, -1);
  EXPECT_EQ(E.Finput_streams[0]->filters.size(), 1u);
  EXPECT_EQ(E.Finput_streams[0]->decoding_needed & DECODING_FOR_FILTER, DECODING_FOR_FILTER);
}

} // namespace

namespace {

// A grey picture of the given size with a timestamp.
AVFrame *Picture(int w, int h, int64_t pts) {
  AVFrame *f = ff::av_frame_alloc();
  f->format = AV_PIX_FMT_YUV420P;
  f->width = w;
  f->height = h;
  f->pts = pts;
  f->sample_aspect_ratio = AVRational{1, 1};
  EXPECT_GE(ff::av_frame_get_buffer(f, 0), 0);
  for (int p = 0; p < 3; p++)
    std::memset(f->data[p], 128, size_t(f->linesize[p]) * size_t(p ? h / 2 : h));
  return f;
}

int Send(TCustomFFmpeg &E, TInputFilter *ifilter, AVFrame *f) {
  int ret = E.FilterGraphs().ifilter_send_frame(ifilter, f, false);
  ff::av_frame_free(&f);
  return ret;
}

// Sizes of the frames the sink has ready.
std::vector<std::string> Drain(AVFilterContext *sink) {
  std::vector<std::string> sizes;
  AVFrame *f = ff::av_frame_alloc();
  while (ff::av_buffersink_get_frame_flags(sink, f, 0) >= 0) {
    sizes.push_back(std::to_string(f->width) + "x" + std::to_string(f->height) + " " +
                    ff::av_get_pix_fmt_name(AVPixelFormat(f->format)));
    ff::av_frame_unref(f);
  }
  ff::av_frame_free(&f);
  return sizes;
}

class FrameFlow : public FilesTest {
protected:
  void Open(const std::string &inOptions, const std::string &outOptions) {
    OpenTask(E, "av.mp4", inOptions, outOptions, "flow.avi");
    fg = E.Ffiltergraphs[0].get();
    E.FilterGraphs().reap_filters = [this](bool flush) {
      reaps += flush ? 1 : 0;
      return 0;
    };
  }
  TCustomFFmpeg E;
  TFilterGraph *fg = nullptr;
  int reaps = 0;
};

TEST_F(FrameFlow, FramesComeOutScaledToTheEncodersSizeAndFormat) {
  Open("", "-s 160x120 -c:v mpeg4 -an");
  TInputFilter *in = fg->inputs[0].get();
  ASSERT_EQ(Send(E, in, Picture(320, 240, 0)), 0);
  EXPECT_EQ(reaps, 1); // pending output is reaped before the first configuration
  ASSERT_TRUE(fg->graph);
  ASSERT_EQ(Send(E, in, Picture(320, 240, 1)), 0);
  ASSERT_EQ(E.FilterGraphs().ifilter_send_eof(in, 2), 0);
  EXPECT_EQ(Drain(fg->outputs[0]->filter),
            (std::vector<std::string>{"160x120 yuv420p", "160x120 yuv420p"}));
  EXPECT_EQ(fg->outputs[0]->width, 160);
  EXPECT_EQ(fg->outputs[0]->format, AV_PIX_FMT_YUV420P);
}

TEST_F(FrameFlow, SizeChangeReconfiguresAndKeepsTheOutputSize) {
  Open("", "-c:v mpeg4 -an");
  TInputFilter *in = fg->inputs[0].get();
  ASSERT_EQ(Send(E, in, Picture(320, 240, 0)), 0);
  const AVFilterGraph *first = fg->graph.get();
  EXPECT_EQ(Drain(fg->outputs[0]->filter), (std::vector<std::string>{"320x240 yuv420p"}));
  ASSERT_EQ(Send(E, in, Picture(160, 120, 1)), 0);
  EXPECT_NE(fg->graph.get(), first);
  EXPECT_EQ(in->width, 160);
  EXPECT_EQ(reaps, 2);
  // The new graph scales back to the size the encoder was set up with.
  EXPECT_EQ(Drain(fg->outputs[0]->filter), (std::vector<std::string>{"320x240 yuv420p"}));
}

TEST_F(FrameFlow, ReinitFilterZeroKeepsTheGraph) {
  Open("-reinit_filter 0", "-c:v mpeg4 -an");
  TInputFilter *in = fg->inputs[0].get();
  ASSERT_EQ(Send(E, in, Picture(320, 240, 0)), 0);
  const AVFilterGraph *first = fg->graph.get();
  Send(E, in, Picture(160, 120, 1));
  EXPECT_EQ(fg->graph.get(), first);
  EXPECT_EQ(in->width, 320);
  EXPECT_EQ(reaps, 1);
}

TEST_F(FrameFlow, DisplayMatrixChangeReconfiguresEvenWithReinitFilterZero) {
  Open("-reinit_filter 0", "-c:v mpeg4 -an");
  TInputFilter *in = fg->inputs[0].get();
  ASSERT_EQ(Send(E, in, Picture(320, 240, 0)), 0);
  const AVFilterGraph *first = fg->graph.get();
  AVFrame *turned = Picture(320, 240, 1);
  AVFrameSideData *sd =
      ff::av_frame_new_side_data(turned, AV_FRAME_DATA_DISPLAYMATRIX, sizeof(TDisplayMatrix));
  ASSERT_TRUE(sd);
  ff::av_display_rotation_set(reinterpret_cast<int32_t *>(sd->data), 90);
  ASSERT_EQ(Send(E, in, turned), 0);
  EXPECT_NE(fg->graph.get(), first);
  EXPECT_TRUE(in->displaymatrix.has_value());
  // Turned, and scaled back to the size the first frames set for the encoder.
  EXPECT_EQ(Chain(*fg), "graph 0 input from stream 0:0 > transpose > Parsed_null_0 > "
                        "scaler_out_0_0 > format > out_0_0");
}

TEST_F(FrameFlow, AsyncAddsFirstPtsOnlyAtTheFirstConfiguration) {
  OpenTask(E, "av.mp4", "", "-vn -async 1 -c:a aac", "async.m4a");
  fg = E.Ffiltergraphs[0].get();
  ASSERT_EQ(ConfigureFromStreams(E, fg), 0);
  EXPECT_EQ(Option(*fg, "graph_0_aresample_in_0_1", "first_pts"), "0");
  ASSERT_EQ(E.FilterGraphs().configure_filtergraph(fg), 0);
  EXPECT_EQ(Option(*fg, "graph_0_aresample_in_0_1", "async"), "1.000000");
  EXPECT_NE(Option(*fg, "graph_0_aresample_in_0_1", "first_pts"), "0");
}

TEST_F(FilesTest, TwoInputGraphQueuesFramesUntilEveryInputIsKnown) {
  TCustomFFmpeg E;
  OpenTask(E, "f:two_video.mkv", "",
           "-filter_complex \"[0:v:0][0:v:1]overlay[v]\" -map \"[v]\" -c:v mpeg4", "ov.avi");
  TFilterGraph *fg = E.Ffiltergraphs[0].get();
  ASSERT_EQ(fg->nb_inputs(), 2);
  EXPECT_EQ(fg->inputs[0]->name, "overlay");
  ASSERT_EQ(Send(E, fg->inputs[0].get(), Picture(320, 240, 0)), 0);
  EXPECT_FALSE(fg->graph);
  EXPECT_EQ(ff::av_fifo_can_read(fg->inputs[0]->frame_queue.get()), 1u);
  // The second input ends before any frame: its stream's parameters stand in.
  ASSERT_EQ(E.FilterGraphs().ifilter_send_eof(fg->inputs[1].get(), 0), 0);
  EXPECT_TRUE(TFilterGraphs::ifilter_has_all_input_formats(fg));
  ASSERT_EQ(Send(E, fg->inputs[0].get(), Picture(320, 240, 1)), 0);
  ASSERT_TRUE(fg->graph);
  EXPECT_EQ(ff::av_fifo_can_read(fg->inputs[0]->frame_queue.get()), 0u);
}

} // namespace

namespace {

// A bitmap subtitle of one w x h rectangle at (x, y) painted with palette entry 1.
struct TBitmapSub {
  std::vector<uint8_t> pixels;
  uint32_t palette[256] = {0, 0xFF00FF00};
  AVSubtitleRect rect{};
  AVSubtitleRect *rects[1] = {&rect};
  AVSubtitle sub{};
  TBitmapSub(int x, int y, int w, int h, int64_t ptsUs) : pixels(size_t(w * h), 1) {
    rect.type = SUBTITLE_BITMAP;
    rect.x = x;
    rect.y = y;
    rect.w = w;
    rect.h = h;
    rect.nb_colors = 2;
    rect.data[0] = pixels.data();
    rect.data[1] = reinterpret_cast<uint8_t *>(palette);
    rect.linesize[0] = w;
    sub.num_rects = 1;
    sub.rects = rects;
    sub.pts = ptsUs;
    sub.end_display_time = 500;
  }
};

uint32_t Pixel(const AVFrame *f, int x, int y) {
  return reinterpret_cast<const uint32_t *>(f->data[0] + y * f->linesize[0])[x];
}

TEST_F(FilesTest, SubtitlesAreDrawnOnACanvasTheSizeOfTheVideo) {
  TLogCapture log;
  TCustomFFmpeg E;
  OpenTask(E, "tagged.mkv", "", "-filter_complex \"[0:v][0:s]overlay[v]\" -map \"[v]\" -c:v mpeg4",
           "s2v.avi");
  TFilterGraph *fg = E.Ffiltergraphs[0].get();
  ASSERT_EQ(fg->nb_inputs(), 2);
  TInputStream *subs = fg->inputs[1]->ist;
  EXPECT_EQ(fg->inputs[1]->type_, AVMEDIA_TYPE_SUBTITLE);
  EXPECT_EQ(subs->decoding_needed & DECODING_FOR_FILTER, DECODING_FOR_FILTER);

  // Before the canvas exists a subtitle is queued and drawn at configuration.
  TBitmapSub early(10, 10, 4, 2, 0);
  AVSubtitle queued = early.sub;
  queued.rects = nullptr; // the queue frees what it holds: give it nothing to free
  queued.num_rects = 0;
  EXPECT_TRUE(E.FilterGraphs().sub2video_process(subs, queued));

  ASSERT_EQ(ConfigureFromStreams(E, fg), 0);
  EXPECT_TRUE(log.Contains("sub2video: using 320x240 canvas"));
  const AVFrame *canvas = subs->sub2video.frame.get();
  ASSERT_TRUE(canvas);
  EXPECT_EQ(canvas->format, AV_PIX_FMT_RGB32);
  EXPECT_EQ(subs->sub2video.initialize, 0u); // the queued subtitle was drawn

  TBitmapSub sub(10, 10, 4, 2, 0);
  E.FilterGraphs().sub2video_update(subs, INT64_MIN, &sub.sub);
  EXPECT_EQ(Pixel(canvas, 10, 10), 0xFF00FF00u);
  EXPECT_EQ(Pixel(canvas, 13, 11), 0xFF00FF00u);
  EXPECT_EQ(Pixel(canvas, 14, 10), 0u);
  EXPECT_EQ(subs->sub2video.end_pts, 500); // 500 ms in the stream's 1/1000 time base

  TBitmapSub outside(318, 0, 4, 2, 0);
  E.FilterGraphs().sub2video_update(subs, INT64_MIN, &outside.sub);
  EXPECT_TRUE(log.Contains("sub2video: rectangle (318 0 4 2) overflowing 320 240"));
  EXPECT_EQ(Pixel(canvas, 10, 10), 0u); // repainted blank

  // A heartbeat past the end blanks the canvas and stamps it with the heartbeat time.
  E.FilterGraphs().sub2video_heartbeat(subs, 1000);
  EXPECT_EQ(subs->sub2video.end_pts, INT64_MAX);
  E.FilterGraphs().sub2video_flush(subs);
}

} // namespace

namespace {

TEST_F(FilesTest, LabelledOutputsOfOneGraphFeedTwoOutputFilesOnce) {
  TCustomFFmpeg E;
  OpenTask(E, "av.mp4", "", "-filter_complex \"[0:v]split[a][b]\" -map \"[a]\" -c:v mpeg4",
           "first.avi");
  TOpenResult second = OpenOut(E, "-map \"[b]\" -s 160x120 -c:v mpeg4", ScratchDir() + "/2.avi");
  ASSERT_GE(second.ret, 0) << second.error;
  TOpenResult third = OpenOut(E, "-map \"[a]\" -c:v mpeg4", ScratchDir() + "/3.avi");
  EXPECT_EQ(third.error, "Output with label \"a\" does not exist in any defined filter graph, "
                         "or was already used elsewhere.");
  TFilterGraph *fg = E.Ffiltergraphs[0].get();
  ASSERT_EQ(fg->nb_outputs(), 2);
  for (auto &ofilter : fg->outputs)
    EXPECT_EQ(ofilter->ost->file_index, std::string(ofilter->out_tmp->name) == "a" ? 0 : 1);
  EXPECT_NO_THROW(E.FilterGraphs().check_filter_outputs());
  ASSERT_EQ(ConfigureFromStreams(E, fg), 0);
  EXPECT_EQ(Chain(*fg), "graph 0 input from stream 0:0 > Parsed_split_0 > format > out_0_0");
  EXPECT_EQ(Option(*fg, "scaler_out_1_0", "w"), "160");
}

} // namespace

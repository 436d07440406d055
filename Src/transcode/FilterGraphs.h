// TFilterGraphs: the filter graphs of one task. Creates a simple graph for each encoded video
// or audio output stream, parses complex graphs (-filter_complex and friends) to find their
// inputs and outputs, binds complex graph outputs to new output streams, configures a graph
// once every input knows its frame parameters (and again when they change), feeds decoded
// frames, end of stream and rendered subtitles (sub2video) to the buffer sources.
//
// Threads: init_simple_filtergraph, init_complex_filters, init_output_filter and
// check_filter_outputs run while outputs are opened (main thread); everything else runs on the
// task's conversion thread. The graphs live in the engine's Ffiltergraphs.
// Failures: fatal conditions throw FFmpegException (after logging at fatal level); the others
// return a negative FFmpeg error code, logged with the texts of the ffmpeg tool.
// Frames: ifilter_send_frame takes ownership of the frame's data unless keep_reference is set
// (the caller keeps its own reference then); queued frames are owned by the input filter.
#pragma once

#include <functional>
#include <string>

#include "transcode/TFilterGraph.h"

class TCustomFFmpeg;
class TOutputStreamFactory;
struct TInputStream;
struct TOutputStream;

class TFilterGraphs {
public:
  explicit TFilterGraphs(TCustomFFmpeg &engine) : E(engine) {}

  // Drains every configured graph into the encoders (flush: end of stream to the encoders'
  // frame-rate conversion). Set by the transcode loop; called before a reconfiguration so that
  // frames still inside the old graph are not lost. Unset: nothing is reaped.
  std::function<int(bool flush)> reap_filters;

  // Opening outputs.
  int init_simple_filtergraph(TInputStream *ist, TOutputStream *ost);
  // Parses every complex graph not parsed yet: claims its input streams, lists its outputs.
  // Below zero: the graph description could not be parsed.
  int init_complex_filters();
  // Unbound complex graph output with this label, or null.
  TOutputFilter *FindUnboundOutput(const std::string &label) const;
  // Creates the output stream (through factory) fed by ofilter.
  void init_output_filter(TOutputFilter *ofilter, TOutputStreamFactory &factory);
  // Binds every unlabelled complex graph output that is still free; each switches off the
  // automatic stream choice for its media type (the flags are the option record's).
  void BindUnlabelledOutputs(TOutputStreamFactory &factory, int &videoDisable, int &audioDisable,
                             int &subtitleDisable);
  // Output constraints of the streams of one output file from their encoder settings.
  void SetOutputConstraints(int firstStream);
  // Fatal when some complex graph output was never bound.
  void check_filter_outputs() const;
  // Forgets what a failed output made: graphs beyond graphCount and bindings to streams beyond
  // streamCount.
  void UndoOutput(size_t graphCount, size_t streamCount);

  // Conversion thread.
  static bool filtergraph_is_simple(const TFilterGraph *fg) { return fg->is_simple; }
  static bool ifilter_has_all_input_formats(const TFilterGraph *fg);
  int configure_filtergraph(TFilterGraph *fg);
  static int ifilter_parameters_from_frame(TInputFilter *ifilter, const AVFrame *frame);
  int ifilter_send_frame(TInputFilter *ifilter, AVFrame *frame, bool keep_reference);
  int ifilter_send_eof(TInputFilter *ifilter, int64_t pts);

  // Subtitles drawn into video.
  void sub2video_update(TInputStream *ist, int64_t heartbeat_pts, const AVSubtitle *sub);
  void sub2video_heartbeat(TInputStream *ist, int64_t pts);
  void sub2video_flush(TInputStream *ist);
  // A decoded subtitle of a stream that feeds filters: drawn at once when the canvas exists,
  // else queued until its graph is configured (the queue then owns it and true is returned).
  bool sub2video_process(TInputStream *ist, AVSubtitle &sub);

private:
  [[noreturn]] void Fatal(const std::string &text) const;
  TInputFilter *AddInputFilter(TFilterGraph *fg, TInputStream *ist);
  int init_complex_filtergraph(TFilterGraph *fg);
  void init_input_filter(TFilterGraph *fg, AVFilterInOut *in);
  TInputStream *FindLabelledInput(const TFilterGraph *fg, const char *label, AVMediaType type);
  TInputStream *FindUnlabelledInput(const AVFilterInOut *in, AVMediaType type);
  void SetGraphOptions(TFilterGraph *fg);
  int ParseAndCheck(TFilterGraph *fg, AVFilterInOut **inputs, AVFilterInOut **outputs);
  int hw_device_setup_for_filter(TFilterGraph *fg);
  int configure_input_filter(TFilterGraph *fg, TInputFilter *ifilter, AVFilterInOut *in);
  int configure_input_video_filter(TFilterGraph *fg, TInputFilter *ifilter, AVFilterInOut *in);
  int configure_input_audio_filter(TFilterGraph *fg, TInputFilter *ifilter, AVFilterInOut *in);
  int InsertRotation(TInputFilter *ifilter, AVFilterContext **last, int *pad);
  int64_t InputTrimStart(const TInputStream *ist) const;
  int FinishInputChain(const TInputStream *ist, AVFilterContext *last, int pad,
                       const std::string &trimName, AVFilterInOut *in);
  int configure_output_filter(TFilterGraph *fg, TOutputFilter *ofilter, AVFilterInOut *out);
  int configure_output_video_filter(TFilterGraph *fg, TOutputFilter *ofilter, AVFilterInOut *out);
  int configure_output_audio_filter(TFilterGraph *fg, TOutputFilter *ofilter, AVFilterInOut *out);
  int FinishOutputChain(TOutputFilter *ofilter, AVFilterContext *last, int pad,
                        const std::string &trimName);
  std::string choose_pix_fmts(TOutputFilter *ofilter);
  int ForwardedFilter(const char *option, const char *filter, const std::string &name,
                      const std::string &args, AVFilterContext **last, int *pad);
  int FinishConfiguration(TFilterGraph *fg);
  int FeedQueued(TFilterGraph *fg);
  int sub2video_prepare(TInputStream *ist, TInputFilter *ifilter);
  void sub2video_push_ref(TInputStream *ist, int64_t pts);

  TCustomFFmpeg &E;
  int FNbParsedGraphs = 0; // complex graphs of Ffiltergraphs parsed so far (in order)
};

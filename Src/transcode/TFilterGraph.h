// Filter graph records of the transcoding engine: a graph (simple: one input and one output
// made for an encoded output stream; complex: -filter_complex, -lavfi, -filter_complex_script),
// its inputs (buffer sources fed by decoded input streams) and outputs (buffer sinks feeding
// encoders).
//
// Threads: created while outputs are opened (main thread); configured, fed and drained only by
// the task's conversion thread afterwards. Ownership: the engine's Ffiltergraphs owns every
// graph, a graph owns its inputs and outputs, each record owns the FFmpeg objects it holds
// (queued frames, the library graph, layouts, references). `filter` points into `graph` and is
// null while the graph is not configured; `ist`/`ost` are the engine's streams (not owned).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "components/FFAPI.h"
#include "transcode/common/FFOwners.h"

struct TInputStream;
struct TOutputStream;
struct TFilterGraph;

using TDisplayMatrix = std::array<int32_t, 9>;

struct TInputFilter {
  TInputFilter() = default;
  TInputFilter(const TInputFilter &) = delete;
  TInputFilter &operator=(const TInputFilter &) = delete;
  ~TInputFilter() { ff::av_channel_layout_uninit(&ch_layout); }

  AVFilterContext *filter = nullptr; // the buffer source, inside graph->graph
  TInputStream *ist = nullptr;
  TFilterGraph *graph = nullptr;
  std::string name;
  AVMediaType type_ = AVMEDIA_TYPE_UNKNOWN;
  TFrameFifoPtr frame_queue; // AVFrame* kept until the graph is configured

  // Parameters the source is (to be) configured with; format -1 = not known yet.
  int format = -1;
  int width = 0;
  int height = 0;
  AVRational sample_aspect_ratio{0, 1};
  int sample_rate = 0;
  AVChannelLayout ch_layout{};
  TBufferRefPtr hw_frames_ctx;
  std::optional<TDisplayMatrix> displaymatrix;
  int eof = 0;
};

struct TOutputFilter {
  TOutputFilter() = default;
  TOutputFilter(const TOutputFilter &) = delete;
  TOutputFilter &operator=(const TOutputFilter &) = delete;
  ~TOutputFilter() { ff::av_channel_layout_uninit(&ch_layout); }

  AVFilterContext *filter = nullptr; // the buffer sink, inside graph->graph
  TOutputStream *ost = nullptr;      // null until bound
  TFilterGraph *graph = nullptr;
  std::string name;
  // Complex graphs: the unconnected output as parsed (its label in `name`; the filter it
  // pointed to belonged to the parse-only graph and is cleared). Kept until bound.
  TFilterInOutPtr out_tmp;
  AVMediaType type_ = AVMEDIA_TYPE_UNKNOWN;

  // Wanted output (from the encoder settings, then what the sink negotiated).
  int width = 0;
  int height = 0;
  AVRational frame_rate{0, 0};
  int format = -1;
  int sample_rate = 0;
  AVChannelLayout ch_layout{};

  // The encoder's accepted lists (the encoder's own tables; null = any).
  const int *formats = nullptr;
  const AVChannelLayout *ch_layouts = nullptr;
  const uint64_t *channel_layouts = nullptr;
  const int *sample_rates = nullptr;
};

struct TFilterGraph {
  int index = 0;
  std::string graph_desc; // complex graphs; simple graphs use their output stream's avfilter
  bool is_simple = false;
  TAVFilterGraphPtr graph; // null until configured
  int reconfiguration = 0;
  int is_meta = 0;
  std::vector<std::unique_ptr<TInputFilter>> inputs;
  std::vector<std::unique_ptr<TOutputFilter>> outputs;
  int nb_inputs() const { return int(inputs.size()); }
  int nb_outputs() const { return int(outputs.size()); }
};

// TVideoFilterGraph: an optional filter graph ("buffer" -> description -> "buffersink")
// that decoded video frames pass through. Rebuilt whenever the description changes; a
// description that cannot be configured is cleared and frames pass unfiltered.
// Owned by one decoder; one thread at a time.
#pragma once

#include <string>

#include "components/FFAPI.h"
#include "components/TObject.h"
#include "media/MediaOwners.h"

// Parameters of the frames fed to the graph.
struct TVideoFilterSource {
  int Width = 0;
  int Height = 0;
  AVPixelFormat PixFmt = AV_PIX_FMT_NONE;
  AVRational TimeBase{1, 1};
  AVRational SAR{0, 1};
  AVRational FrameRate{0, 1}; // 0/x: unknown
};

class TVideoFilterGraph {
public:
  explicit TVideoFilterGraph(const TObject *ALogSender) : FLogSender(ALogSender) {}

  // Feeds AFrame and takes one frame into AFiltered. Returns the frame to use: AFiltered
  // when the graph produced one, AFrame when frames pass unfiltered (no graph, or feeding
  // failed), nullptr when the graph has no output yet. ADescription is cleared when the graph
  // cannot be configured.
  AVFrame *Filter(AVFrame *AFrame, AVFrame *AFiltered, std::string &ADescription,
                  const TVideoFilterSource &ASource);
  // Frees the graph; the next Filter rebuilds it.
  void Reset();

private:
  bool Build(const std::string &ADescription, const TVideoFilterSource &ASource);

  const TObject *FLogSender;
  TAVFilterGraphPtr FGraph;
  AVFilterContext *FBufferSrc = nullptr;  // owned by FGraph
  AVFilterContext *FBufferSink = nullptr; // owned by FGraph
  std::string FLastDescription;
};

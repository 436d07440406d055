// TInputStreamFactory: creates the input stream records of one input file being opened, with
// their decoder choice, decoder options and per-stream input options. Main thread, inside
// OpenInputFile. Fatal option errors throw FFmpegException.
#pragma once

#include <memory>
#include <vector>

#include "transcode/TCustomFFmpeg.h"

class TInputStreamFactory {
public:
  TInputStreamFactory(TCustomFFmpeg &engine, TOptionsContext &o, AVFormatContext *ic,
                      int fileIndex);
  // One record per stream of ic, appended to streams.
  void AddStreams(std::vector<std::unique_ptr<TInputStream>> &streams);

private:
  void SetupHWAccel(TInputStream &ist);

  TCustomFFmpeg &E;
  TOptionsContext &o;
  AVFormatContext *ic;
  int fileIndex;
};

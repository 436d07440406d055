// TOutputStreamFactory: creates the output streams of one output file being opened, with the
// encoder choice and the per-stream options of the file's option record. Each new stream is
// appended to the engine's Foutput_streams at once (the output's undo removes them again).
// Main thread, while OpenOutputFile runs. Fatal option errors throw FFmpegException.
#pragma once

#include <string>

#include "transcode/TCustomFFmpeg.h"

class TOutputStreamFactory {
public:
  TOutputStreamFactory(TCustomFFmpeg &engine, TOptionsContext &o, TOutputFile &of);

  // source: input stream index, or -1 (attachments).
  TOutputStream *NewVideoStream(int source);
  TOutputStream *NewAudioStream(int source);
  TOutputStream *NewSubtitleStream(int source);
  TOutputStream *NewDataStream(int source);
  TOutputStream *NewAttachmentStream(int source);
  // The stream for input stream source by its media type; null when the type is skipped.
  TOutputStream *NewStreamFor(int source);

private:
  TOutputStream *NewOutputStream(AVMediaType type, int source);
  void ChooseEncoder(TOutputStream &ost);
  void ApplyCommonOptions(TOutputStream &ost);
  void ReadFilters(TOutputStream &ost);
  void FinishFilters(TOutputStream &ost, AVMediaType type);
  void ApplyVideoRate(TOutputStream &ost);
  void ApplyVideoPicture(TOutputStream &ost);
  void ApplyMatrices(TOutputStream &ost);
  void ApplyRcOverride(TOutputStream &ost);
  void ApplyTwoPass(TOutputStream &ost);
  void ApplySyncMethod(TOutputStream &ost);
  void ApplyAudioFormat(TOutputStream &ost);
  void ApplyChannelMaps(TOutputStream &ost);

  TCustomFFmpeg &E;
  TOptionsContext &o;
  TOutputFile &of;
  AVFormatContext *oc;
};

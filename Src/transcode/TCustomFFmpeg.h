// TCustomFFmpeg: the engine that opens a task's files. OpenInputFile adds one input with its
// streams, OpenOutputFile one output with its streams, encoders' settings and muxer (encoders
// are opened and headers written when the conversion starts). Both run on the thread that adds
// tasks (the main thread) before the conversion thread exists.
// Failures: a negative FFmpeg error code with the reason in FLastErrMsg, or FFmpegException
// (the text is also left in FLastErrMsg); a failed call leaves earlier files untouched and
// removes what it had made (an output file it created is deleted when still empty).
#pragma once

#include <string>
#include <utility>

#include "components/TFFLogger.h"
#include "transcode/FilterGraphs.h"
#include "transcode/TCustomFFmpegOpt.h"

class TCustomFFmpeg : public TCustomFFmpegOpt {
public:
  std::string ClassName() const override { return "TCustomFFmpeg"; }

  // o: prepared by InitOptionsContext, released by the caller with UninitOptionsContext.
  // FileName: file name or URL in UTF-8. Result: index of the new file or a negative code.
  int OpenInputFile(TOptionsContext &o, const std::string &Options, const std::string &FileName,
                    const std::string &Presets);
  int OpenOutputFile(TOptionsContext &o, const std::string &Options, const std::string &FileName,
                     const std::string &Presets);

  // The task's filter graphs (configuring, feeding; the transcode loop's side).
  TFilterGraphs &FilterGraphs() { return FFilterGraphs; }

protected:
  int opt_map(TOptionsContext *o, const std::string &opt, const std::string &arg) override;
  int opt_map_channel(TOptionsContext *o, const std::string &opt, const std::string &arg) override;

private:
  friend class TInputStreamFactory;
  friend class TOutputStreamFactory;

  // Leaves text in FLastErrMsg, logs it at level and returns err.
  int Fail(TLogLevel level, const std::string &text, int err);
  int DoOpenInputFile(TOptionsContext &o, const std::string &Options, const std::string &FileName,
                      const std::string &Presets);
  int DoOpenOutputFile(TOptionsContext &o, const std::string &Options, const std::string &FileName,
                       const std::string &Presets);
  // -t / -to of one file; false (and FLastErrMsg set) when -to is not after -ss.
  bool ResolveStopTime(TOptionsContext &o);
  const AVCodec *FindCodecOrDie(const std::string &name, AVMediaType type, bool encoder) const;
  const AVCodec *ChooseDecoder(TOptionsContext &o, AVFormatContext *s, AVStream *st) const;
  void SetPerFormatOptions(TOptionsContext &o, const AVInputFormat *fmt);
  void SetForcedDecoders(TOptionsContext &o, AVFormatContext *ic);
  int CheckLeftoverFormatOptions(TOptionsContext &o);
  int ResolveSeek(TOptionsContext &o, AVFormatContext *ic, const std::string &FileName,
                  int64_t &timestamp);
  int CheckUnusedDecoderOptions(TOptionsContext &o, int fileIndex, const std::string &FileName,
                                const std::vector<std::unique_ptr<TInputStream>> &streams);
  int CheckUnusedCodecOptions(TOptionsContext &o, const std::vector<const AVDictionary *> &used,
                              bool encoding, int fileIndex, const std::string &FileName);
  void DumpAttachments(TOptionsContext &o, AVFormatContext *ic);
  void DumpAttachment(AVFormatContext *current, AVStream *st, const std::string &name);

  void ApplyInputSyncOffsets();
  // State to restore when an output fails half-way.
  struct TInputUse {
    int discard;
    AVDiscard stDiscard;
    int decodingNeeded;
    int processingNeeded;
  };
  struct TOutputUndo {
    size_t streams;
    size_t files;
    size_t graphs;
    bool fileExisted;
    std::vector<TInputUse> inputs;
  };
  void UndoOutputFile(const TOutputUndo &undo, const std::string &FileName);
  int CheckOutputFile(TOptionsContext &o, TOutputFile &of, const std::string &FileName);
  int InputFileAt(const std::string &name, const AVFormatContext *opening = nullptr) const;
  int InputFileMatching(const std::string &pattern) const;
  int OutputNamesInput(const AVOutputFormat *fmt, const std::string &FileName) const;
  int OpenOutputIO(TOutputFile &of, const std::string &FileName);
  void CreateOutputStreams(TOptionsContext &o, TOutputFile &of);
  void SelectStreamsAutomatically(TOptionsContext &o, TOutputFile &of);
  void AddAttachments(TOptionsContext &o, TOutputFile &of);
  std::pair<uint8_t *, int> ReadAttachment(const std::string &name);
  void SetDecodingNeeded(TOutputFile &of);
  void CreateSimpleFilterGraphs(TOutputFile &of);
  void MapComplexGraphOutput(TOutputStreamFactory &factory, const std::string &label);

  bool FSyncOffsetsApplied = false;
  TFilterGraphs FFilterGraphs{*this};
};

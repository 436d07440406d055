// TCustomFFmpeg: the engine that opens a task's files. OpenInputFile adds one input with its
// streams, OpenOutputFile one output with its streams, encoders' settings and muxer (encoders
// are opened and headers written when the conversion starts). Both run on the thread that adds
// tasks (the main thread) before the conversion thread exists.
// Failures: a negative FFmpeg error code with the reason in FLastErrMsg, or FFmpegException
// (the text is also left in FLastErrMsg); a failed call leaves earlier files untouched and
// removes what it had made (an output file it created is deleted when still empty).
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "components/TFFLogger.h"
#include "components/ThreadPriority.h"
#include "transcode/FilterGraphs.h"
#include "transcode/TCustomFFmpegOpt.h"

class TTaskHooks;
class TTaskControl;
class TTranscodeLoop;

// Progress report: file index (always -1), frames and fps of the first video output (-1 without
// video), quality, bit rate (kbit/s), bytes written, microseconds written and expected.
using TFFProgressEvent = std::function<void(
    TObject *Sender, int AFileIndex, int AFrameNumber, int AFPS, float AQuality, float ABitRate,
    int64_t ACurrentSize, int64_t ACurrentDuration, int64_t ATotalDuration)>;
using TNotifyEvent = std::function<void(TObject *Sender)>;

class TCustomFFmpeg : public TCustomFFmpegOpt {
public:
  TCustomFFmpeg();
  // Fires FOnDestroy, stops a running task (waiting for it) and releases everything.
  ~TCustomFFmpeg() override;
  std::string ClassName() const override { return "TCustomFFmpeg"; }

  // o: prepared by InitOptionsContext, released by the caller with UninitOptionsContext.
  // FileName: file name or URL in UTF-8. Result: index of the new file or a negative code.
  int OpenInputFile(TOptionsContext &o, const std::string &Options, const std::string &FileName,
                    const std::string &Presets);
  int OpenOutputFile(TOptionsContext &o, const std::string &Options, const std::string &FileName,
                     const std::string &Presets);

  // The task's hooks: ones that do nothing unless others were installed (the hook layer's
  // HooksOf installs its own).
  TTaskHooks &Hooks() { return *FHooks; }
  // Before the task starts; the hooks take the depth -VideoHookBitsPixel set.
  void SetHooks(std::unique_ptr<TTaskHooks> AHooks);
  // Bit depth of the hook bitmaps (8, 15, 16, 24, 32; another value is logged and ignored).
  void SetVideoHookBitsPixel(int ABitsPixel) override;
  // The task's filter graphs (configuring, feeding; the transcode loop's side).
  TFilterGraphs &FilterGraphs() { return FFilterGraphs; }
  // ---- task control (the conversion thread and loop) ------------------------------------------
  // Runs the task on a worker thread of APriority (AUseThread) or on the calling thread (then it
  // returns when the task has ended). Nothing happens while converting or once terminated.
  void StartConvert(bool AUseThread, TThreadPriority APriority = tpNormal);
  // Pause / Resume take effect at the loop's next checkpoint; only while running / paused.
  void Pause();
  void Resume();
  // Asks the loop to end (it still flushes and writes the trailers); AWaitForStop waits for it.
  void Stop(bool AWaitForStop);
  // Stop while converting; before a start, reports the termination from a thread of its own.
  void RequestTerminate(bool AWaitForStop);
  // Switches native-rate pacing of every input on or off during a task. From another thread
  // while the task runs, the loop takes the switch at its next checkpoint (the inputs' state is
  // the task thread's alone).
  void SetRateEmu(bool Value);

  bool Converting() const;
  bool Terminated() const;
  bool Finished() const;       // ran to completion: not stopped, every packet and trailer written
  bool FatalException() const; // a fatal error ended the task
  std::string FatalMessage() const;
  int Suspended() const; // -1 not started, 0 running, 1 paused
  uint64_t ThreadID() const;

  TFFProgressEvent FOnProgress;
  TNotifyEvent FOnTerminate; // fired once, on the task's thread, when the task has ended
  TNotifyEvent FOnDestroy;

  // Records the first error line the engine logs and the libraries' first one on the threads
  // that open its files and run its task, as the tool's first error lines explain a failure.
  void ErrorLogged(const std::string &AText, bool ALibrary) const override;
  // The reason of a failure as the tool gives it: the engine's first error line, the library's
  // first explanation, then AText when it adds to them (lines joined by CR LF).
  std::string ExplainedError(const std::string &AText) const;

  // The task body and its phases (called by the task's thread).
  void Run();
  bool PrepareTranscode();
  void Transcode();
  void Cleanup();
  void FinishTranscode();
  void PrintReport(bool is_last, int64_t timer_start, int64_t cur_time);

protected:
  int opt_map(TOptionsContext *o, const std::string &opt, const std::string &arg) override;
  int opt_map_channel(TOptionsContext *o, const std::string &opt, const std::string &arg) override;

private:
  friend class TInputStreamFactory;
  friend class TOutputStreamFactory;
  friend class TTaskControl;
  friend class TTranscodeLoop;
  void ReleaseHWDevices();
  void ApplyRateEmu(bool Value);
  // On the task thread: a switch SetRateEmu left for it.
  void TakeRateEmuRequest();

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

  // An input's timestamp offset from -itsoffset, its -ss point and -copyts/-start_at_zero.
  void SetTsOffset(TInputFile &f) const;
  // At each output: the inputs' timestamp offsets under the global options known by then, then
  // the -isync adjustments.
  void SettleInputOffsets();
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
  int InputNamed(const std::string &name) const override;
  // The refusal of a file this output's options write over an input, or empty.
  std::string SideOutputOverInput(const TOutputFile &of) const;
  int InputFileMatching(const std::string &pattern) const;
  int OutputNamesInput(const AVOutputFormat *fmt, const std::string &FileName) const;
  int CheckOverwrite(const std::string &FileName);
  int OpenOutputIO(TOutputFile &of, const std::string &FileName);
  // A new output file written beside the one it replaces.
  struct TReplacement {
    std::string temp;
    std::string target;
    bool written;
  };
  void FinishReplacements(const std::vector<TReplacement> &replacements);
  void CreateOutputStreams(TOptionsContext &o, TOutputFile &of);
  void SelectStreamsAutomatically(TOptionsContext &o, TOutputFile &of);
  void AddAttachments(TOptionsContext &o, TOutputFile &of);
  std::pair<uint8_t *, int> ReadAttachment(const std::string &name);
  void SetDecodingNeeded(TOutputFile &of);
  void CreateSimpleFilterGraphs(TOutputFile &of);
  void MapComplexGraphOutput(TOutputStreamFactory &factory, const std::string &label);

  void ForgetErrors();
  // On failure: the library's explanation added to FLastErrMsg.
  int ExplainOpenFailure(int ret);
  // In a handler of an opening's exception: raises it again, as an FFmpegException with the
  // library's explanation added when there is one.
  [[noreturn]] void RethrowExplained();

  mutable std::mutex FErrorsLock;
  mutable std::string FFirstError;        // the engine's own
  mutable std::string FFirstLibraryError; // a library's
  TFilterGraphs FFilterGraphs{*this};

  std::unique_ptr<TTaskHooks> FHooks;
  std::unique_ptr<TTaskControl> FTask;
  std::unique_ptr<TTranscodeLoop> FLoop; // the running task's stage state (transcode_init..Cleanup)
  std::atomic<int> FRateEmuRequest{-1};  // SetRateEmu from another thread: -1 none, 0 off, 1 on
  bool FTranscodeInitialized = false;
  bool FTranscodeCleanuped = false;
};

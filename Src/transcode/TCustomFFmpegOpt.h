// TCustomFFmpegOpt: the engine's option layer. Owns the option table, the engine-wide fields
// that global options set, the parse object and the file and stream arrays that opening files
// fills (TCustomFFmpeg, derived, opens them). Option texts are parsed on the main thread before
// the task runs. Afterwards the conversion thread owns the task's state: it reads the option
// fields, writes the stream and file records (TInputFile.h, TOutputFile.h say which stage writes
// which), and writes FLastErrMsg when the task fails (read by others once the task has ended).
// Of these fields, other threads touch only the atomics (FBroken, FLastRead, FLastWrite) while it
// runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "components/FFAPI.h"
#include "components/TObject.h"
#include "transcode/HWDevices.h"
#include "transcode/TFilterGraph.h"
#include "transcode/TInputFile.h"
#include "transcode/TOptionsContext.h"
#include "transcode/TOutputFile.h"
#include "transcode/common/FFmpegException.h"
#include "transcode/common/TFFOptions.h"

using TBeforeFindStreamInfoEvent = std::function<void(TObject *Sender, AVFormatContext *)>;

class TCustomFFmpegOpt : public TObject {
public:
  TCustomFFmpegOpt();
  ~TCustomFFmpegOpt() override;
  TCustomFFmpegOpt(const TCustomFFmpegOpt &) = delete;
  TCustomFFmpegOpt &operator=(const TCustomFFmpegOpt &) = delete;
  std::string ClassName() const override { return "TCustomFFmpegOpt"; }

  // The option table: built once, ended by a row with an empty name.
  const TOptionDef *OptionDef() {
    BuildOptionTable();
    return FOptionDef;
  }
  TFFOptions &Options() { return *FOptions; }
  const std::string &LastErrMsg() const { return FLastErrMsg; }

  // Fresh record for one file, pointing at the parse context's file group.
  void InitOptionsContext(TOptionsContext &o);
  // Frees the record's values and the parse context.
  void UninitOptionsContext(TOptionsContext &o);

  // Parses one file's option text and preset text. fileFlag: ofInput or ofOutput; role:
  // "input file" or "output file". Below zero: error, the reason in LastErrMsg().
  // Value conversion errors throw FFmpegException.
  int ParseOptions(TOptionsContext &optctx, const std::string &text, uint32_t fileFlag,
                   const std::string &fileName, const std::string &role,
                   const std::string &presets);
  int ParsePresets(TOptionsContext &optctx, const std::string &presets, const std::string &role);
  // Parse-and-write of one option (re-dispatch); 1 when it takes a value, 0 when not.
  int ParseOption(TOptionsContext *optctx, const std::string &opt, const std::string &arg);

  bool HaltOnInvalidOption = true;

  // Engine option fields, set by global rows.
  float Faudio_drift_threshold = 0.1f;
  float Fdts_delta_threshold = 10.0f;
  float Fdts_error_threshold = 108000.0f;
  int Faudio_volume = 256;
  int Faudio_sync_method = 0;
  int Fvideo_sync_method = VSYNC_AUTO;
  float Fframe_drop_threshold = 0;
  int Fdo_hex_dump = 0;
  int Fdo_pkt_dump = 0;
  int Fcopy_ts = 0;
  int Fstart_at_zero = 0;
  int Fcopy_tb = -1;
  int Fdebug_ts = 0;
  int Fexit_on_error = 0;
  int Fprint_stats = -1;
  int Fqp_hist = 0;
  std::string Ffilter_nbthreads;
  int Ffilter_complex_nbthreads = 0;
  int Fvstats_version = 2;
  int Fauto_conversion_filters = 1;
  int Ffile_overwrite = 0;
  int Fno_file_overwrite = 0;
  // An existing output file is replaced only with -y, as the tool does (the command line; the
  // program asks the user before it adds the output).
  bool FOverwriteNeedsY = false;
  int Fdo_psnr = 0;
  int Finput_stream_potentially_available = 0;
  int Fignore_unknown_streams = 0;
  int Fcopy_unknown_streams = 0;
  int Frecast_media = 0;
  int Ffind_stream_info = 1;
  std::string Fvstats_filename;
  std::string Fsdp_filename;
  TAVIOPtr Fprogress_avio;
  std::vector<std::unique_ptr<TFilterGraph>> Ffiltergraphs;
  int Fnb_filtergraphs() const { return int(Ffiltergraphs.size()); }
  THWDevicePtr Ffilter_hw_device; // a device of the process-wide list
  // The devices this task created or decodes with: it holds them until its end, whatever other
  // tasks release.
  std::vector<THWDevicePtr> FHWDevices;
  TBufferRefPtr Fhw_device_ctx;
  int Frate_emu = 0;
  int64_t FReportInterval = 500000; // microseconds
  int FReadTimeout = 30000;         // milliseconds
  int FWriteTimeout = 30000;        // milliseconds
  int FVideoHookBitsPixel = 0;      // 0: not set by -VideoHookBitsPixel

  // Files and streams of the task (filled by OpenInputFile / OpenOutputFile).
  std::vector<std::unique_ptr<TInputStream>> Finput_streams;
  std::vector<std::unique_ptr<TInputFile>> Finput_files;
  std::vector<std::unique_ptr<TOutputStream>> Foutput_streams;
  std::vector<std::unique_ptr<TOutputFile>> Foutput_files;
  int Fnb_input_streams() const { return int(Finput_streams.size()); }
  int Fnb_input_files() const { return int(Finput_files.size()); }
  int Fnb_output_streams() const { return int(Foutput_streams.size()); }
  int Fnb_output_files() const { return int(Foutput_files.size()); }

  // Interrupt callbacks for blocking reads and writes: more than FReadTimeout / FWriteTimeout ms
  // since the stamp aborts the operation; a stop request (FBroken) aborts reads.
  AVIOInterruptCB FReadCallback{};
  AVIOInterruptCB FWriteCallback{};
  std::atomic<int64_t> FLastRead{0};  // av_gettime_relative() stamp
  std::atomic<int64_t> FLastWrite{0}; // av_gettime_relative() stamp
  std::atomic<bool> FBroken{false};
  int64_t FInputDuration = 0;
  int64_t FOutputDuration = 0;
  std::string FLastErrMsg;
  TBeforeFindStreamInfoEvent FOnBeforeFindStreamInfo;

  // Hook bitmap depth of -VideoHookBitsPixel; the hook layer overrides it.
  virtual void SetVideoHookBitsPixel(int ABitsPixel) { FVideoHookBitsPixel = ABitsPixel; }
  // The input a file that an option writes (-progress, -vstats_file, ...) would destroy: an
  // opened input or the one whose options are being parsed (FOpeningInput); -1 when none.
  // The engine, which holds the inputs, overrides it.
  virtual int InputNamed(const std::string &) const { return -1; }
  std::string FOpeningInput;

protected:
  // -map and -map_channel need the opened inputs: TCustomFFmpeg overrides them. Here they are
  // refused like an unsupported option.
  virtual int opt_map(TOptionsContext *o, const std::string &opt, const std::string &arg);
  virtual int opt_map_channel(TOptionsContext *o, const std::string &opt, const std::string &arg);

  // Per-stream lookups: the last element of opts whose specifier matches stream st of s, or
  // null. A malformed specifier throws FFmpegException("check_stream_specifier: ...").
  static const TSpecifierOpt *MatchPerStreamOpt(const TSpecifierOpts &opts, AVFormatContext *s,
                                                AVStream *st);
  static std::string MatchPerStreamStr(const TSpecifierOpts &opts, AVFormatContext *s, AVStream *st,
                                       const std::string &def = {});
  static int MatchPerStreamInt(const TSpecifierOpts &opts, AVFormatContext *s, AVStream *st,
                               int def);
  static int64_t MatchPerStreamInt64(const TSpecifierOpts &opts, AVFormatContext *s, AVStream *st,
                                     int64_t def);
  static float MatchPerStreamFloat(const TSpecifierOpts &opts, AVFormatContext *s, AVStream *st,
                                   float def);
  static double MatchPerStreamDouble(const TSpecifierOpts &opts, AVFormatContext *s, AVStream *st,
                                     double def);
  // Stream-specifier test of one stream; throws as above on a malformed specifier.
  static bool CheckStreamSpecifier(AVFormatContext *s, AVStream *st, const std::string &spec);

  static int ReadInterrupt(void *AEngine);
  static int WriteInterrupt(void *AEngine);

  std::unique_ptr<TFFOptions> FOptions;
  std::string &OptionErrorText() { return FOptions->ErrorText(); }

private:
  void BuildOptionTable();
  void AddRow(const char *name, uint32_t flags, const char *help, const char *argname);
  void AddField(const char *name, uint32_t flags, void *dst, const char *help, const char *argname);
  // A row writing field of the file's record; its flags' value type must be the field's type.
  template <typename T>
  void AddFileField(const char *name, uint32_t flags, T TOptionsContext::*field, const char *help,
                    const char *argname);
  void AddHandler(const char *name, uint32_t flags, Tfunc_arg handler, const char *help,
                  const char *argname);
  int ParseLogLevel(const std::vector<std::string> &argv);
  int InterruptCheck(int64_t AStamp, int ATimeoutMs, bool AReading) const;

  // Handlers (optctx, name as written, value).
  int opt_ignored(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_refused(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_accepted(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_loglevel(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_max_alloc(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_cpuflags(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_cpucount(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_redispatch(TOptionsContext *o, const std::string &name, const std::string &arg);
  int opt_type_letter(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_qscale(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_profile(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_bitrate(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_timecode(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_seconds(TOptionsContext *o, const std::string &target, const std::string &arg);
  int opt_video_hook_bits(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_default_row(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_target(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_stats_period(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_progress(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_filter_complex(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_filter_complex_script(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_filter_threads(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_sdp_file(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_vstats(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_vstats_file(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_vsync(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_init_hw_device(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_filter_hw_device(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_qsv_device(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int InitHWDevice(const std::string &arg);
  int opt_streamid(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_attach(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_recording_timestamp(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int opt_preset_file(TOptionsContext *o, const std::string &opt, const std::string &arg);
  int ApplyPresetLine(TOptionsContext &o, const std::string &line, const std::string &where,
                      const std::string &fileName);
  int DetectTargetNorm() const;

  std::vector<TOptionDef> _OptionDef;
  const TOptionDef *FOptionDef = nullptr;
};

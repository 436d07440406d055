// TProgressReport: the status of a running task. Every report interval (and once at the end) it
// computes frames, fps, quality (with -qphist its histogram, with -psnr the PSNR), size, time,
// bit rate and speed; fires the engine's progress event, logs the status line, writes the
// -progress block; at the end logs the final statistics. It also keeps the -vstats file. Task
// thread only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "components/FFAPI.h"
#include "transcode/common/FFOwners.h"

class TCustomFFmpeg;
class TTranscodeLoop;
struct TOutputStream;

class TProgressReport {
public:
  TProgressReport(TCustomFFmpeg &AEngine, TTranscodeLoop &ALoop);
  ~TProgressReport();
  TProgressReport(const TProgressReport &) = delete;
  TProgressReport &operator=(const TProgressReport &) = delete;

  void print_report(bool is_last, int64_t timer_start, int64_t cur_time);
  // One -vstats line for a video packet just encoded by ost (timestamps in its mux time base).
  void do_video_stats(const TOutputStream &ost, const AVPacket *pkt);
  // Closes the -vstats file (logged on failure).
  void CloseVideoStats();

private:
  struct TValues {
    double t = 0;            // seconds since the loop started
    int64_t total_size = -1; // bytes of output file 0; negative when unknown
    int64_t frames = -1;     // first video output; -1 without one
    double fps = 0;
    float q = -1;                 // last stream's quality
    int64_t pts = AV_NOPTS_VALUE; // microseconds written
    double bitrate = -1;
    double speed = -1;
  };

  bool Due(bool is_last, int64_t cur_time);
  TValues Measure(bool is_last, int64_t timer_start, int64_t cur_time, std::string &line,
                  std::string &script);
  void MeasureFirstVideo(const TOutputStream &ost, bool is_last, TValues &v, std::string &line,
                         std::string &script);
  void AppendQpHistogram(float q, std::string &line);
  void AppendPsnr(const TOutputStream &ost, bool is_last, int64_t frames, std::string &line,
                  std::string &script);
  void WriteProgressBlock(bool is_last, std::string &script);
  void FireProgress(const TValues &v);
  void print_final_stats(int64_t total_size);

  TCustomFFmpeg &E;
  TTranscodeLoop &L;
  int64_t Flast_time = -1;
  int Ffirst_report = 1;
  uint64_t Fqp_histogram[52] = {}; // -qphist: reports per quality of the first video output
  TFilePtr Fvstats_file;
};

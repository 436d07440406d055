// Helpers of the conversion-loop tests: one task engine with its inputs and outputs opened,
// its progress and termination events recorded, and facts about the files it wrote.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "../files/FilesTestSupport.h"
#include "../files/ToolComparison.h"

std::string LoopFixture(const std::string &name); // make_loop_fixtures.sh media

struct TProgressRecord {
  int fileIndex, frameNumber, fps;
  float quality, bitRate;
  int64_t currentSize, currentDuration, totalDuration;
};

// An engine for one conversion. Open* return false (with the text in Error) on failure.
class TTask {
public:
  TTask();
  bool OpenInput(const std::string &file, const std::string &options = "");
  bool OpenOutput(const std::string &file, const std::string &options);
  void Start(bool useThread) { E->StartConvert(useThread, tpNormal); }
  // Waits (at most 30 s) for the termination event.
  bool WaitTerminated();

  std::unique_ptr<TCustomFFmpeg> E;
  std::string Error;
  std::atomic<int> Terminations{0};
  std::atomic<int> ProgressEvents{0};
  std::mutex Lock;
  std::vector<TProgressRecord> Progress;
};

// Number of decodable frames of the file's first video stream (ffprobe -count_frames).
int CountVideoFrames(const std::string &file);
// Number of key frame packets of the file's first video stream.
int CountKeyFrames(const std::string &file);
// True when every packet of the file decodes without an error message.
bool DecodesCleanly(const std::string &file);
std::string Scratch(const std::string &name);

class LoopTest : public FilesTest {};

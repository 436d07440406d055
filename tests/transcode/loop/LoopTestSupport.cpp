#include "LoopTestSupport.h"

#include <chrono>
#include <cstdlib>
#include <thread>

std::string LoopFixture(const std::string &name) {
  return std::string(QuilletLoopFixtures) + "/" + name;
}

std::string Scratch(const std::string &name) {
  return ScratchDir() + "/" + name;
}

TTask::TTask() : E(std::make_unique<TCustomFFmpeg>()) {
  E->FOnTerminate = [this](TObject *) { Terminations++; };
  E->FOnProgress = [this](TObject *, int file, int frame, int fps, float q, float br, int64_t size,
                          int64_t cur, int64_t total) {
    ProgressEvents++;
    std::lock_guard lock(Lock);
    Progress.push_back({file, frame, fps, q, br, size, cur, total});
  };
}

bool TTask::OpenInput(const std::string &file, const std::string &options) {
  TOpenResult r = OpenIn(*E, options, file);
  Error = r.error;
  return r.ret >= 0;
}

bool TTask::OpenOutput(const std::string &file, const std::string &options) {
  TOpenResult r = OpenOut(*E, "-y " + options, file);
  Error = r.error;
  return r.ret >= 0;
}

bool TTask::WaitTerminated() {
  for (int i = 0; i < 3000 && !Terminations; i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return Terminations > 0;
}

int CountVideoFrames(const std::string &file) {
  std::string text = RunText("ffprobe -v error -select_streams v:0 -count_frames -show_entries "
                             "stream=nb_read_frames -of csv=p=0 \"" +
                             file + "\"");
  return text.empty() ? -1 : std::atoi(text.c_str());
}

int CountKeyFrames(const std::string &file) {
  std::string text = RunText("ffprobe -v error -select_streams v:0 -show_entries packet=flags "
                             "-of csv=p=0 \"" +
                             file + "\" | grep -c K");
  return text.empty() ? -1 : std::atoi(text.c_str());
}

bool DecodesCleanly(const std::string &file) {
  return RunText("ffmpeg -nostdin -v error -i \"" + file + "\" -f null - 2>&1").empty();
}

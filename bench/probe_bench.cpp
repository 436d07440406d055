// Probing benchmark driver: probes media files the way the adding window does (LoadFile,
// duration, size, first-stream video facts, CloseFile) and, in turns with it, runs Debian's
// ffprobe on the same file asking for the same facts. Prints median per-file times.
//
//   probe_bench [--ffprobe PATH] [--rounds N] FILE...   compare, in turns, per file
//   probe_bench --one FILE                             probe one file and print its facts
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "components/TFFLoader.h"
#include "media/TFFDecoder.h"

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

// The facts one list entry needs. Returns false when the file cannot be opened.
bool ProbeForList(TFFDecoder &ADecoder, const std::string &AFile, std::string &AFacts) {
  if (!ADecoder.LoadFile(AFile))
    return false;
  char text[256];
  int64_t duration = ADecoder.FileStreamInfo().Duration;
  if (ADecoder.VideoStreamCount() >= 1 && ADecoder.IsVideoStream(0)) {
    TVideoStreamInfo v = ADecoder.VideoStreamInfos(0);
    std::snprintf(text, sizeof text, "%lld us, %lld bytes, %f fps, %d kb, %dx%d",
                  (long long)duration, (long long)ADecoder.FileSize(),
                  v.FrameRate.den ? double(v.FrameRate.num) / v.FrameRate.den : 0.0,
                  v.BitRate / 1000, v.Width, v.Height);
  } else {
    std::snprintf(text, sizeof text, "%lld us, %lld bytes", (long long)duration,
                  (long long)ADecoder.FileSize());
  }
  AFacts = text;
  ADecoder.CloseFile();
  return true;
}

// Runs a program with its output discarded; the wall time in microseconds, -1 on failure.
double RunProcess(const std::vector<std::string> &AArgs) {
  std::vector<char *> argv;
  for (const std::string &a : AArgs)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  auto start = Clock::now();
  pid_t pid;
  int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0)
    return -1;
  int status = 0;
  waitpid(pid, &status, 0);
  double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? us : -1;
}

double Median(std::vector<double> AValues) {
  if (AValues.empty())
    return 0;
  std::sort(AValues.begin(), AValues.end());
  size_t n = AValues.size();
  return n % 2 ? AValues[n / 2] : (AValues[n / 2 - 1] + AValues[n / 2]) / 2;
}

std::string SelfPath() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, size_t(n)) : std::string("probe_bench");
}

} // namespace

int main(int argc, char **argv) {
  std::string ffprobe = "/usr/bin/ffprobe";
  int rounds = 3;
  std::vector<std::string> files;
  bool one = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--ffprobe" && i + 1 < argc)
      ffprobe = argv[++i];
    else if (a == "--rounds" && i + 1 < argc)
      rounds = std::max(1, std::atoi(argv[++i]));
    else if (a == "--one")
      one = true;
    else
      files.push_back(a);
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: probe_bench [--ffprobe PATH] [--rounds N] [--one] FILE...\n");
    return 2;
  }
  auto loadStart = Clock::now();
  if (!FFLoader().Load(DecoderLibraries)) {
    std::fprintf(stderr, "%s\n", FFLoader().LastErrMsg().c_str());
    return 1;
  }
  double loadUs = std::chrono::duration<double, std::micro>(Clock::now() - loadStart).count();
  TFFDecoder decoder;
  std::string facts;
  if (one) {
    bool ok = ProbeForList(decoder, files[0], facts);
    std::printf("%s\n", ok ? facts.c_str() : decoder.LastErrMsg().c_str());
    return ok ? 0 : 1;
  }

  const std::string self = SelfPath();
  const std::vector<std::string> ffprobeArgs = {
      ffprobe,
      "-v",
      "error",
      "-show_entries",
      "format=duration,size,bit_rate:stream=index,codec_type,width,height,r_frame_rate,bit_rate",
      "-of",
      "compact"};
  std::vector<double> ours, oursProcess, theirs;
  int failures = 0;
  for (int r = 0; r < rounds; ++r)
    for (const std::string &file : files) {
      // In turns: our decoder in this process, our decoder in a fresh process, ffprobe.
      auto start = Clock::now();
      if (!ProbeForList(decoder, file, facts))
        ++failures;
      ours.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
      double us = RunProcess({self, "--one", file});
      if (us >= 0)
        oursProcess.push_back(us);
      std::vector<std::string> args = ffprobeArgs;
      args.push_back(file);
      us = RunProcess(args);
      if (us >= 0)
        theirs.push_back(us);
    }
  double mOurs = Median(ours), mOursProcess = Median(oursProcess), mTheirs = Median(theirs);
  std::printf("files: %zu, rounds: %d, probes per side: %zu (unreadable: %d)\n", files.size(),
              rounds, ours.size(), failures / rounds);
  std::printf("library load, once per process:     %9.1f us\n", loadUs);
  std::printf("median per file, decoder in-process: %9.1f us\n", mOurs);
  std::printf("median per file, decoder process:    %9.1f us\n", mOursProcess);
  std::printf("median per file, ffprobe process:    %9.1f us\n", mTheirs);
  if (mTheirs > 0) {
    std::printf("ratio in-process / ffprobe:          %9.3f\n", mOurs / mTheirs);
    std::printf("ratio process / ffprobe:             %9.3f\n", mOursProcess / mTheirs);
  }
  return 0;
}

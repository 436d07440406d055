// quillet-cli run as a child process by the tests: its exit status, stdout and stderr.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "../transcode/files/FilesTestSupport.h"

extern char **environ;

struct TCliRun {
  int status = -1; // exit status; -1 when it did not exit normally
  std::string out;
  std::string err;
};

inline std::string FileText(const std::string &AFile) {
  std::ifstream in(AFile, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class TCliProcess {
public:
  // AStdin: the program's standard input (-1: the test's own).
  explicit TCliProcess(const std::vector<std::string> &AArgs, int AStdin = -1) {
    const std::string base = ScratchDir() + "/cli" + std::to_string(++Count);
    FOut = base + ".out";
    FErr = base + ".err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (AStdin >= 0)
      posix_spawn_file_actions_adddup2(&actions, AStdin, 0);
    posix_spawn_file_actions_addopen(&actions, 1, FOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, FErr.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> args{QUILLET_CLI};
    args.insert(args.end(), AArgs.begin(), AArgs.end());
    std::vector<char *> argv;
    for (std::string &a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&FPid, QUILLET_CLI, &actions, nullptr, argv.data(), environ) != 0)
      FPid = -1;
    posix_spawn_file_actions_destroy(&actions);
  }

  // Waits up to ASeconds until stderr holds AText.
  bool WaitForError(const std::string &AText, int ASeconds = 10) {
    for (int i = 0; i < ASeconds * 100; i++) {
      if (FileText(FErr).find(AText) != std::string::npos)
        return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  // What the program has written to stdout so far.
  std::string Output() const { return FileText(FOut); }
  void Signal(int ASignal) { ::kill(FPid, ASignal); }

  TCliRun Wait() {
    TCliRun run;
    int status = 0;
    if (FPid > 0 && ::waitpid(FPid, &status, 0) == FPid && WIFEXITED(status))
      run.status = WEXITSTATUS(status);
    run.out = FileText(FOut);
    run.err = FileText(FErr);
    return run;
  }

  // As Wait, but a program still running after ASeconds is killed (status -1).
  TCliRun WaitOrKill(int ASeconds) {
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < ASeconds * 100 && ended == 0; i++) {
      ended = ::waitpid(FPid, &status, WNOHANG);
      if (ended == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (ended == 0) {
      ::kill(FPid, SIGKILL);
      ::waitpid(FPid, &status, 0);
    }
    TCliRun run;
    run.status = ended == FPid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = FileText(FOut);
    run.err = FileText(FErr);
    return run;
  }

private:
  static inline int Count = 0;
  pid_t FPid = -1;
  std::string FOut, FErr;
};

inline TCliRun RunCli(const std::vector<std::string> &AArgs) {
  return TCliProcess(AArgs).Wait();
}

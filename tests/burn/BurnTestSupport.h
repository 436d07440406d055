// Shared helpers of the burner tests: fixtures, a scratch folder, the pseudo-drive variable
// and a recorder of the burner's events that waits for them on the main thread.
#pragma once

#include "burn/TDiscBurner.h"
#include "components/CallInMainThread.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

inline std::string Fixture(const std::string &AName) {
  return std::string(QUILLET_FIXTURES) + "/" + AName;
}

// A fresh folder under the system's temporary folder, removed at the end.
struct TScratchDir {
  std::filesystem::path Path;
  TScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillet-burn-XXXXXX");
    Path = mkdtemp(pattern.data());
  }
  ~TScratchDir() { std::filesystem::remove_all(Path); }
  std::string operator/(const std::string &AName) const { return (Path / AName).string(); }
};

// Sets the pseudo-drive list for the test's lifetime.
struct TPseudoDrives {
  explicit TPseudoDrives(const std::string &AList) {
    setenv(TDiscBurner::PseudoDrivesVariable, AList.c_str(), 1);
  }
  ~TPseudoDrives() { unsetenv(TDiscBurner::PseudoDrivesVariable); }
};

// Records the events of one burner and checks that each ran on the main thread.
struct TEventLog {
  std::vector<std::string> Events; // "process", "finalize", "burn:<error>", "erase:<error>"
  int Processes = 0;
  double LastWritten = 0;
  bool OffMainThread = false;

  explicit TEventLog(TDiscBurner &ABurner) {
    // Workers queue their calls; WaitDone serves them on this (the main) thread.
    SetMainThreadDispatcher([](const std::function<void()> &) {});
    ABurner.OnProcess = [this](TDiscBurner *, float, float, float, double written, double) {
      Note("process");
      ++Processes;
      LastWritten = written;
    };
    ABurner.OnFinalize = [this](TDiscBurner *) { Note("finalize"); };
    ABurner.OnBurnDone = [this](TDiscBurner *, const std::string &e) { Note("burn:" + e); };
    ABurner.OnEraseDone = [this](TDiscBurner *, const std::string &e) { Note("erase:" + e); };
  }
  ~TEventLog() { SetMainThreadDispatcher(nullptr); }

  void Note(const std::string &AEvent) {
    OffMainThread = OffMainThread || !IsMainThread();
    if (AEvent != "process")
      Events.push_back(AEvent);
  }
  // Serves the worker's events until a done event arrived (or 60 s passed).
  bool WaitDone(TDiscBurner &ABurner) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    WaitInMainThread([&] { return Done() || std::chrono::steady_clock::now() > deadline; });
    WaitInMainThread([&] { return !ABurner.Busy(); });
    return Done();
  }
  bool Done() const {
    return !Events.empty() &&
           (Events.back().rfind("burn:", 0) == 0 || Events.back().rfind("erase:", 0) == 0);
  }
};

// quillet-cli: converts one file with Quillet's engine, without windows.
#include <csignal>
#include <cstdio>
#include <filesystem>

#include "cli/BatchArguments.h"
#include "cli/CliArguments.h"
#include "cli/CliPreset.h"
#include "cli/CliTargetSize.h"
#include "cli/TCliBatch.h"
#include "cli/TCliPreview.h"
#include "cli/TCliTask.h"
#include "components/CallInMainThread.h"
#include "shell/settings/UserPresets.h"

namespace {

std::string ProgramFolder() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : exe.parent_path().string();
}

// Common set-up of both forms: events are served while the main thread waits (WaitInMainThread),
// so the dispatcher wakes nothing; a reader that went away is a write error (EPIPE, "Broken
// pipe"), not the end of the program.
TStopSignal &PrepareToConvert() {
  SetMainThreadDispatcher([](const std::function<void()> &) {});
  std::signal(SIGPIPE, SIG_IGN);
  return TStopSignal::Install();
}

int RunBatch(int argc, char **argv) {
  TBatchArguments args;
  const std::string wrong = ParseBatchArguments(argc, argv, args);
  if (args.Help) {
    std::fputs(BatchUsage().c_str(), stdout);
    return 0;
  }
  if (!wrong.empty()) {
    std::fprintf(stderr, "%s\n\n%s", wrong.c_str(), BatchUsage().c_str());
    return 2;
  }
  if (args.Inputs.empty())
    args.Inputs = ReadInputNames(stdin, args.NulSeparated ? '\0' : '\n');
  if (args.Inputs.empty()) {
    std::fputs("No input files.\n", stderr);
    return 2;
  }
  TStopSignal &stop = PrepareToConvert();
  TCliBatch batch(args, stop, stdout, stderr);
  return batch.Run(ProgramFolder());
}

} // namespace

int main(int argc, char **argv) {
  if (IsBatchCommandLine(argc, argv))
    return RunBatch(argc, argv);
  TCliArguments args;
  const std::string wrong = ParseCliArguments(argc, argv, args);
  if (args.Help) {
    std::fputs(CliUsage().c_str(), stdout);
    return 0;
  }
  if (args.Version) {
    std::puts("quillet-cli " QUILLET_VERSION);
    return 0;
  }
  if (!wrong.empty()) {
    std::fprintf(stderr, "%s\n\n%s", wrong.c_str(), CliUsage().c_str());
    return 2;
  }
  const std::string folder = ProgramFolder();
  TCliPreset preset;
  if (!args.Preset.empty()) {
    const std::optional<TCliPreset> found =
        FindCliPreset(args.Preset, DefaultPresetsPath(), {args.Input, folder, stderr});
    if (!found) {
      std::fprintf(stderr, "Unknown preset: %s\n", args.Preset.c_str());
      return 2;
    }
    preset = *found;
    for (TCliOutput &output : args.Outputs)
      output.Options = preset.Options + " " + output.Options;
  }
  // With the preview the task converts on a worker whose events are queued.
  TStopSignal &stop = PrepareToConvert();
  // Outlives the task: the window goes before the application that shows it.
  std::unique_ptr<TCliPreview> preview;
  std::string reason;
  if (args.Preview && !(preview = TCliPreview::Open(folder, argc, argv, reason)))
    std::fprintf(stderr, "Preview unavailable: %s. Converting without it.\n", reason.c_str());
  const auto convert = [&](const TCliArguments &AArgs) {
    TCliTask task(AArgs, stop, stderr);
    if (preview)
      task.ShowPreview([&preview] { preview->ProcessEvents(); });
    return task.Run(folder);
  };
  if (preset.TargetSize > 0)
    return ConvertToTargetSize(args, preset, folder, stderr, convert);
  return convert(args);
}

#include "cli/CliTargetSize.h"

#include "media/TFFDecoder.h"
#include "shell/settings/TargetSize.h"

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// Both passes read the input from its start: standard input or another pipe cannot be read
// twice.
bool ReadableTwice(const std::string &AInput) {
  std::error_code error;
  return AInput != "-" && !AInput.starts_with("pipe:") && !fs::is_fifo(AInput, error);
}

// The input's duration in microseconds as the decoder reads it; -1 when unknown.
int64_t SourceDuration(const std::string &AInput, const std::string &ALibraryPath) {
  TFFDecoder decoder;
  if (!decoder.AVLibLoaded() && !decoder.LoadAVLib(ALibraryPath))
    return -1;
  return decoder.LoadFile(AInput) ? decoder.FileStreamInfo().Duration : -1;
}

// A fresh folder under the temporary folder, removed with everything in it at the end.
class TPassLogFolder {
public:
  TPassLogFolder() {
    std::string name = (fs::temp_directory_path() / "quillet-cli-XXXXXX").string();
    if (::mkdtemp(name.data()))
      FPath = name;
  }
  ~TPassLogFolder() {
    std::error_code error;
    if (!FPath.empty())
      fs::remove_all(FPath, error);
  }
  TPassLogFolder(const TPassLogFolder &) = delete;
  TPassLogFolder &operator=(const TPassLogFolder &) = delete;
  const std::string &Path() const { return FPath; }

private:
  std::string FPath;
};

int Refuse(FILE *AOut, const std::string &AReason) {
  std::fprintf(AOut, "Target size: %s\n", AReason.c_str());
  return 1;
}

} // namespace

TCliArguments PassArguments(const TCliArguments &AArgs, int APass, int AVideoKbps,
                            const std::string &ALogFolder) {
  TCliArguments pass = AArgs;
  for (size_t i = 0; i < pass.Outputs.size(); ++i) {
    TCliOutput &output = pass.Outputs[i];
    const std::string prefix = ALogFolder + "/out" + std::to_string(i);
    output.Options += PassOptions(APass, AVideoKbps, prefix);
    if (APass == 1) // the null muxer writes no file
      output.File = prefix + ".null";
  }
  return pass;
}

int ConvertToTargetSize(const TCliArguments &AArgs, const TCliPreset &APreset,
                        const std::string &ALibraryPath, FILE *AOut,
                        const std::function<int(const TCliArguments &)> &ARunPass) {
  if (!ReadableTwice(AArgs.Input))
    return Refuse(AOut, "the two passes read the input twice, which a pipe cannot give.");
  const int64_t duration = SourceDuration(AArgs.Input, ALibraryPath);
  const int videoKbps = TargetVideoKbps(APreset.TargetSize, duration, APreset.AudioKbps);
  if (videoKbps <= 0)
    return Refuse(AOut, duration > 0 ? std::to_string(APreset.TargetSize) +
                                           " MB is too small for the sound alone."
                                     : "the duration of " + AArgs.Input + " is unknown.");
  const TPassLogFolder logs;
  if (logs.Path().empty())
    return Refuse(AOut, "no temporary folder for the pass log.");
  std::fprintf(AOut, "%s\n",
               TargetSizeNote(APreset.TargetSize, videoKbps, APreset.AudioKbps).c_str());
  int status = 0;
  for (int pass = 1; pass <= 2 && status == 0; ++pass) {
    std::fprintf(AOut, "Pass %d of 2\n", pass);
    status = ARunPass(PassArguments(AArgs, pass, videoKbps, logs.Path()));
  }
  return status;
}

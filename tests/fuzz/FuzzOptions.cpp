// libFuzzer target: the option-text tokenizer, the split into global and file groups with the
// pass-through to the library options, and (for texts that touch no files, devices or process
// limits) the whole parse of one file's option text and preset text.
#include <cstdint>
#include <cstring>
#include <string>

#include "components/TFFLoader.h"
#include "transcode/TCustomFFmpegOpt.h"

namespace {

// Rows whose handlers open files or URLs, create devices or change process-wide limits.
bool TouchesTheOutsideWorld(const TOptionDef *table, const std::vector<std::string> &argv) {
  static const char *const Rows[] = {"progress",
                                     "filter_complex_script",
                                     "apre",
                                     "vpre",
                                     "spre",
                                     "fpre",
                                     "init_hw_device",
                                     "qsv_device",
                                     "filter_hw_device",
                                     "cpuflags",
                                     "cpucount",
                                     "max_alloc"};
  for (const std::string &a : argv) {
    const TOptionDef *po = a.size() > 1 && a[0] == '-' ? FindOption(table, a.substr(1)) : nullptr;
    for (const char *r : Rows)
      if (po && po->name == r)
        return true;
  }
  return false;
}

void CheckTokens(const std::string &text, const std::vector<std::string> &argv) {
  size_t bytes = 0;
  for (const std::string &a : argv) {
    if (a.find('\0') != std::string::npos)
      __builtin_trap();
    bytes += a.size();
  }
  if (bytes > text.size())
    __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  if (!FFLoader().Load(EncoderLibraries))
    return 1;
  ff::av_log_set_level(AV_LOG_QUIET);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0)
    return 0;
  // First byte: halting mode and which parse; the rest: option text, then after a zero byte
  // an optional preset text.
  const uint8_t mode = data[0];
  std::string rest(reinterpret_cast<const char *>(data + 1), size - 1);
  size_t nul = rest.find('\0');
  std::string text = rest.substr(0, nul);
  std::string presets = nul == std::string::npos ? std::string() : rest.substr(nul + 1);

  std::vector<std::string> argv = SplitOptionText(text);
  CheckTokens(text, argv);

  TCustomFFmpegOpt engine;
  engine.HaltOnInvalidOption = mode & 1;
  TOptionsContext o;
  engine.InitOptionsContext(o);
  if ((mode & 2) && !TouchesTheOutsideWorld(engine.OptionDef(), argv)) {
    try {
      engine.ParseOptions(o, text, (mode & 4) ? ofInput : ofOutput, "fuzz.mkv",
                          (mode & 4) ? "input file" : "output file", presets);
    } catch (const FFmpegException &) {
      // Conversion errors are reported by exception; the caller turns them into a failure.
    }
  } else
    engine.Options().parse_options(&o, argv, engine.OptionDef(), "output file", mode & 1);
  engine.UninitOptionsContext(o);
  ff::av_log_set_level(AV_LOG_QUIET);
  ff::av_log_set_flags(0);
  return 0;
}

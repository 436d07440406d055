#include "cli/BatchArguments.h"

#include <cstring>
#include <string_view>

namespace {

constexpr int MaxJobs = 64;

// The value of an option that takes one; null when the line ends first.
const char *ValueOf(int &AIndex, int argc, const char *const *argv) {
  return AIndex + 1 < argc ? argv[++AIndex] : nullptr;
}

std::string TakeJobs(const char *AValue, TBatchArguments &AArgs) {
  char *end = nullptr;
  const long jobs = std::strtol(AValue, &end, 10);
  if (end == AValue || *end != '\0' || jobs < 1 || jobs > MaxJobs)
    return "-j needs a number of tasks from 1 to " + std::to_string(MaxJobs) + ".";
  AArgs.Jobs = int(jobs);
  return {};
}

// One option that takes a value; false when AOption is none of them.
bool TakeValue(std::string_view AOption, const char *AValue, TBatchArguments &AArgs,
               std::string &AWrong) {
  std::string *target = AOption == "-I"   ? &AArgs.InputOptions
                        : AOption == "-O" ? &AArgs.OutputOptions
                        : AOption == "-o" ? &AArgs.Folder
                        : AOption == "-n" ? &AArgs.Pattern
                                          : nullptr;
  if (!target && AOption != "-j")
    return false;
  if (!AValue)
    AWrong = "Option " + std::string(AOption) + " needs a value.";
  else if (AOption == "-j")
    AWrong = TakeJobs(AValue, AArgs);
  else
    *target = AValue;
  return true;
}

std::string CheckComplete(const TBatchArguments &AArgs) {
  if (AArgs.Folder.empty())
    return "An output folder (-o FOLDER) is needed.";
  if (AArgs.Pattern.empty())
    return "The name pattern (-n) is empty.";
  if (AArgs.NulSeparated && !AArgs.Inputs.empty())
    return "-0 reads the input names from standard input: give no INPUT then.";
  return {};
}

} // namespace

bool IsBatchCommandLine(int argc, const char *const *argv) {
  return argc > 1 && std::strcmp(argv[1], "batch") == 0;
}

std::string ParseBatchArguments(int argc, const char *const *argv, TBatchArguments &AArgs) {
  bool optionsEnded = false; // after "--" every word is an input
  for (int i = 2; i < argc; i++) {
    const std::string_view arg = argv[i];
    if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
      AArgs.Inputs.emplace_back(arg);
      continue;
    }
    std::string wrong;
    if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--help" || arg == "-h") {
      AArgs.Help = true;
      return {};
    } else if (arg == "-0") {
      AArgs.NulSeparated = true;
    } else if (arg == "--json") {
      AArgs.Json = true;
    } else if (arg.size() > 2 && arg.substr(0, 2) == "-j") { // -j2, as make and xargs -P2
      wrong = TakeJobs(argv[i] + 2, AArgs);
    } else if (!TakeValue(arg, ValueOf(i, argc, argv), AArgs, wrong)) {
      return "Unknown option: " + std::string(arg);
    }
    if (!wrong.empty())
      return wrong;
  }
  return CheckComplete(AArgs);
}

std::vector<std::string> ReadInputNames(FILE *AIn, char ASeparator) {
  std::vector<std::string> names;
  std::string name;
  for (int c; (c = std::fgetc(AIn)) != EOF;) {
    if (c != static_cast<unsigned char>(ASeparator)) {
      name += char(c);
      continue;
    }
    if (!name.empty())
      names.push_back(std::move(name));
    name.clear();
  }
  if (!name.empty())
    names.push_back(std::move(name));
  return names;
}

std::string BatchUsage() {
  return "Usage: quillet-cli batch [-j N] [-0] [--json] [-I \"input options\"]\n"
         "                         [-O \"output options\"] -o FOLDER [-n PATTERN] [INPUT...]\n"
         "\n"
         "Converts every INPUT into FOLDER with the same option strings, N files at once in\n"
         "one process. Without INPUT the names are read from standard input, one a line, or\n"
         "NUL-separated with -0 (as find -print0 writes them).\n"
         "\n"
         "  -j N       convert N files at once (default 1, at most 64)\n"
         "  -0         names on standard input are separated by NUL bytes\n"
         "  --json     progress on stdout as one JSON object a line: {\"file\", \"output\",\n"
         "             \"state\" (running, finished, failed, stopped, skipped), \"percent\"\n"
         "             (null when the length is unknown), \"speed\", \"error\"}\n"
         "  -I, -O     input and output option strings, as in the single-file form\n"
         "  -o FOLDER  where the outputs go (created when missing)\n"
         "  -n PATTERN the output's name: {name} is the input's name without its extension,\n"
         "             {ext} its extension, {dir} the name of its folder; the extension\n"
         "             chooses the container unless -f does (default \"{name}.avi\")\n"
         "  --         every later word is an INPUT\n"
         "\n"
         "An existing output is replaced only with -y in the output options. Inputs that\n"
         "would get the same output (a/clip.mp4 and b/clip.mp4), or an output that would be an\n"
         "input, are numbered: clip.avi, clip (2).avi. Messages of the engine name their file.\n"
         "Ctrl+C stops every running conversion cleanly (their outputs stay playable) and\n"
         "starts no further one.\n"
         "\n"
         "Exit status: 0 every file finished; 1 any file failed or was refused; 2 wrong\n"
         "command line; 130 stopped by Ctrl+C.\n";
}

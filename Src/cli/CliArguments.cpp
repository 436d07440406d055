#include "cli/CliArguments.h"

namespace {

// One argument after the flags: an option string or a file, in the order the line allows.
std::string TakeArgument(const std::string &AArg, const char *ANext, TCliArguments &AArgs,
                         bool &AOptionsPending) {
  const bool input = AArgs.Input.empty();
  if (AArg == "-I" || AArg == "-O") {
    if (!ANext)
      return "Option " + AArg + " needs an option string.";
    if ((AArg == "-I") != input)
      return AArg == "-I" ? "-I must come before INPUT." : "-O must come after INPUT.";
    if (AOptionsPending && AArg == "-O")
      return "-O must be followed by its OUTPUT.";
    if (input)
      AArgs.InputOptions = ANext;
    else
      AArgs.Outputs.push_back({ANext, {}});
    AOptionsPending = !input;
    return {};
  }
  if (input)
    AArgs.Input = AArg;
  else if (AOptionsPending)
    AArgs.Outputs.back().File = AArg;
  else if (AArgs.Outputs.empty())
    AArgs.Outputs.push_back({{}, AArg});
  else // a further output comes with its own -O, so that a stray word is not taken for one
    return "Unexpected argument: " + AArg;
  AOptionsPending = false;
  return {};
}

} // namespace

std::string ParseCliArguments(int argc, const char *const *argv, TCliArguments &AArgs) {
  bool optionsPending = false; // an -O waits for its OUTPUT
  for (int i = 1; i < argc; i++) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      AArgs.Help = true;
      return {};
    }
    if (arg == "--version") {
      AArgs.Version = true;
      return {};
    }
    if (arg == "--preview") {
      AArgs.Preview = true;
      continue;
    }
    if (arg == "--preset") {
      if (i + 1 >= argc || !*argv[i + 1])
        return "Option --preset needs a name.";
      AArgs.Preset = argv[++i];
      continue;
    }
    const bool takesText = arg == "-I" || arg == "-O";
    const std::string wrong =
        TakeArgument(arg, takesText && i + 1 < argc ? argv[i + 1] : nullptr, AArgs, optionsPending);
    if (!wrong.empty())
      return wrong;
    if (takesText)
      i++;
  }
  // Options after the only OUTPUT without its own (INPUT OUTPUT -O "...") belong to it.
  const size_t count = AArgs.Outputs.size();
  if (optionsPending && count == 2 && AArgs.Outputs[0].Options.empty()) {
    AArgs.Outputs[0].Options = AArgs.Outputs[1].Options;
    AArgs.Outputs.pop_back();
    optionsPending = false;
  }
  if (AArgs.Input.empty() || AArgs.Outputs.empty() || optionsPending)
    return "An input and an output file are needed.";
  return {};
}

std::string CliUsage() {
  return "Usage: quillet-cli [--preview] [-I \"input options\"] INPUT [-O \"output options\"] "
         "OUTPUT\n"
         "                   [-O \"output options\" OUTPUT]...\n"
         "       quillet-cli batch [-j N] ... -o FOLDER [INPUT...]   (many files; see\n"
         "                   \"quillet-cli batch --help\")\n"
         "\n"
         "Converts INPUT into OUTPUT with Quillet's engine, as one task of its encoder\n"
         "component. The option strings use the syntax of the ffmpeg 5.1 command-line tool:\n"
         "-I holds the options of the input file (e.g. \"-ss 5\"), -O those of the output file\n"
         "(e.g. \"-y -c:v libx264 -vf scale=1280:720 -c:a aac\"). Without -y an existing OUTPUT\n"
         "is not overwritten; with -y it is replaced once the new file has been written (a\n"
         "failed conversion keeps it). \"-\" as INPUT or OUTPUT is standard input or output\n"
         "(name the output's format with -f then); stdout then carries nothing but the media.\n"
         "Each further OUTPUT, written in the same run as the tool's \"-i in out1 out2\" does,\n"
         "comes with its own -O (\"\" for none).\n"
         "\n"
         "Messages of the engine and the libraries go to stderr at the ffmpeg tool's default\n"
         "level (warnings and errors; -loglevel in an option string changes it). Progress is\n"
         "shown on one line of stderr (percent when the length is known, output time, frames\n"
         "and frames per second with video, size, speed), then the task's termination record.\n"
         "Ctrl+C stops the conversion: the output is finished properly and stays playable.\n"
         "\n"
         "Exit status: 0 the conversion finished; 1 it failed, or the engine refused the\n"
         "input, the output or an option (its message is printed); 2 wrong command line;\n"
         "130 stopped by Ctrl+C.\n"
         "\n"
         "  --preview    show the output pictures in a preview window (at most ten a second)\n"
         "               and play the output sound while converting; needs a display, and\n"
         "               converts without it when there is none\n"
         "  --preset NAME  convert with the options of a built-in profile (\"HD AVC (*.mp4)\",\n"
         "               its sizes and rates included) or of one of your own presets (its\n"
         "               settings, or its FFmpeg command text), put before each output's -O\n"
         "               options; a preset with a target size converts in two passes at the\n"
         "               video bit rate that fills it (the input is read twice)\n"
         "  -h, --help   show this text\n"
         "  --version    show the program's version\n";
}

#include "cli/CliArguments.h"

std::string ParseCliArguments(int argc, const char *const *argv, TCliArguments &AArgs) {
  int files = 0;
  for (int i = 1; i < argc; i++) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      AArgs.Help = true;
      return {};
    }
    if (arg == "--preview") {
      AArgs.Preview = true;
      continue;
    }
    if (arg == "-I" || arg == "-O") {
      if (i + 1 >= argc)
        return "Option " + arg + " needs an option string.";
      if ((arg == "-I") != (files == 0))
        return arg == "-I" ? "-I must come before INPUT." : "-O must come after INPUT.";
      (arg == "-I" ? AArgs.InputOptions : AArgs.OutputOptions) = argv[++i];
    } else if (files == 0) {
      AArgs.Input = arg;
      files++;
    } else if (files == 1) {
      AArgs.Output = arg;
      files++;
    } else
      return "Unexpected argument: " + arg;
  }
  if (files < 2)
    return "An input and an output file are needed.";
  return {};
}

std::string CliUsage() {
  return "Usage: quillet-cli [--preview] [-I \"input options\"] INPUT [-O \"output options\"] "
         "OUTPUT\n"
         "\n"
         "Converts INPUT into OUTPUT with Quillet's engine, as one task of its encoder\n"
         "component. The option strings use the syntax of the ffmpeg 5.1 command-line tool:\n"
         "-I holds the options of the input file (e.g. \"-ss 5\"), -O those of the output file\n"
         "(e.g. \"-y -c:v libx264 -vf scale=1280:720 -c:a aac\"). Without -y an existing OUTPUT\n"
         "is not overwritten; with -y it is replaced once the new file has been written (a\n"
         "failed conversion keeps it). \"-\" as INPUT or OUTPUT is standard input or output\n"
         "(name the output's format with -f then); stdout then carries nothing but the media.\n"
         "\n"
         "Progress is shown on one line of stderr (percent when the length is known, output\n"
         "time, size, speed), then the task's termination record.\n"
         "Ctrl+C stops the conversion: the output is finished properly and stays playable.\n"
         "\n"
         "Exit status: 0 the conversion finished; 1 it failed, or the engine refused the\n"
         "input, the output or an option (its message is printed); 2 wrong command line;\n"
         "130 stopped by Ctrl+C.\n"
         "\n"
         "  --preview    show the output pictures in a preview window (at most ten a second)\n"
         "               and play the output sound while converting; needs a display, and\n"
         "               converts without it when there is none\n"
         "  -h, --help   show this text\n";
}

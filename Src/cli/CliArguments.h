// The command line of quillet-cli:
//   quillet-cli [--preview] [-I "input options"] INPUT [-O "output options"] OUTPUT
//               [-O "output options" OUTPUT]...
//   (--preset NAME may come anywhere before INPUT or after it)
//   quillet-cli --help
//   quillet-cli --version
#pragma once

#include <string>
#include <vector>

struct TCliOutput {
  std::string Options;
  std::string File;
};

struct TCliArguments {
  std::string InputOptions;
  std::string Input;
  std::vector<TCliOutput> Outputs; // at least one once parsed without error
  bool Help = false;
  bool Version = false;
  bool Preview = false; // show the pictures and play the sound while converting
  std::string Preset;   // --preset: a profile's or own preset's options lead every output's
};

// Fills AArgs; returns an empty text, or what is wrong with the command line.
std::string ParseCliArguments(int argc, const char *const *argv, TCliArguments &AArgs);

// The --help text.
std::string CliUsage();

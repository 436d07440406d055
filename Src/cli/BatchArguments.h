// The batch form of quillet-cli's command line:
//   quillet-cli batch [-j N] [-0] [--json] [-I "input options"] [-O "output options"]
//                     -o FOLDER [-n PATTERN] [INPUT...]
// Without INPUT the names come from standard input, one a line (NUL-separated with -0).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

struct TBatchArguments {
  int Jobs = 1; // tasks converting at once
  bool NulSeparated = false;
  bool Json = false;
  bool Help = false;
  std::string InputOptions;
  std::string OutputOptions;
  std::string Folder;
  std::string Pattern = "{name}.avi";
  std::vector<std::string> Inputs;
};

// True when the command line asks for the batch form (its first word is "batch").
bool IsBatchCommandLine(int argc, const char *const *argv);
// Fills AArgs from the words after "batch"; returns an empty text, or what is wrong.
std::string ParseBatchArguments(int argc, const char *const *argv, TBatchArguments &AArgs);
// Reads input names from AIn, each ended by ASeparator (the last one may lack it); empty names
// are left out.
std::vector<std::string> ReadInputNames(FILE *AIn, char ASeparator);
// The --help text of the batch form.
std::string BatchUsage();

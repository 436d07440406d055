// Where the program's own files are: beside the program (the build tree), or in the installed
// tree's data and module folders next to the program's "bin" folder.
#pragma once

#include <string>

enum class TProgramFileKind {
  pfData,  // style file, manual: <prefix>/share/quillet
  pfModule // loadable modules: <prefix>/lib/quillet
};

// The path of AName for the program in AProgramFolder: beside the program when it is there,
// else in ../share/quillet (data) or ../lib/quillet (modules) when it is there, else beside
// the program (so that a message names the expected place).
std::string ProgramFilePath(const std::string &AProgramFolder, const std::string &AName,
                            TProgramFileKind AKind);

// Reading a whole small file (the settings file, the style file) that never blocks on, nor is
// fooled by, something that is not a regular file: a FIFO, a device, a directory.
#pragma once

#include <cstddef>
#include <string>

struct TFileText {
  enum TState { fsMissing, fsRead, fsFailed };
  TState State = fsMissing;
  std::string Text;  // fsRead: the whole file
  std::string Error; // fsFailed: why, in words for the user
};

// Reads Path, following symbolic links. Missing (also a link to nothing) is fsMissing; a file
// that is not regular, is larger than MaxSize bytes or fails to open or read is fsFailed. The
// file is opened non-blocking and checked again once open, so a special file swapped in
// between cannot stall the caller.
TFileText ReadRegularFile(const std::string &Path, size_t MaxSize);

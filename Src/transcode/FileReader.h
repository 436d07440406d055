// The one whole-file reader of the engine: every option that reads a file (-filter_script,
// -filter_complex_script, -fpre and the other preset files, pass-2 statistics, -attach) goes
// through it. Only regular files are read (a FIFO or a device would block or never end) and
// never more than a size limit.
#pragma once

#include <cstddef>
#include <string>

// Size limit of option texts read from a file (filter graphs, presets).
constexpr size_t MaxOptionFileSize = 16u << 20;
// Size limit of an -attach file (it becomes a stream's extra data, an int-sized buffer).
constexpr size_t MaxAttachmentSize = 2147483583;

struct TFileReadResult {
  bool ok = false;
  bool missing = false;  // the path names nothing
  bool tooLarge = false; // above the size limit
  std::string reason;    // why it failed: "not a regular file", "larger than ...", an errno text
};

// Reads the whole of path into text. Never blocks on special files.
TFileReadResult ReadWholeFile(const std::string &path, std::string &text,
                              size_t maxSize = MaxOptionFileSize);

// "base" when the file is missing, else "base: reason" (what to show for a failed read).
std::string FileReadError(const std::string &base, const TFileReadResult &r);

// Replacing an existing output file only once the new one has been written: the muxer writes
// a new file beside the old one, which is renamed over it when the task has written it
// completely; a failed task leaves the old file as it was.
#pragma once

#include <string>

// The file a local output path replaces through a new file beside it: the path's regular file
// (a symlink resolved to its target), when it exists and may be written; otherwise empty (a
// new file, a device, a FIFO or a read-only file is opened in place, as the tool does).
std::string ReplaceableFile(const std::string &path);

// Creates an empty file beside target ("target.part-XXXXXX") for the new output; its path, or
// empty when the folder does not allow it.
std::string CreateFileBeside(const std::string &target);

// Renames temp over target with target's permissions when written, else removes temp. Returns
// what went wrong, or empty.
std::string FinishReplacement(const std::string &temp, const std::string &target, bool written);

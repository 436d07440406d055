// Reads a written disc image back with libisofs: the files of its root folder under their
// Rock Ridge or Joliet names, with sizes and (optionally) contents, and the volume label.
#pragma once

#include <cstdint>
#include <map>
#include <string>

struct TIsoFile {
  int64_t Size = 0;
  std::string Contents; // empty unless read
};

struct TIsoImage {
  bool Ok = false;
  std::string Error;
  std::string VolumeId;
  std::string ApplicationId;
  std::map<std::string, TIsoFile> Files;
};

enum class TIsoNames { RockRidge, Joliet };

TIsoImage ReadIsoImage(const std::string &Path, TIsoNames Names, bool ReadContents);

// The whole contents of a file on disk.
std::string FileContents(const std::string &Path);

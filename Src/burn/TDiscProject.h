// TDiscProject: the files of one data disc (all in the root folder) and the ISO 9660 image
// built from them with libisofs: ISO level 3 (files over 4 GiB are written in several
// extents), Joliet and Rock Ridge names. Names on the disc are unique: a name already taken
// (compared without case, as Joliet readers do) gets " (2)", " (3)", ... before its extension.
// Not thread-safe: one thread builds the project, then hands the image source to the writer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// libburn's data source as libisofs declares it (C++ sees libburn's own in namespace burn;
// the two are the same C structure).
struct burn_source;

struct TDiscFile {
  std::string SourcePath; // file on disk
  std::string Name;       // name in the root folder of the disc
};

class TDiscProject {
public:
  void Clear() { FFiles.clear(); }
  // Adds a file under Name (made unique); returns the name used.
  std::string Add(const std::string &SourcePath, const std::string &Name);
  int FileCount() const { return int(FFiles.size()); }
  const std::vector<TDiscFile> &Files() const { return FFiles; }
  // Sum of the sizes the files have on disk now (files gone since count 0).
  int64_t Size() const;

  // Builds the image and starts libisofs's generator. On success *Source is a new burn source
  // of the whole image (the caller frees it with burn_source_free after cancelling or reading
  // it) and 0 is returned; otherwise a negative libisofs error code. Source files that vanished
  // since they were added are left out, and their paths are put in LeftOut.
  int CreateImage(const std::string &VolumeLabel, burn_source **Source,
                  std::vector<std::string> &LeftOut) const;

  // The message of a libisofs error code.
  static std::string ErrorText(int Code);

  // Text stored as the application identifier of every volume.
  static constexpr const char *ApplicationId = "QUILLET VIDEO CONVERTER";

private:
  bool NameTaken(const std::string &Name) const;
  std::string UniqueName(const std::string &Name) const;

  std::vector<TDiscFile> FFiles;
};

// TFindFile: the folder scan that expands folders into the files below them whose names match
// a mask list. Depth-first: a folder's own matches are reported before those of its
// subfolders. Runs on the caller's thread; Execute() scans everything at once, while
// Start()/Step() scan one folder per call so a window can interleave the scan with its event
// loop. Not thread-safe.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

class TFindFile {
public:
  // Folders to search, separated by ";". A text that names one existing folder as a whole is
  // that folder, even when its name contains ";".
  std::string Location;
  // Masks separated by ";" (for example "*.AVI;*.MP4"), matched ignoring letter case.
  std::string FileName;
  // Search the subfolders at every depth (hidden ones included).
  bool Subfolders = true;
  // One call per match: the folder (ending with "/") and the entry's name. A subfolder whose
  // own name matches a mask is reported too.
  std::function<void(TFindFile *Sender, const std::string &Folder, const std::string &Name)>
      OnFileMatch;

  // Scans the whole location.
  void Execute();
  // Prepares a scan; then each Step() visits one folder. Step() returns false once the scan
  // has finished (nothing was left to visit).
  void Start();
  bool Step();
  bool Busy() const { return !FPending.empty(); }
  // Drops the folders not yet visited.
  void Abort();

private:
  std::vector<std::string> FPending; // folders to visit, the next one last
  std::set<std::string> FVisited;    // canonical folders already visited (symlink loops)
  std::vector<std::string> FMasks;
  void Visit(const std::string &AFolder);
};

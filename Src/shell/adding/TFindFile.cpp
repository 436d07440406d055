#include "shell/adding/TFindFile.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "shell/adding/MediaMasks.h"

namespace fs = std::filesystem;

namespace {

std::string FolderWithDelimiter(const std::string &AFolder) {
  // Absolute and lexically clean ("." and ".." resolved by name, links kept), so a file found
  // here has the same path as when it is added directly.
  std::error_code ec;
  fs::path p = fs::absolute(fs::path(AFolder), ec);
  std::string s = ec ? AFolder : p.lexically_normal().string();
  if (s.empty() || s.back() != '/')
    s += '/';
  return s;
}

std::string Trimmed(const std::string &s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  size_t e = s.find_last_not_of(" \t\r\n");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

} // namespace

void TFindFile::Execute() {
  Start();
  while (Step()) {
  }
}

void TFindFile::Start() {
  FPending.clear();
  FVisited.clear();
  FMasks = SplitList(FileName);
  std::vector<std::string> folders;
  std::error_code ec;
  std::string whole = Trimmed(Location);
  if (!whole.empty() && fs::is_directory(whole, ec))
    folders.push_back(whole);
  else
    folders = SplitList(Location);
  // The pending list is a stack: push in reverse so the first folder is visited first.
  for (auto it = folders.rbegin(); it != folders.rend(); ++it)
    FPending.push_back(FolderWithDelimiter(*it));
}

bool TFindFile::Step() {
  if (FPending.empty())
    return false;
  std::string folder = std::move(FPending.back());
  FPending.pop_back();
  Visit(folder);
  return true;
}

void TFindFile::Abort() {
  FPending.clear();
}

void TFindFile::Visit(const std::string &AFolder) {
  std::error_code ec;
  fs::path canonical = fs::canonical(AFolder, ec);
  if (ec || !FVisited.insert(canonical.string()).second)
    return; // unreadable, or reached again through a link
  std::vector<std::string> names;
  std::vector<std::string> subfolders;
  fs::directory_iterator it(AFolder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    names.push_back(name);
    std::error_code typeErr;
    if (Subfolders && it->is_directory(typeErr))
      subfolders.push_back(AFolder + name + '/');
  }
  // Queue the subfolders first so that an Abort() from a match handler drops them too.
  for (auto sub = subfolders.rbegin(); sub != subfolders.rend(); ++sub)
    FPending.push_back(*sub);
  for (const std::string &mask : FMasks)
    for (const std::string &name : names)
      if (MatchesMask(name, mask) && OnFileMatch)
        OnFileMatch(this, AFolder, name);
}

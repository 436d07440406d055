#include "cli/TOutputNamer.h"

#include <algorithm>
#include <filesystem>
#include <utility>

namespace fs = std::filesystem;

namespace {

// The absolute, lexically normal form of a path (symbolic links resolved where they exist),
// so that two spellings of one file compare equal.
std::string SameFileKey(const std::string &APath) {
  std::error_code error;
  const fs::path canonical = fs::weakly_canonical(fs::absolute(APath), error);
  return (error ? fs::absolute(APath).lexically_normal() : canonical).string();
}

// "clip.avi" numbered 2: "clip (2).avi".
std::string Numbered(const std::string &APath, int ANumber) {
  const fs::path path(APath);
  const std::string suffix = " (" + std::to_string(ANumber) + ")";
  return (path.parent_path() / (path.stem().string() + suffix + path.extension().string()))
      .string();
}

} // namespace

TOutputNamer::TOutputNamer(std::string AFolder, std::string APattern,
                           const std::vector<std::string> &AInputs)
    : FFolder(std::move(AFolder)), FPattern(std::move(APattern)) {
  for (const std::string &input : AInputs)
    FInputs.insert(SameFileKey(input));
}

std::string TOutputNamer::Expand(const std::string &APattern, const std::string &AInput) {
  const fs::path input(AInput);
  const std::string ext = input.extension().string();
  const std::pair<std::string, std::string> fields[] = {
      {"{name}", input.stem().string()},
      {"{ext}", ext.empty() ? ext : ext.substr(1)},
      {"{dir}", fs::absolute(input).parent_path().filename().string()}};
  // One pass, so that a file name holding "{dir}" is taken as it is.
  std::string name;
  for (size_t at = 0; at < APattern.size();) {
    const auto field = std::find_if(std::begin(fields), std::end(fields), [&](const auto &f) {
      return APattern.compare(at, f.first.size(), f.first) == 0;
    });
    if (field == std::end(fields)) {
      name += APattern[at++];
      continue;
    }
    name += field->second;
    at += field->first.size();
  }
  return name;
}

bool TOutputNamer::Taken(const std::string &APath) const {
  const std::string key = SameFileKey(APath);
  return FGiven.count(key) > 0 || FInputs.count(key) > 0;
}

std::string TOutputNamer::Next(const std::string &AInput) {
  const std::string first = (fs::path(FFolder) / Expand(FPattern, AInput)).string();
  std::string path = first;
  for (int number = 2; Taken(path); number++)
    path = Numbered(first, number);
  FGiven.insert(SameFileKey(path));
  return path;
}

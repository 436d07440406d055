#include "components/ProgramFiles.h"

#include <filesystem>

std::string ProgramFilePath(const std::string &AProgramFolder, const std::string &AName,
                            TProgramFileKind AKind) {
  const std::filesystem::path folder(AProgramFolder);
  const std::filesystem::path beside = folder / AName;
  std::error_code error;
  if (std::filesystem::exists(beside, error))
    return beside.string();
  const char *installed = AKind == TProgramFileKind::pfData ? "../share/quillet" : "../lib/quillet";
  const std::filesystem::path path = (folder / installed / AName).lexically_normal();
  return std::filesystem::exists(path, error) ? path.string() : beside.string();
}

#include "transcode/ReplacedOutput.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

std::string ReplaceableFile(const std::string &path) {
  struct stat sb;
  if (path.empty() || ::stat(path.c_str(), &sb) != 0 || !S_ISREG(sb.st_mode) ||
      ::access(path.c_str(), W_OK) != 0)
    return {};
  std::error_code ec;
  const std::filesystem::path target = std::filesystem::canonical(path, ec);
  return ec ? std::string() : target.string();
}

std::string CreateFileBeside(const std::string &target) {
  std::string name = target + ".part-XXXXXX";
  const int fd = ::mkstemp(name.data());
  if (fd < 0)
    return {};
  ::close(fd);
  return name;
}

std::string FinishReplacement(const std::string &temp, const std::string &target, bool written) {
  struct stat sb;
  if (written && ::stat(target.c_str(), &sb) == 0)
    ::chmod(temp.c_str(), sb.st_mode & 07777);
  if (written && std::rename(temp.c_str(), target.c_str()) == 0)
    return {};
  const std::string error = written ? std::strerror(errno) : std::string();
  std::remove(temp.c_str());
  return error;
}

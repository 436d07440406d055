#include "shell/settings/RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TFileText Failed(std::string Error) {
  return {TFileText::fsFailed, {}, std::move(Error)};
}

TFileText Failed(int Error) {
  return Failed(std::strerror(Error));
}

std::string TooLarge(size_t MaxSize) {
  return "larger than " + std::to_string(MaxSize) + " bytes";
}

// Checks an open or named file's status; an empty text when it is a regular file that fits.
std::string Unfit(const struct stat &Status, size_t MaxSize) {
  if (!S_ISREG(Status.st_mode))
    return "not a regular file";
  if (static_cast<unsigned long long>(Status.st_size) > MaxSize)
    return TooLarge(MaxSize);
  return {};
}

TFileText ReadOpen(int Fd, size_t MaxSize) {
  struct stat Status {};
  if (fstat(Fd, &Status) != 0)
    return Failed(errno);
  if (std::string Why = Unfit(Status, MaxSize); !Why.empty())
    return Failed(Why);
  TFileText Result{TFileText::fsRead, {}, {}};
  char Buffer[4096];
  for (;;) {
    const ssize_t N = read(Fd, Buffer, sizeof Buffer);
    if (N == 0)
      return Result;
    if (N < 0 && errno == EINTR)
      continue;
    if (N < 0)
      return Failed(errno);
    Result.Text.append(Buffer, static_cast<size_t>(N));
    if (Result.Text.size() > MaxSize) // grew while being read
      return Failed(TooLarge(MaxSize));
  }
}

} // namespace

TFileText ReadRegularFile(const std::string &Path, size_t MaxSize) {
  struct stat Status {};
  if (stat(Path.c_str(), &Status) != 0)
    return errno == ENOENT ? TFileText{} : Failed(errno);
  if (std::string Why = Unfit(Status, MaxSize); !Why.empty())
    return Failed(Why);
  const int Fd = open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (Fd < 0)
    return errno == ENOENT ? TFileText{} : Failed(errno);
  TFileText Result = ReadOpen(Fd, MaxSize);
  close(Fd);
  return Result;
}

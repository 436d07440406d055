#include "transcode/FileReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "transcode/common/TextFormat.h"

namespace {

TFileReadResult Failed(int err) {
  TFileReadResult r;
  r.missing = err == ENOENT || err == ENOTDIR;
  r.reason = std::strerror(err);
  return r;
}

TFileReadResult NotRegular() {
  TFileReadResult r;
  r.reason = "not a regular file";
  return r;
}

TFileReadResult TooLarge(size_t maxSize) {
  TFileReadResult r;
  r.tooLarge = true;
  r.reason = Format("larger than the limit of %zu bytes", maxSize);
  return r;
}

// A descriptor closed on every way out.
class TFd {
public:
  explicit TFd(int fd) : FFd(fd) {}
  TFd(const TFd &) = delete;
  TFd &operator=(const TFd &) = delete;
  ~TFd() {
    if (FFd >= 0)
      ::close(FFd);
  }
  int Get() const { return FFd; }

private:
  int FFd;
};

} // namespace

TFileReadResult ReadWholeFile(const std::string &path, std::string &text, size_t maxSize) {
  text.clear();
  struct stat sb;
  // Checked before opening: opening a FIFO for reading blocks until a writer appears.
  if (::stat(path.c_str(), &sb) != 0)
    return Failed(errno);
  if (!S_ISREG(sb.st_mode))
    return NotRegular();
  TFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.Get() < 0)
    return Failed(errno);
  if (::fstat(fd.Get(), &sb) != 0) // the path may have been replaced in between
    return Failed(errno);
  if (!S_ISREG(sb.st_mode))
    return NotRegular();
  if (uint64_t(sb.st_size) > maxSize)
    return TooLarge(maxSize);
  text.reserve(size_t(sb.st_size));
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd.Get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return Failed(errno);
    }
    if (n == 0)
      break;
    if (text.size() + size_t(n) > maxSize) { // grew while being read
      text.clear();
      return TooLarge(maxSize);
    }
    text.append(buf, size_t(n));
  }
  TFileReadResult r;
  r.ok = true;
  return r;
}

std::string FileReadError(const std::string &base, const TFileReadResult &r) {
  return r.missing ? base : base + ": " + r.reason;
}

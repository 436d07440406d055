#include "cli/TStopSignal.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<bool> StopRequest{false};
int WakePipe[2] = {-1, -1};

void Wake() {
  const char byte = 0;
  while (::write(WakePipe[1], &byte, 1) < 0 && errno == EINTR) {
  }
}

void OnStopSignal(int) {
  const int saved = errno;
  StopRequest = true;
  Wake();
  errno = saved;
}

} // namespace

TStopSignal::TStopSignal() {
  // The handler never blocks: a full pipe already wakes the reader.
  if (::pipe2(WakePipe, O_CLOEXEC) == 0)
    ::fcntl(WakePipe[1], F_SETFL, O_NONBLOCK);
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

TStopSignal &TStopSignal::Install() {
  static TStopSignal signal;
  return signal;
}

bool TStopSignal::Requested() const {
  return StopRequest;
}

bool TStopSignal::Wait() {
  char byte;
  while (::read(WakePipe[0], &byte, 1) < 0 && errno == EINTR) {
  }
  return StopRequest;
}

void TStopSignal::Release() {
  Wake();
}

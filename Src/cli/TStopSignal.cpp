#include "cli/TStopSignal.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

#include "transcode/SignalledStop.h"

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
  GSignalledStop = true;
  Wake();
  errno = saved;
}

} // namespace

TStopSignal::TStopSignal() {
  // The handler never blocks: a full pipe already wakes the reader.
  if (::pipe2(WakePipe, O_CLOEXEC) == 0)
    ::fcntl(WakePipe[1], F_SETFL, O_NONBLOCK);
  // Without SA_RESTART a read blocked on a pipe or a socket returns, and the engine's interrupt
  // check ends it.
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  action.sa_flags = SA_RESETHAND;
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

void TStopSignal::BlockHere() {
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stops, nullptr);
}

void TStopSignal::Release() {
  Wake();
}

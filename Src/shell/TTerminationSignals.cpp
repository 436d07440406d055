#include "shell/TTerminationSignals.h"

#include <QSocketNotifier>
#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> Signals = {SIGTERM, SIGINT, SIGHUP};

// The pipe's writing end, read by the handler. Written only while no handler is installed.
volatile sig_atomic_t GWriteEnd = -1;
struct sigaction GPrevious[Signals.size()];
bool GInstalled[Signals.size()];

void HandleSignal(int signal) {
  const int savedErrno = errno;
  const unsigned char number = static_cast<unsigned char>(signal);
  // A full pipe drops the byte: the signals before it are still waiting to be handled.
  [[maybe_unused]] const ssize_t written = write(GWriteEnd, &number, 1);
  errno = savedErrno;
}

} // namespace

TTerminationSignals::TTerminationSignals(std::function<void(int)> OnSignal, QObject *parent)
    : QObject(parent), FOnSignal(std::move(OnSignal)) {
  if (pipe2(FPipe, O_NONBLOCK | O_CLOEXEC) != 0)
    return;
  GWriteEnd = FPipe[1];
  FNotifier = new QSocketNotifier(FPipe[0], QSocketNotifier::Read, this);
  connect(FNotifier, &QSocketNotifier::activated, this, [this] { Drain(); });
  struct sigaction action {};
  action.sa_handler = HandleSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigset_t caught;
  sigemptyset(&caught);
  for (size_t i = 0; i < Signals.size(); ++i) {
    struct sigaction current {};
    sigaction(Signals[i], nullptr, &current);
    if (current.sa_handler == SIG_IGN)
      continue;
    GInstalled[i] = sigaction(Signals[i], &action, &GPrevious[i]) == 0;
    sigaddset(&caught, Signals[i]);
  }
  pthread_sigmask(SIG_UNBLOCK, &caught, nullptr);
}

TTerminationSignals::~TTerminationSignals() {
  for (size_t i = 0; i < Signals.size(); ++i)
    if (GInstalled[i])
      sigaction(Signals[i], &GPrevious[i], nullptr);
  std::fill(std::begin(GInstalled), std::end(GInstalled), false);
  GWriteEnd = -1;
  for (int fd : FPipe)
    if (fd >= 0)
      close(fd);
}

void TTerminationSignals::Drain() {
  unsigned char numbers[16];
  ssize_t count;
  while ((count = read(FPipe[0], numbers, sizeof numbers)) > 0)
    for (ssize_t i = 0; i < count; ++i)
      FOnSignal(numbers[i]);
}

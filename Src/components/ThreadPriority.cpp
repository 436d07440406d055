#include "components/ThreadPriority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

int NiceOf(TThreadPriority APriority) {
  switch (APriority) {
  case tpLowest:
    return 19;
  case tpLower:
    return 10;
  case tpHigher:
    return -5;
  case tpHighest:
    return -10;
  case tpTimeCritical:
    return -20;
  default:
    return 0;
  }
}

} // namespace

bool ApplyThreadPriority(TThreadPriority APriority) {
  sched_param param{};
  if (APriority == tpIdle)
    return pthread_setschedparam(pthread_self(), SCHED_IDLE, &param) == 0;
  // On Linux the nice value of a thread id applies to that thread only.
  const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
  return ::setpriority(PRIO_PROCESS, tid, NiceOf(APriority)) == 0;
}

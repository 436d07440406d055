// Worker thread priorities of the media components and how they map onto Linux scheduling.
#pragma once

enum TThreadPriority : int {
  tpIdle,
  tpLowest,
  tpLower,
  tpNormal,
  tpHigher,
  tpHighest,
  tpTimeCritical
};

// Applies APriority to the calling thread (idle: SCHED_IDLE; lowest nice 19, lower nice 10,
// normal nice 0, higher nice -5, highest nice -10, time-critical nice -20). False when the
// system refused the change; the thread then runs on at its current priority.
bool ApplyThreadPriority(TThreadPriority APriority);

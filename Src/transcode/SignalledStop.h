// A stop asked for by a signal (Ctrl+C in a terminal). The handler sets it (a store to a
// lock-free atomic is async-signal-safe) and every task's read interrupt sees it at once, as it
// sees a stop request: a blocked open or read ends before any task has been told to stop.
#pragma once

#include <atomic>

inline std::atomic<bool> GSignalledStop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

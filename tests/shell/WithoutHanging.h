// Test helper: runs a call that must not block on a FIFO. Should it hang opening the FIFO (a
// reader waiting for a writer), the writing end is opened so the test ends with a failure
// instead of hanging.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <unistd.h>

template <class TCall> void WithoutHanging(TCall Call, const std::filesystem::path &Fifo) {
  auto Done = std::async(std::launch::async, Call);
  if (Done.wait_for(std::chrono::seconds(10)) == std::future_status::ready)
    return Done.get();
  ADD_FAILURE() << "blocked on the FIFO " << Fifo;
  const int Fd = open(Fifo.c_str(), O_WRONLY | O_NONBLOCK);
  if (Fd >= 0)
    close(Fd);
  Done.wait();
}

// The error raised wherever the FFmpeg command-line tool would end the process. Inside a task it
// becomes the task's termination record; while opening files the caller turns it into a failure.
#pragma once

#include <stdexcept>
#include <string>

class TObject;

class FFmpegException : public std::runtime_error {
public:
  explicit FFmpegException(const std::string &AMsg) : std::runtime_error(AMsg) {}
};

// The engine's one fatal path: logs text at fatal level through Sender and raises it.
[[noreturn]] void Fatal(const TObject *Sender, const std::string &text);

#include "transcode/common/TextFormat.h"

#include <cstdio>

std::string FormatV(const char *AFormat, va_list AArgs) {
  va_list copy;
  va_copy(copy, AArgs);
  const int n = std::vsnprintf(nullptr, 0, AFormat, copy);
  va_end(copy);
  std::string text(n > 0 ? size_t(n) : 0, '\0');
  if (n > 0) {
    va_copy(copy, AArgs);
    std::vsnprintf(text.data(), text.size() + 1, AFormat, copy);
    va_end(copy);
  }
  return text;
}

std::string Format(const char *AFormat, ...) {
  va_list args;
  va_start(args, AFormat);
  std::string text = FormatV(AFormat, args);
  va_end(args);
  return text;
}

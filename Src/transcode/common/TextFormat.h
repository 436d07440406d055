// printf-style formatting into a std::string, shared by the engine and the decoder.
#pragma once

#include <cstdarg>
#include <string>

// The whole formatted text (never truncated); empty when the format is invalid.
std::string Format(const char *AFormat, ...) __attribute__((format(printf, 1, 2)));
// As Format, with the arguments already started; AArgs is left unread (copied internally).
std::string FormatV(const char *AFormat, va_list AArgs) __attribute__((format(printf, 1, 0)));

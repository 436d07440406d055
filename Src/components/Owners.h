// RAII owners of the component layer's plain C objects. The FFmpeg objects' owners are the
// engine's (transcode/common/FFOwners.h), which builds on these.
#pragma once

#include <cstdio>
#include <memory>

struct TFileCloser {
  void operator()(std::FILE *p) const { std::fclose(p); }
};
using TFilePtr = std::unique_ptr<std::FILE, TFileCloser>;

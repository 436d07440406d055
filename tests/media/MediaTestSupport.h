// Shared helpers of the decoder tests: fixture paths and the FFmpeg libraries, loaded once
// for the whole test program.
#pragma once

#include <dlfcn.h>

#include <string>

#include <gtest/gtest.h>

#include "components/TFFLoader.h"

inline std::string Fixture(const std::string &AName) {
  return std::string(QUILLET_FIXTURES) + "/" + AName;
}

class TDecoderLibrariesEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    ASSERT_TRUE(FFLoader().Load(DecoderLibraries)) << FFLoader().LastErrMsg();
    // Keep the libraries mapped until the process ends: the loader unloads them at exit, and
    // LeakSanitizer would then report their live globals as leaks.
    for (const char *name : {"libavutil.so.57", "libswscale.so.6", "libswresample.so.4",
                             "libavcodec.so.59", "libavformat.so.59", "libavfilter.so.8"})
      dlopen(name, RTLD_NOW | RTLD_NOLOAD);
  }
};

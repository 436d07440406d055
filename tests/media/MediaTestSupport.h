// Shared helpers of the decoder tests: fixture paths and the FFmpeg libraries, loaded once
// for the whole test program.
#pragma once

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
  }
};

#include <gtest/gtest.h>

#include "components/FFAPI.h"
#include "components/TFFLoader.h"

TEST(TFFLoader, LoadsTheEncoderSetBySystemSearchAndBindsEveryEntryPoint) {
  TFFLoader &loader = FFLoader();
  ASSERT_TRUE(loader.Load(EncoderLibraries)) << loader.LastErrMsg();
  EXPECT_TRUE(loader.Loaded(EncoderLibraries));
  ASSERT_NE(ff::avutil_version, nullptr);
  EXPECT_EQ(AV_VERSION_MAJOR(ff::avutil_version()), 57u);
  EXPECT_EQ(AV_VERSION_MAJOR(ff::avformat_version()), 59u);
  EXPECT_NE(ff::avdevice_register_all, nullptr);
  EXPECT_NE(crt::vsnprintf, nullptr);
  loader.Unload(EncoderLibraries);
  EXPECT_EQ(ff::avutil_version, nullptr);
  EXPECT_FALSE(loader.Loaded(avUtil));
}

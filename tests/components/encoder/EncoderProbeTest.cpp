// What the encoder lists may offer: encoders asked of the loaded library by name, and the
// hardware encoders only where a device of their kind opens them.
#include <filesystem>

#include "EncoderTestSupport.h"
#include "components/encoder/EncoderProbe.h"

namespace {

TEST_F(EncoderTest, ProbeFindsTheLoadedLibrarysEncoders) {
  for (const char *name : {"libx264", "libx265", "libvpx-vp9", "libsvtav1", "libopus", "aac"})
    EXPECT_TRUE(HasEncoder(name)) << name;
  EXPECT_FALSE(HasEncoder("no_such_encoder"));
  EXPECT_FALSE(HasEncoder(""));
}

// Without a device node no hardware encoder opens, so none is offered; a name of no hardware
// kind is never offered, even when the library has the encoder.
TEST_F(EncoderTest, HardwareEncodersWithoutADeviceAreLeftOut) {
  if (std::filesystem::exists("/dev/dri") || std::filesystem::exists("/dev/nvidiactl"))
    GTEST_SKIP() << "this machine has a graphics device";
  EXPECT_TRUE(OpenableHardwareEncoders(
                  {"h264_vaapi", "hevc_vaapi", "h264_nvenc", "hevc_nvenc", "h264_qsv", "hevc_qsv"})
                  .empty());
  EXPECT_TRUE(OpenableHardwareEncoders({"libx264", "no_such_vaapi"}).empty());
}

} // namespace

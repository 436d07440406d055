// Hardware decoding as -hwaccel asks for it, compared with Debian's ffmpeg on this machine: where
// no usable device exists (no GPU here) "auto" falls back to software decoding, a named
// hardware type without a device refuses the start, a device type the decoder cannot use
// (Vulkan through Mesa's software driver) decodes in software; the messages are the tool's.
#include "LoopTestSupport.h"

namespace {

struct THWCase {
  const char *name;
  const char *inputOptions;
  const char *message; // in the tool's messages and in ours (when the tool gives it); or null
};

void PrintTo(const THWCase &c, std::ostream *os) {
  *os << c.name;
}

struct TToolRun {
  bool ok = false;
  std::string messages;
};

TToolRun RunToolWith(const std::string &inputOptions, const std::string &options,
                     const std::string &out) {
  const std::string text =
      RunText("ffmpeg -nostdin -hide_banner -y " + inputOptions + " -i \"" + Fixture("av.mp4") +
              "\" " + options + " \"" + out + "\" 2>&1; echo \"status=$?\"");
  return {text.find("status=0\n") != std::string::npos, text};
}

class HWDecodingTest : public LoopTest, public ::testing::WithParamInterface<THWCase> {};

TEST_P(HWDecodingTest, AsTheToolDoes) {
  const THWCase &c = GetParam();
  const std::string options = "-t 0.3 -an -c:v mpeg4";
  const std::string toolOut = Scratch(std::string("hw_tool_") + c.name + ".mkv");
  const TToolRun tool = RunToolWith(c.inputOptions, options, toolOut);
  const bool toolSaid = c.message && tool.messages.find(c.message) != std::string::npos;

  TLogCapture log;
  TTask task;
  const std::string out = Scratch(std::string("hw_") + c.name + ".mkv");
  bool ok = task.OpenInput(Fixture("av.mp4"), c.inputOptions);
  if (ok) {
    ASSERT_TRUE(task.OpenOutput(out, options)) << task.Error;
    task.Start(false);
    ok = task.E->Finished();
  }
  EXPECT_EQ(ok, tool.ok) << task.Error << task.E->FatalMessage() << "\ntool:\n" << tool.messages;
  if (c.message) {
    EXPECT_EQ(log.Contains(c.message), toolSaid) << c.message;
  }
  if (ok && tool.ok) {
    EXPECT_EQ(CountVideoFrames(out), CountVideoFrames(toolOut));
  }
}

const THWCase HWCases[] = {
    {"auto", "-hwaccel auto", "Auto hwaccel disabled: no device found."},
    {"vaapi_without_device", "-hwaccel vaapi",
     "Device setup failed for decoder on input stream #0:0 : "},
    {"vulkan_software", "-hwaccel vulkan", nullptr},
    {"named_device", "-init_hw_device vulkan=vk1 -hwaccel vulkan -hwaccel_device vk1", nullptr},
    {"named_device_of_other_type", "-init_hw_device vulkan=vk2 -hwaccel vaapi -hwaccel_device vk2",
     "Invalid hwaccel device specified for decoder: device vk2 of type vulkan is not usable with "
     "hwaccel vaapi."},
    {"auto_output_format", "-hwaccel auto -hwaccel_output_format yuv420p", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Loop, HWDecodingTest, ::testing::ValuesIn(HWCases),
                         [](const auto &info) { return std::string(info.param.name); });

// An unknown name is refused when the input is opened, with the tool's two lines.
TEST_F(LoopTest, UnknownHwaccelIsRefusedWithTheSupportedList) {
  const TToolRun tool = RunToolWith("-hwaccel foo", "", Scratch("hw_foo_tool.mkv"));
  ASSERT_FALSE(tool.ok);
  const size_t first = tool.messages.find("Unrecognized hwaccel: foo.\n");
  ASSERT_NE(first, std::string::npos) << tool.messages;
  std::string list = tool.messages.substr(first + 27);
  list = list.substr(0, list.find(" \n")); // the tool ends the list with a blank

  TTask task;
  EXPECT_FALSE(task.OpenInput(Fixture("av.mp4"), "-hwaccel foo"));
  EXPECT_EQ(task.Error, "Unrecognized hwaccel: foo.\r\n" + list);
}

} // namespace

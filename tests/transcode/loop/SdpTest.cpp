// The SDP description of rtp outputs: written to -sdp_file or logged, compared with what
// Debian's ffmpeg writes for the same options; the failures when it cannot be made.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "LoopTestSupport.h"
#include "transcode/common/TextFormat.h"

namespace {

// A UDP socket bound to a free port on 127.0.0.1 that receives (and ignores) the RTP packets.
class TUdpReceiver {
public:
  TUdpReceiver() {
    FSocket = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    if (FSocket >= 0 && ::bind(FSocket, reinterpret_cast<sockaddr *>(&addr), len) == 0 &&
        ::getsockname(FSocket, reinterpret_cast<sockaddr *>(&addr), &len) == 0)
      FPort = ntohs(addr.sin_port);
  }
  ~TUdpReceiver() {
    if (FSocket >= 0)
      ::close(FSocket);
  }
  int Port() const { return FPort; }
  std::string Url() const { return "rtp://127.0.0.1:" + std::to_string(FPort); }

private:
  int FSocket = -1;
  int FPort = 0;
};

// The description without its origin and timing lines (session id and times vary).
std::string WithoutSessionLines(const std::string &sdp) {
  std::istringstream in(sdp);
  std::string out;
  for (std::string line; std::getline(in, line);)
    if (line.rfind("o=", 0) != 0 && line.rfind("t=", 0) != 0)
      out += line + "\n";
  return out;
}

// outputs: the tool's output options and names.
std::string ToolSdp(const std::string &outputs, const std::string &sdp) {
  RunText("ffmpeg -nostdin -v error -y -i \"" + Fixture("av.mp4") + "\" " + outputs +
          " -sdp_file \"" + sdp + "\"");
  return FileContents(sdp);
}

struct TSdpCase {
  const char *name;
  const char *options; // before -f rtp
  const char *second;  // a second rtp output's options, or null
};

class SdpTest : public LoopTest, public ::testing::WithParamInterface<TSdpCase> {};

// With two outputs the description covers both, once both headers are written.
TEST_P(SdpTest, SdpFileMatchesTheTools) {
  const TSdpCase &c = GetParam();
  TUdpReceiver receiver, receiver2;
  ASSERT_NE(receiver.Port(), 0);
  ASSERT_NE(receiver2.Port(), 0);
  const std::string first = std::string(c.options) + " -f rtp";
  const std::string second = c.second ? std::string(c.second) + " -f rtp" : std::string();
  const std::string expected =
      ToolSdp(first + " " + receiver.Url() + (c.second ? " " + second + " " + receiver2.Url() : ""),
              Scratch(std::string("tool_") + c.name + ".sdp"));
  ASSERT_NE(expected.find("m=video"), std::string::npos) << expected;
  ASSERT_EQ(expected.find("m=audio") != std::string::npos, c.second != nullptr) << expected;

  const std::string sdp = Scratch(std::string(c.name) + ".sdp");
  TTask task;
  ASSERT_TRUE(task.OpenInput(Fixture("av.mp4")));
  if (c.second) {
    ASSERT_TRUE(task.OpenOutput(receiver.Url(), first)) << task.Error;
    ASSERT_TRUE(task.OpenOutput(receiver2.Url(), second + " -sdp_file " + sdp)) << task.Error;
  } else {
    ASSERT_TRUE(task.OpenOutput(receiver.Url(), first + " -sdp_file " + sdp)) << task.Error;
  }
  task.Start(false);
  ASSERT_TRUE(task.E->Finished()) << task.E->FatalMessage();
  const std::string written = FileContents(sdp);
  EXPECT_EQ(WithoutSessionLines(written), WithoutSessionLines(expected));
  EXPECT_EQ(written.substr(written.size() - 2), "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Loop, SdpTest,
                         ::testing::Values(TSdpCase{"encoded", "-an -c:v mpeg4 -t 0.5", nullptr},
                                           TSdpCase{"copied", "-an -c:v copy -t 0.5", nullptr},
                                           TSdpCase{"two_outputs", "-an -c:v mpeg4 -t 0.5",
                                                    "-vn -c:a aac -t 0.5"}),
                         [](const auto &info) { return std::string(info.param.name); });

// The logger writes each line break as a line feed.
std::string WithLineFeeds(std::string text) {
  for (size_t at; (at = text.find("\r\n")) != std::string::npos;)
    text.erase(at, 1);
  return text;
}

TEST_F(LoopTest, SdpIsLoggedWhenEveryOutputIsRtp) {
  TUdpReceiver receiver;
  ASSERT_NE(receiver.Port(), 0);
  std::string expected =
      ToolSdp("-an -c:v mpeg4 -t 0.5 -f rtp " + receiver.Url(), Scratch("tool_log.sdp"));
  ASSERT_GT(expected.size(), 2u);
  expected.resize(expected.size() - 2); // the logged text is trimmed

  TLogCapture log;
  TTask task;
  ASSERT_TRUE(task.OpenInput(Fixture("av.mp4")));
  ASSERT_TRUE(task.OpenOutput(receiver.Url(), "-an -c:v mpeg4 -t 0.5 -f rtp")) << task.Error;
  task.Start(false);
  ASSERT_TRUE(task.E->Finished()) << task.E->FatalMessage();
  // Only the origin line differs: compare from the session name on.
  EXPECT_TRUE(log.Contains("SDP:\nv=0\n"));
  EXPECT_TRUE(log.Contains(WithLineFeeds(expected.substr(expected.find("s=No Name")))));
}

struct TSdpFailureCase {
  const char *name;
  bool rtp;            // the output is rtp (else a Matroska file)
  const char *codec;   // copy: the header is written at the start, else in the loop
  const char *sdpFile; // in the scratch folder unless absolute
  const char *message; // logged before "Error writing the SDP." (%s: the SDP file)
};

class SdpFailureTest : public LoopTest, public ::testing::WithParamInterface<TSdpFailureCase> {};

// The tool refuses the same strings; the task fails and no SDP file is left.
TEST_P(SdpFailureTest, FailsTheHeaderStep) {
  const TSdpFailureCase &c = GetParam();
  TUdpReceiver receiver;
  ASSERT_NE(receiver.Port(), 0);
  const std::string sdp =
      c.sdpFile[0] == '/' ? std::string(c.sdpFile) : Scratch(std::string(c.sdpFile));
  std::filesystem::remove(sdp);
  const std::string out = c.rtp ? receiver.Url() : Scratch(std::string(c.name) + ".mkv");
  const std::string options =
      std::string("-an -t 0.5 -c:v ") + c.codec + (c.rtp ? " -f rtp" : "") + " -sdp_file " + sdp;
  EXPECT_NE(RunText("ffmpeg -nostdin -v quiet -y -i \"" + Fixture("av.mp4") + "\" " + options +
                    " \"" + out + "\"; echo $?"),
            "0\n");
  TLogCapture log;
  TTask task;
  ASSERT_TRUE(task.OpenInput(Fixture("av.mp4")));
  ASSERT_TRUE(task.OpenOutput(out, options)) << task.Error;
  task.Start(false);
  EXPECT_FALSE(task.E->Finished());
  EXPECT_TRUE(task.E->FatalException());
  EXPECT_EQ(task.Terminations, 1);
  EXPECT_TRUE(log.Contains(Format(c.message, sdp.c_str())));
  EXPECT_TRUE(log.Contains("Error writing the SDP."));
  EXPECT_FALSE(std::filesystem::exists(sdp));
}

INSTANTIATE_TEST_SUITE_P(
    Loop, SdpFailureTest,
    ::testing::Values(TSdpFailureCase{"no_rtp_encoded", false, "mpeg4", "none.sdp",
                                      "No output streams in the SDP."},
                      TSdpFailureCase{"no_rtp_copied", false, "copy", "none_copy.sdp",
                                      "No output streams in the SDP."},
                      TSdpFailureCase{"unwritable", true, "mpeg4", "/nonexistent/dir/x.sdp",
                                      "Failed to open sdp file \"%s\""}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace

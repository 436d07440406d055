// The decoder's read time-out and its event from a worker thread.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "MediaTestSupport.h"
#include "components/CallInMainThread.h"
#include "media/TFFDecoder.h"

namespace {

// A local TCP server that accepts one connection and never sends a byte.
class TSilentServer {
public:
  TSilentServer() {
    FSocket = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(FSocket, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    listen(FSocket, 1);
    socklen_t len = sizeof addr;
    getsockname(FSocket, reinterpret_cast<sockaddr *>(&addr), &len);
    FPort = ntohs(addr.sin_port);
  }
  ~TSilentServer() { close(FSocket); }
  int Port() const { return FPort; }

private:
  int FSocket = -1;
  int FPort = 0;
};

struct TTimeoutCase {
  const char *Format;
  const char *Message; // after the URL
};

void PrintTo(const TTimeoutCase &c, std::ostream *os) {
  *os << "format '" << c.Format << "'";
}

class DecoderReadTimeout : public ::testing::TestWithParam<TTimeoutCase> {};

TEST_P(DecoderReadTimeout, AStalledSourceIsAbandonedAfterTheTimeOut) {
  TSilentServer server;
  TFFDecoder dec;
  dec.SetReadTimeout(300);
  std::string url = "tcp://127.0.0.1:" + std::to_string(server.Port());
  EXPECT_FALSE(dec.LoadFile(url, GetParam().Format));
  EXPECT_EQ(dec.LastErrMsg(), url + GetParam().Message);
  EXPECT_EQ(dec.FileHandle(), nullptr);
  EXPECT_EQ(dec.StreamCount(), -1);
}

// Probing the format stalls inside the open; a forced format stalls in the stream probe.
INSTANTIATE_TEST_SUITE_P(Stages, DecoderReadTimeout,
                         ::testing::Values(TTimeoutCase{"", ": Immediate exit requested"},
                                           TTimeoutCase{"mpegts",
                                                        ": could not find codec parameters"}));

TEST(DecoderEvents, BeforeFindStreamInfoRunsOnTheMainThreadWhenLoadingElsewhere) {
  SetMainThreadDispatcher([](const std::function<void()> &) {}); // served by the wait below
  const std::thread::id mainThread = std::this_thread::get_id();
  TFFDecoder dec;
  std::thread::id eventThread;
  dec.OnBeforeFindStreamInfo = [&](TCustomDecoder *, AVFormatContext *) {
    eventThread = std::this_thread::get_id();
  };
  std::atomic<bool> done{false};
  bool loaded = false;
  std::thread worker([&] {
    loaded = dec.LoadFile(Fixture("av.mp4"));
    done = true;
  });
  WaitInMainThread([&] { return done.load(); });
  worker.join();
  EXPECT_TRUE(loaded);
  EXPECT_EQ(eventThread, mainThread);

  // Without the main-thread setting the event runs on the loading thread.
  dec.TriggerEventInMainThread = false;
  std::thread::id workerId;
  std::thread direct([&] {
    workerId = std::this_thread::get_id();
    dec.LoadFile(Fixture("av.mp4"));
  });
  direct.join();
  EXPECT_EQ(eventThread, workerId);
  SetMainThreadDispatcher({});
}

} // namespace

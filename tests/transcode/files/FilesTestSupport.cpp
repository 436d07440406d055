#include "FilesTestSupport.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "components/TFFLoader.h"
#include "components/TFFLogger.h"

std::string Fixture(const std::string &name) {
  return QUILLET_FIXTURES "/" + name;
}

std::string FilesFixture(const std::string &name) {
  return std::string(QuilletFilesFixtures) + "/" + name;
}

std::string ScratchDir() {
  static const std::string dir = [] {
    auto p =
        std::filesystem::temp_directory_path() / ("quillet_files_" + std::to_string(::getpid()));
    std::filesystem::create_directories(p);
    return p.string();
  }();
  return dir;
}

std::string LowerCase(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

std::string TestName(std::string s) {
  for (char &c : s)
    if (!std::isalnum(static_cast<unsigned char>(c)))
      c = '_';
  return s;
}

std::string FileContents(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TLogCapture::TLogCapture() {
  TFFLogger *logger = GlobalLogger();
  logger->SetTriggerEventInMainThread(false);
  logger->SetLogLevel(llDebug);
  logger->SetOnLog([this](const TObject *, uint32_t, TLogLevel, const std::string &msg) {
    std::lock_guard lock(FLock);
    FLines.push_back(msg);
  });
}

TLogCapture::~TLogCapture() {
  GlobalLogger()->SetOnLog(nullptr);
  TFFLogger::StopLogThread();
}

std::string TLogCapture::Line(const std::string &text) {
  for (int i = 0; i < 200; i++) {
    {
      std::lock_guard lock(FLock);
      for (const std::string &line : FLines)
        if (line.find(text) != std::string::npos)
          return line;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return std::string();
}

namespace {

template <typename Open> TOpenResult Run(TCustomFFmpeg &E, Open open) {
  TOptionsContext o;
  E.InitOptionsContext(o);
  TOpenResult r;
  try {
    r.ret = open(o);
    r.error = E.LastErrMsg();
  } catch (const std::exception &e) {
    r.ret = INT_MIN;
    r.threw = true;
    r.error = e.what();
  }
  E.UninitOptionsContext(o);
  return r;
}

} // namespace

TOpenResult OpenIn(TCustomFFmpeg &E, const std::string &options, const std::string &file) {
  return Run(E, [&](TOptionsContext &o) { return E.OpenInputFile(o, options, file, ""); });
}

TOpenResult OpenOut(TCustomFFmpeg &E, const std::string &options, const std::string &file) {
  return Run(E, [&](TOptionsContext &o) { return E.OpenOutputFile(o, options, file, ""); });
}

int ConfigureFromStreams(TCustomFFmpeg &E, TFilterGraph *fg) {
  for (auto &ifilter : fg->inputs) {
    const AVCodecParameters *par = ifilter->ist->st->codecpar;
    AVFrame *frame = ff::av_frame_alloc();
    frame->format = par->format;
    frame->width = par->width;
    frame->height = par->height;
    frame->sample_aspect_ratio = par->sample_aspect_ratio;
    frame->sample_rate = par->sample_rate;
    ff::av_channel_layout_copy(&frame->ch_layout, &par->ch_layout);
    TFilterGraphs::ifilter_parameters_from_frame(ifilter.get(), frame);
    ff::av_frame_free(&frame);
  }
  return E.FilterGraphs().configure_filtergraph(fg);
}

void FilesTest::SetUpTestSuite() {
  static const bool loaded = FFLoader().Load(EncoderLibraries);
  ASSERT_TRUE(loaded) << FFLoader().LastErrMsg();
}

int main(int argc, char **argv) {
  ::testing::InitGoogleTest(&argc, argv);
  int rc = RUN_ALL_TESTS();
  std::filesystem::remove_all(ScratchDir());
  return rc;
}

// Shared helpers of the file-opening tests: library loading, fixture paths, a scratch folder,
// a log capture and one-call wrappers around OpenInputFile/OpenOutputFile.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "transcode/TCustomFFmpeg.h"

// The folders of FilesFixture() and LoopFixture(): each test program names its own
// (quillet_fixture_dirs() in tests/CMakeLists.txt).
extern const char *const QuilletFilesFixtures;
extern const char *const QuilletLoopFixtures;

std::string Fixture(const std::string &name);      // tests/make_fixtures.sh media
std::string FilesFixture(const std::string &name); // make_files_fixtures.sh media
std::string ScratchDir();                          // a fresh folder per test process
std::string LowerCase(std::string s);
// s with every character that is not a letter or digit made '_' (a test name).
std::string TestName(std::string s);
// The bytes of a file (empty when it cannot be read).
std::string FileContents(const std::string &path);

// Collects the logger's lines from the moment it is made until it is destroyed.
class TLogCapture {
public:
  TLogCapture();
  ~TLogCapture();
  // True when a line containing text arrives (lines are delivered on the log thread).
  bool Contains(const std::string &text) { return !Line(text).empty(); }
  // The first line containing text once it arrives; empty when none does.
  std::string Line(const std::string &text);

private:
  std::mutex FLock;
  std::vector<std::string> FLines;
};

struct TOpenResult {
  int ret = 0;       // index or negative code; INT_MIN when an exception left the call
  std::string error; // FLastErrMsg (or the exception's text)
  bool threw = false;
};

TOpenResult OpenIn(TCustomFFmpeg &E, const std::string &options, const std::string &file);
TOpenResult OpenOut(TCustomFFmpeg &E, const std::string &options, const std::string &file);

// Configures graph fg as a first decoded frame on every input would: each input takes its
// parameters from its stream. Result of configure_filtergraph.
int ConfigureFromStreams(TCustomFFmpeg &E, TFilterGraph *fg);

// Loads the libraries once; every test suite of this program derives from it.
class FilesTest : public ::testing::Test {
protected:
  static void SetUpTestSuite();
};

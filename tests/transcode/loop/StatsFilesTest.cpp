// Files the loop writes beside the outputs: -vstats lines and two-pass log files.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "LoopTestSupport.h"

namespace {

std::vector<std::string> Lines(const std::string &path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

// The "PSNR= " column of a -vstats line (dB), 0 when there is none.
double FramePsnr(const std::string &line) {
  const size_t at = line.find(" PSNR= ");
  double psnr = 0;
  int end = 0;
  if (at == std::string::npos ||
      std::sscanf(line.c_str() + at, " PSNR= %lf f_size=%n", &psnr, &end) != 1 || end == 0)
    return 0;
  return psnr;
}

struct TVstatsCase {
  const char *name;
  const char *version;
  const char *prefix; // start of every line
  bool psnr = false;  // -psnr: every line has the frame's PSNR
};

class VstatsTest : public LoopTest, public ::testing::WithParamInterface<TVstatsCase> {};

TEST_P(VstatsTest, OneLinePerEncodedVideoPacket) {
  const std::string stats = Scratch(std::string("vstats_") + GetParam().name + ".log");
  TTask task;
  ASSERT_TRUE(task.OpenInput(Fixture("av.mp4")));
  ASSERT_TRUE(task.OpenOutput(Scratch("vstats.mkv"), std::string("-vstats_file ") + stats +
                                                         " -vstats_version " + GetParam().version +
                                                         " -an -c:v mpeg4" +
                                                         (GetParam().psnr ? " -psnr" : "")));
  task.Start(false);
  ASSERT_TRUE(task.E->Finished()) << task.E->FatalMessage();
  const std::vector<std::string> lines = Lines(stats);
  ASSERT_EQ(lines.size(), 50u);
  for (const std::string &line : lines) {
    EXPECT_EQ(line.rfind(GetParam().prefix, 0), 0u) << line;
    for (const char *key : {" q= ", " f_size= ", " s_size= ", "kB time= ", " br= ", " avg_br= "})
      EXPECT_NE(line.find(key), std::string::npos) << key << " in " << line;
    EXPECT_EQ(FramePsnr(line) > 30, GetParam().psnr) << line;
  }
  EXPECT_NE(lines[0].find("frame=     0 "), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("type= I"), std::string::npos) << lines[0];
}

INSTANTIATE_TEST_SUITE_P(Loop, VstatsTest,
                         ::testing::Values(TVstatsCase{"v2", "2", "out=  0 st=  0 frame= "},
                                           TVstatsCase{"v1", "1", "frame= "},
                                           TVstatsCase{"psnr", "2",
                                                       "out=  0 st=  0 frame= ", true}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(LoopTest, VstatsFileThatCannotBeOpenedIsFatal) {
  TTask task;
  ASSERT_TRUE(task.OpenInput(Fixture("av.mp4")));
  ASSERT_TRUE(task.OpenOutput(Scratch("vstats_fail.mkv"),
                              "-vstats_file /nonexistent/dir/v.log -an -c:v mpeg4"));
  task.Start(false);
  EXPECT_TRUE(task.E->FatalException());
  EXPECT_EQ(task.E->FatalMessage(), "fopen() failed: /nonexistent/dir/v.log");
  EXPECT_EQ(task.Terminations, 1);
}

// Pass 1 writes the rate-control log; pass 2 reads it and reaches the bit rate asked for.
TEST_F(LoopTest, TwoPassEncodingWritesAndReadsItsLog) {
  const std::string prefix = Scratch("twopass");
  for (int pass = 1; pass <= 2; pass++) {
    TTask task;
    ASSERT_TRUE(task.OpenInput(Fixture("av.mp4")));
    const std::string out = Scratch("twopass" + std::to_string(pass) + ".mkv");
    ASSERT_TRUE(task.OpenOutput(out, "-an -c:v mpeg4 -b:v 100k -pass " + std::to_string(pass) +
                                         " -passlogfile " + prefix))
        << task.Error;
    task.Start(false);
    ASSERT_TRUE(task.E->Finished()) << task.E->FatalMessage();
    if (pass == 1)
      EXPECT_GT(std::filesystem::file_size(prefix + "-0.log"), 100u);
    else
      EXPECT_EQ(CountVideoFrames(out), 50);
  }
}

} // namespace

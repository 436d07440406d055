// quillet-cli's batch form run as a program: many inputs into one folder, N at once.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>

#include "../transcode/files/ToolComparison.h"
#include "CliProcess.h"

namespace fs = std::filesystem;

namespace {

// A fresh folder under the scratch folder.
std::string Folder(const std::string &AName) {
  const std::string dir = ScratchDir() + "/batch_" + AName;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

std::string CopyOf(const std::string &AFixture, const std::string &ATarget) {
  fs::create_directories(fs::path(ATarget).parent_path());
  fs::copy_file(Fixture(AFixture), ATarget, fs::copy_options::overwrite_existing);
  return ATarget;
}

// The JSON line of a file's end: {"file":AInput,"output":AOutput,"state":AState,...
std::string EndLine(const std::string &AInput, const std::string &AOutput, const char *AState) {
  return "{\"file\":\"" + AInput + "\",\"output\":\"" + AOutput + "\",\"state\":\"" + AState + "\"";
}

size_t Count(const std::string &AText, const std::string &APart) {
  size_t count = 0;
  for (size_t at = AText.find(APart); at != std::string::npos; at = AText.find(APart, at + 1))
    count++;
  return count;
}

// Same-named inputs get distinct outputs, and an output never takes the name of an input (here
// one that lies in the output folder): both are numbered.
TEST(CliBatch, ConvertsEveryFileIntoDistinctOutputs) {
  const std::string dir = Folder("names");
  const std::string a = CopyOf("tiny.mp4", dir + "/a/clip.mp4");
  const std::string b = CopyOf("tiny.mp4", dir + "/b/clip.mp4");
  const std::string inOut = CopyOf("av.avi", dir + "/out/clip.avi");
  const auto before = fs::file_size(inOut);
  const std::string out = dir + "/out";
  const TCliRun run =
      RunCli({"batch", "-j", "2", "--json", "-O", "-y -t 1", "-o", out, a, b, inOut});
  EXPECT_EQ(run.status, 0) << run.err << run.out;
  const std::pair<std::string, std::string> expected[] = {
      {a, out + "/clip (2).avi"}, {b, out + "/clip (3).avi"}, {inOut, out + "/clip (4).avi"}};
  for (const auto &[input, output] : expected) {
    EXPECT_NE(run.out.find(EndLine(input, output, "finished")), std::string::npos) << run.out;
    EXPECT_EQ(ProbeStreams(output).size(), 2u) << output;
  }
  EXPECT_EQ(fs::file_size(inOut), before);
  EXPECT_EQ(Count(run.out, "\n"), Count(run.out, "{\"file\":")); // nothing but JSON lines
}

struct TBatchRefusal {
  const char *name;
  std::vector<std::string> args; // after "batch"
  int status;
  std::string message;   // part of stderr
  std::string converted; // an output that must be written anyway; empty for none
};

void PrintTo(const TBatchRefusal &c, std::ostream *os) {
  *os << c.name;
}

class CliBatchRefusal : public ::testing::TestWithParam<TBatchRefusal> {};

TEST_P(CliBatchRefusal, SaysWhyAndConvertsTheRest) {
  const TBatchRefusal &c = GetParam();
  std::vector<std::string> args{"batch"};
  args.insert(args.end(), c.args.begin(), c.args.end());
  const TCliRun run = RunCli(args);
  EXPECT_EQ(run.status, c.status) << run.err;
  EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  if (!c.converted.empty()) {
    EXPECT_EQ(ProbeStreams(c.converted).size(), 2u) << run.err;
  }
}

std::vector<TBatchRefusal> BatchRefusals() {
  const std::string in = Fixture("tiny.mp4");
  const std::string mixed = Folder("mixed");
  return {
      {"NoFolder", {in}, 2, "An output folder (-o FOLDER) is needed.", {}},
      {"NulWithInputs", {"-0", "-o", mixed, in}, 2, "-0 reads the input names", {}},
      {"NoJobs", {"-j", "0", "-o", mixed, in}, 2, "-j needs a number", {}},
      {"UnknownOption", {"--frobnicate", "-o", mixed, in}, 2, "Unknown option: --frobnicate", {}},
      {"NotMediaAmongMedia",
       {"-j", "2", "-o", mixed, Fixture("not_media.mp4"), in},
       1,
       "failed: " + Fixture("not_media.mp4"),
       mixed + "/tiny.avi"},
  };
}

INSTANTIATE_TEST_SUITE_P(Cli, CliBatchRefusal, ::testing::ValuesIn(BatchRefusals()),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(CliBatch, ExistingOutputIsKeptWithoutY) {
  const std::string dir = Folder("kept");
  std::ofstream(dir + "/tiny.avi") << "kept";
  const TCliRun run = RunCli({"batch", "-o", dir, Fixture("tiny.mp4")});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("already exists"), std::string::npos) << run.err;
  EXPECT_EQ(FileText(dir + "/tiny.avi"), "kept");
}

// Names from standard input, NUL-separated, may hold line breaks, quotes and bytes that are
// not UTF-8; the JSON escapes them.
TEST(CliBatch, ReadsNulSeparatedNamesFromStdin) {
  const std::string dir = Folder("stdin");
  const std::string odd = CopyOf("tiny.mp4", dir + "/odd\n\"name\xff.mp4");
  const std::string plain = CopyOf("tiny.mp4", dir + "/plain.mp4");
  const std::string names = dir + "/names";
  std::ofstream(names, std::ios::binary) << odd << '\0' << plain << '\0';
  const int in = ::open(names.c_str(), O_RDONLY | O_CLOEXEC);
  const TCliRun run = TCliProcess({"batch", "-0", "--json", "-O", "-c:a mp2", "-n",
                                   "{dir}-{name}.{ext}.mkv", "-o", dir + "/out"},
                                  in)
                          .Wait();
  ::close(in);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("/odd\\u000a\\\"name\\ufffd.mp4\",\"output\":"), std::string::npos)
      << run.out;
  // ffprobe runs through the shell, which the odd name would confuse.
  EXPECT_GT(fs::file_size(dir + "/out/batch_stdin-odd\n\"name\xff.mp4.mkv"), 1000u);
  EXPECT_EQ(ProbeStreams(dir + "/out/batch_stdin-plain.mp4.mkv").size(), 2u);
}

// Ctrl+C stops both running conversions cleanly (their outputs stay playable) and starts no
// further one.
TEST(CliBatch, CtrlCStopsEveryRunningTask) {
  const std::string dir = Folder("stop");
  const std::string in = Fixture("av.mp4");
  TCliProcess cli({"batch", "-j", "2", "--json", "-I", "-re", "-O", "-c copy", "-n", "{name}.mkv",
                   "-o", dir, in, in, in});
  // Both tasks have written for a while once each has a progress report with a percent.
  const std::regex progress("\"state\":\"running\",\"percent\":[0-9]");
  for (int i = 0; i < 3000; i++) {
    const std::string out = cli.Output();
    if (std::distance(std::sregex_iterator(out.begin(), out.end(), progress),
                      std::sregex_iterator()) >= 2)
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  cli.Signal(SIGINT);
  const TCliRun run = cli.Wait();
  EXPECT_EQ(run.status, 130) << run.err;
  EXPECT_NE(run.out.find(EndLine(in, dir + "/av.mkv", "stopped")), std::string::npos) << run.out;
  EXPECT_NE(run.out.find(EndLine(in, dir + "/av (2).mkv", "stopped")), std::string::npos);
  EXPECT_NE(run.out.find(EndLine(in, "", "skipped")), std::string::npos);
  for (const std::string &output : {dir + "/av.mkv", dir + "/av (2).mkv"}) {
    EXPECT_EQ(ProbeStreams(output).size(), 2u) << output;
    EXPECT_LT(ProbeDuration(output), 1.9) << output;
  }
  EXPECT_FALSE(fs::exists(dir + "/av (3).mkv"));
}

} // namespace

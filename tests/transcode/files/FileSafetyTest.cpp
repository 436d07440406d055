// Opening files never destroys data: a failed output keeps a file that was there before, no
// output or attachment dump can write over an input, files read for options are read only when
// regular and small enough, and times a file claims cannot overflow.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "FilesTestSupport.h"

namespace fs = std::filesystem;

namespace {

// A fresh folder of its own for one test.
std::string Folder(const std::string &name) {
  const std::string dir = ScratchDir() + "/" + name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

class FileSafety : public FilesTest {};

struct TKeepCase {
  const char *name;
  const char *options;
};

// Each fails while opening the output; the file that was there before stays as it was.
const TKeepCase KeepCases[] = {
    {"metadata_map_of_a_missing_input", "-y -c copy -map_metadata 99999"},
    {"metadata_without_equals", "-metadata title"},
    {"unknown_program_key", "-program foo=1"},
    {"bad_disposition", "-disposition:v nosuch"},
    {"bad_rate", "-r abc"},
};

void PrintTo(const TKeepCase &c, std::ostream *os) {
  *os << c.name;
}

class KeepExistingCases : public FileSafety, public ::testing::WithParamInterface<TKeepCase> {};

TEST_P(KeepExistingCases, AFailedOutputKeepsTheFileThatWasThere) {
  TCustomFFmpeg E;
  ASSERT_EQ(OpenIn(E, "", Fixture("av.mp4")).ret, 0);
  const std::string out = Folder(GetParam().name) + "/existing.mkv";
  std::ofstream(out) << "precious contents";
  EXPECT_LT(OpenOut(E, GetParam().options, out).ret, 0);
  EXPECT_EQ(FileContents(out), "precious contents");
  EXPECT_EQ(E.Fnb_output_files(), 0);
}

INSTANTIATE_TEST_SUITE_P(Options, KeepExistingCases, ::testing::ValuesIn(KeepCases),
                         [](const auto &info) { return std::string(info.param.name); });

// The input is a copy of a fixture under input_name in a fresh folder; the output names it in
// another spelling or through a muxer that opens its files later.
struct TSameCase {
  const char *name;
  const char *fixture;
  const char *input_name;
  const char *options;
  const char *output; // relative to the folder
  bool refused;
};

const TSameCase SameCases[] = {
    {"relative_spelling", "av.mp4", "in.mp4", "-c copy", "sub/../in.mp4", true},
    {"symlink", "av.mp4", "in.mp4", "-c copy", "link.mp4", true},
    {"segment_pattern", "av.mp4", "clip007.mkv", "-f segment -map 0 -c copy", "clip%03d.mkv", true},
    {"segment_other_name", "av.mp4", "clip007.mkv", "-f segment -map 0 -c copy", "part%03d.mkv",
     false},
    {"image_sequence", "av.mp4", "img7.png", "-f image2 -map 0:v -c:v png", "img%d.png", true},
    {"image_update", "av.mp4", "still.png", "-f image2 -update 1 -map 0:v -c:v png", "still.png",
     true},
    {"tee_slave", "av.mp4", "in.mkv", "-f tee -map 0 -c copy", "[f=matroska]in.mkv|other.mkv",
     true},
    {"tee_other_slaves", "av.mp4", "in.mkv", "-f tee -map 0 -c copy",
     "[f=matroska]a.mkv|[f=matroska]b.mkv", false},
};

void PrintTo(const TSameCase &c, std::ostream *os) {
  *os << c.name;
}

class SameAsInputCases : public FileSafety, public ::testing::WithParamInterface<TSameCase> {};

TEST_P(SameAsInputCases, AnOutputCannotNameAnInput) {
  const TSameCase &c = GetParam();
  const std::string dir = Folder(c.name);
  fs::create_directories(dir + "/sub");
  const std::string input = dir + "/" + c.input_name;
  fs::copy_file(Fixture(c.fixture), input);
  fs::create_symlink(input, dir + "/link.mp4");
  const std::string before = FileContents(input);
  const fs::path old = fs::current_path();
  fs::current_path(dir); // tee slaves name files relative to the working folder
  TCustomFFmpeg E;
  TOpenResult in = OpenIn(E, "", input);
  TOpenResult r = OpenOut(E, c.options, c.output);
  fs::current_path(old);
  ASSERT_EQ(in.ret, 0) << in.error;
  if (c.refused) {
    EXPECT_LT(r.ret, 0);
    EXPECT_EQ(r.error, std::string("Output ") + c.output + " same as Input #0 - exiting");
  } else {
    EXPECT_EQ(r.ret, 0) << r.error;
  }
  EXPECT_EQ(FileContents(input), before);
}

INSTANTIATE_TEST_SUITE_P(Outputs, SameAsInputCases, ::testing::ValuesIn(SameCases),
                         [](const auto &info) { return std::string(info.param.name); });

// Files that options write besides the output (-progress at once, the pass-1 log when the
// stream is made, the others while the task runs) never name an input, in any spelling: they
// are refused as the output itself would be, and the input is kept.
struct TSideCase {
  const char *name;
  const char *input_name;
  const char *input_options; // %s: the side file's spelling
  const char *options;       // %s: the side file's spelling
  const char *output;
  const char *spelling; // relative to the folder; the input also has link.* and hard.*
  const char *option;   // the refused option
};

const TSideCase SideCases[] = {
    {"progress_other_spelling", "in.mp4", "", "-progress %s -c copy", "out.mkv", "sub/../in.mp4",
     "-progress"},
    {"progress_file_prefix", "in.mp4", "", "-progress %s -c copy", "out.mkv", "file:in.mp4",
     "-progress"},
    {"progress_of_the_input_opening", "in.mp4", "-progress %s", "-c copy", "out.mkv", "link.mp4",
     "-progress"},
    {"vstats_symlink", "in.mp4", "", "-vstats_file %s -c:v mpeg4", "out.mkv", "link.mp4",
     "-vstats_file"},
    {"sdp_hard_link", "in.mp4", "", "-sdp_file %s -c copy", "out.mkv", "hard.mp4", "-sdp_file"},
    {"segment_list", "in.mp4", "", "-f segment -segment_list %s -map 0 -c copy", "seg%03d.mkv",
     "file:hard.mp4", "-segment_list"},
    {"passlogfile", "pass-0.log", "", "-pass 1 -passlogfile %s -c:v mpeg4 -an", "out.mkv",
     "sub/../pass", "-passlogfile"},
};

void PrintTo(const TSideCase &c, std::ostream *os) {
  *os << c.name;
}

class SideOutputCases : public FileSafety, public ::testing::WithParamInterface<TSideCase> {};

std::string WithName(const char *AFormat, const char *AName) {
  std::string text = AFormat;
  const size_t at = text.find("%s");
  return at == std::string::npos ? text : text.replace(at, 2, AName);
}

TEST_P(SideOutputCases, AFileAnOptionWritesCannotBeAnInput) {
  const TSideCase &c = GetParam();
  const std::string dir = Folder(std::string("side_") + c.name);
  fs::create_directories(dir + "/sub");
  const std::string input = dir + "/" + c.input_name;
  fs::copy_file(Fixture("av.mp4"), input);
  const std::string extension = fs::path(input).extension().string();
  fs::create_symlink(input, dir + "/link" + extension);
  fs::create_hard_link(input, dir + "/hard" + extension);
  const std::string before = FileContents(input);
  const fs::path old = fs::current_path();
  fs::current_path(dir);
  TCustomFFmpeg E;
  const TOpenResult in = OpenIn(E, WithName(c.input_options, c.spelling), c.input_name);
  const TOpenResult out = in.ret < 0 ? in : OpenOut(E, WithName(c.options, c.spelling), c.output);
  fs::current_path(old);
  EXPECT_LT(out.ret, 0);
  EXPECT_EQ(out.error.rfind(std::string(c.option) + " ", 0), 0u) << out.error;
  EXPECT_NE(out.error.find(" same as Input #0 - exiting"), std::string::npos) << out.error;
  EXPECT_EQ(FileContents(input), before);
}

INSTANTIATE_TEST_SUITE_P(Options, SideOutputCases, ::testing::ValuesIn(SideCases),
                         [](const auto &info) { return std::string(info.param.name); });

// An input read through cache:, concat: or subfile is its files: an output or a file an option
// writes cannot name one of them either.
TEST_F(FileSafety, InputsThroughProtocolsAreTheirFiles) {
  const std::string dir = Folder("protocol_inputs");
  const std::string a = dir + "/a.ts", b = dir + "/b.ts";
  fs::copy_file(Fixture("clip.ts"), a);
  fs::copy_file(Fixture("clip.ts"), b);
  const std::string before = FileContents(b);
  for (const std::string &input :
       {"cache:" + b, "concat:" + a + "|" + b, "subfile,,start,0,end,0,,:" + b,
        "cache:concat:" + a + "|" + b}) {
    for (const std::string &options : {std::string("-c copy"), "-progress " + b + " -c copy"}) {
      TCustomFFmpeg E;
      ASSERT_EQ(OpenIn(E, "", input).ret, 0) << input;
      const std::string output = options == "-c copy" ? b : dir + "/out.ts";
      const TOpenResult r = OpenOut(E, "-y " + options, output);
      EXPECT_LT(r.ret, 0) << input << " " << options;
      EXPECT_NE(r.error.find(b + " same as Input #0 - exiting"), std::string::npos) << r.error;
      EXPECT_EQ(FileContents(b), before);
    }
  }
}

TEST_F(FileSafety, AttachmentDumpComparesFileIdentity) {
  const std::string dir = Folder("dump_identity");
  const std::string mkv = dir + "/tagged.mkv";
  const std::string cmd = "ffmpeg -nostdin -v error -y -i " + Fixture("audio.wav") + " -attach " +
                          FilesFixture("attach.txt") +
                          " -metadata:s:t mimetype=text/plain -c:a copy " + mkv;
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  fs::create_symlink(mkv, dir + "/link.mkv");
  const std::string before = FileContents(mkv);
  for (const std::string &spelling : {dir + "/./tagged.mkv", dir + "/link.mkv"}) {
    TCustomFFmpeg E;
    TOpenResult r = OpenIn(E, "-y -dump_attachment:t " + spelling, mkv);
    EXPECT_EQ(r.ret, 0) << r.error;
    EXPECT_EQ(r.error, "Output " + spelling + " same as Input #0 - ignored.");
    EXPECT_EQ(FileContents(mkv), before) << spelling;
  }
}

// Files read for options: special files and oversized files are refused with the reason,
// without blocking or reading without end.
struct TReadCase {
  const char *name;
  const char *options; // %s: the path
  const char *path;    // fifo, big, zero
  const char *error;
};

const TReadCase ReadCases[] = {
    {"filter_script_device", "-filter_script:v %s", "zero",
     "Error reading file %s: not a regular file"},
    {"filter_script_fifo", "-filter_script:v %s", "fifo",
     "Error reading file %s: not a regular file"},
    {"filter_script_big", "-filter_script:v %s", "big",
     "Error reading file %s: larger than the limit of 16777216 bytes"},
    {"complex_script_fifo", "-filter_complex_script %s", "fifo",
     "Cannot read the filter graph file \"%s\": not a regular file"},
    {"preset_fifo", "-fpre %s", "fifo", "Preset file \"%s\" cannot be read: not a regular file"},
    {"preset_big", "-vpre %s", "big",
     "Preset file \"%s\" cannot be read: larger than the limit of 16777216 bytes"},
    {"attachment_fifo", "-attach %s", "fifo",
     "Could not open attachment file %s.: not a regular file"},
    {"pass_log_fifo", "-c:v mpeg4 -an -pass 2 -passlogfile %s", "fifo_pass",
     "Error reading log file \"%s-0.log\" for pass-2 encoding: not a regular file"},
};

void PrintTo(const TReadCase &c, std::ostream *os) {
  *os << c.name;
}

class ReadGuardCases : public FileSafety, public ::testing::WithParamInterface<TReadCase> {};

std::string Fill(const char *pattern, const std::string &value) {
  std::string s = pattern;
  for (size_t p = s.find("%s"); p != std::string::npos; p = s.find("%s", p + value.size()))
    s.replace(p, 2, value);
  return s;
}

TEST_P(ReadGuardCases, RefusesWithTheReason) {
  const TReadCase &c = GetParam();
  const std::string dir = Folder(c.name);
  std::string path = dir + "/" + c.path;
  if (std::string(c.path) == "zero")
    path = "/dev/zero";
  else if (std::string(c.path) == "big") {
    std::ofstream{path}.close();
    fs::resize_file(path, (16u << 20) + 1); // sparse: nothing is written
  } else if (std::string(c.path) == "fifo")
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  else
    ASSERT_EQ(::mkfifo((path + "-0.log").c_str(), 0600), 0);
  TCustomFFmpeg E;
  ASSERT_EQ(OpenIn(E, "", Fixture("av.mp4")).ret, 0);
  TOpenResult r = OpenOut(E, Fill(c.options, path), dir + "/out.mkv");
  EXPECT_LT(r.ret, 0);
  EXPECT_NE(r.error.find(Fill(c.error, path)), std::string::npos) << r.error;
}

INSTANTIATE_TEST_SUITE_P(Options, ReadGuardCases, ::testing::ValuesIn(ReadCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(FileSafety, ChaptersWithoutATimeUnitAreNotCopied) {
  const std::string dir = Folder("chapters");
  const std::string meta = dir + "/chapters.txt";
  std::ofstream(meta) << ";FFMETADATA1\n"
                         "[CHAPTER]\nTIMEBASE=0/1\nSTART=0\nEND=10\ntitle=no unit\n"
                         "[CHAPTER]\nTIMEBASE=1/0\nSTART=0\nEND=10\ntitle=no unit either\n"
                         "[CHAPTER]\nTIMEBASE=1/1000\nSTART=100\nEND=500\ntitle=fine\n";
  TCustomFFmpeg E;
  ASSERT_EQ(OpenIn(E, "-f ffmetadata", meta).ret, 0);
  ASSERT_EQ(OpenIn(E, "", Fixture("av.mp4")).ret, 1);
  TOpenResult r = OpenOut(E, "-map 1 -map_chapters 0 -c copy", dir + "/out.mkv");
  ASSERT_EQ(r.ret, 0) << r.error;
  const AVFormatContext *oc = E.Foutput_files[0]->ctx.get();
  ASSERT_EQ(oc->nb_chapters, 1u);
  EXPECT_EQ(oc->chapters[0]->start, 100);
  EXPECT_EQ(oc->chapters[0]->end, 500);
}

} // namespace

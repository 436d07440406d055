// quillet-cli as its users meet it: run as a program, checked by exit status, messages and the
// file it writes.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "../transcode/files/ToolComparison.h"
#include "CliProcess.h"

namespace {

// Puts an environment variable back as it was when the scope ends.
class TSavedVariable {
public:
  explicit TSavedVariable(const char *AName) : FName(AName) {
    const char *value = getenv(AName);
    FSet = value != nullptr;
    FValue = FSet ? value : "";
  }
  ~TSavedVariable() {
    if (FSet)
      setenv(FName, FValue.c_str(), 1);
    else
      unsetenv(FName);
  }

private:
  const char *FName;
  bool FSet;
  std::string FValue;
};

class CliTest : public ::testing::Test {};

TEST_F(CliTest, HelpExplainsTheCommandLine) {
  const TCliRun run = RunCli({"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("Usage: quillet-cli [--preview] [-I \"input options\"] INPUT "
                         "[-O \"output options\"] OUTPUT"),
            std::string::npos)
      << run.out;
}

struct TRefusalCase {
  const char *name;
  std::vector<std::string> args;
  int status;
  const char *message; // part of stderr
};

void PrintTo(const TRefusalCase &c, std::ostream *os) {
  *os << c.name;
}

class CliRefusal : public CliTest, public ::testing::WithParamInterface<TRefusalCase> {};

TEST_P(CliRefusal, PrintsTheReasonAndFails) {
  const TRefusalCase &c = GetParam();
  const TCliRun run = RunCli(c.args);
  EXPECT_EQ(run.status, c.status) << run.err;
  EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  EXPECT_EQ(run.err.find("Task 0 ended"), std::string::npos) << run.err;
}

std::vector<TRefusalCase> RefusalCases() {
  const std::string in = Fixture("av.mp4");
  const std::string out = ScratchDir() + "/refused.avi";
  const std::string existing = ScratchDir() + "/existing.avi";
  std::ofstream(existing) << "kept";
  return {
      {"NoArguments", {}, 2, "An input and an output file are needed."},
      {"OnlyAnInput", {in}, 2, "An input and an output file are needed."},
      {"OptionsWithoutText", {in, out, "-O"}, 2, "Option -O needs an option string."},
      {"ThirdFile", {in, out, out}, 2, "Unexpected argument: "},
      {"MissingInput", {ScratchDir() + "/missing.mp4", out}, 1, "No such file or directory"},
      {"NotMedia", {Fixture("not_media.mp4"), out}, 1, "Invalid data found"},
      {"UnknownOption", {in, "-O", "-y -nosuchoption 1", out}, 1, "nosuchoption"},
      {"UnknownEncoder", {in, "-O", "-y -c:v nosuchencoder", out}, 1, "nosuchencoder"},
      {"ExistingOutputWithoutY", {in, existing}, 1, "already exists"},
      {"UnwritableOutput", {in, "-O", "-y", "/nonexistent/dir/out.avi"}, 1, "No such file"},
      {"OptionsWithoutTheirOutput",
       {in, "-O", "-y", out, "-O", "-y"},
       2,
       "An input and an output file are needed."},
      {"TwoOptionsForOneOutput",
       {in, "-O", "-y", "-O", "-y -an", out},
       2,
       "-O must be followed by its OUTPUT."},
      {"UnwritableSecondOutput",
       {in, "-O", "-y -c:v mpeg4", out, "-O", "-y", "/nonexistent/dir/out.avi"},
       1,
       "No such file"},
      {"UnknownPreset", {"--preset", "No such preset", in, out}, 2, "Unknown preset: No such"},
      {"PresetWithoutName", {in, out, "--preset"}, 2, "Option --preset needs a name."},
      // -y is global, as in the tool: without it anywhere an existing second output is kept.
      {"ExistingSecondOutputWithoutY",
       {in, "-O", "", out, "-O", "", existing},
       1,
       "already exists"},
  };
}

INSTANTIATE_TEST_SUITE_P(Cli, CliRefusal, ::testing::ValuesIn(RefusalCases()),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(CliTest, ConvertsAndReportsTheFinishedTask) {
  const std::string options = "-t 1.5 -c:v mpeg4 -c:a libvorbis -vf scale=160:120";
  const std::string out = ScratchDir() + "/converted.mkv";
  const TCliRun run = RunCli({Fixture("av.mp4"), "-O", "-y " + options, out});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("Task 0 ended: Finished=true Exception=false"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("100.0% time=00:00:01."), std::string::npos) << run.err;
  const std::vector<TStreamFacts> streams = ProbeStreams(out);
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_EQ(streams[0].at("codec_name"), "mpeg4");
  EXPECT_EQ(streams[0].at("width"), "160");
  EXPECT_EQ(streams[1].at("codec_name"), "vorbis");
  const std::string tool = ScratchDir() + "/converted_by_tool.mkv";
  RunText("ffmpeg -nostdin -v error -y -i \"" + Fixture("av.mp4") + "\" " + options + " \"" + tool +
          "\"");
  EXPECT_NEAR(ProbeDuration(out), ProbeDuration(tool), 0.04);
}

// --preset: a built-in profile's whole row, or one of the user's presets from the presets file
// in the settings folder, leads the output's own options.
TEST_F(CliTest, PresetsLeadTheOutputsOptions) {
  TSavedVariable appData("APPDATA");
  const std::string config = ScratchDir() + "/preset_config";
  std::filesystem::create_directories(config + "/Sablewick/Quillet");
  std::ofstream(config + "/Sablewick/Quillet/presets.ini")
      << "[Small WebM]\nVideoFormat2=8\nVideoEncoder2=1\nAudioEncoder2=1\n";
  setenv("APPDATA", config.c_str(), 1);
  const struct {
    const char *preset, *file, *video, *audio;
  } cases[] = {{"mpeg4 avc (*.mp4)", "profile.mp4", "h264", "aac"},
               {"small webm", "own.webm", "vp9", "opus"}};
  for (const auto &c : cases) {
    const std::string out = ScratchDir() + "/" + c.file;
    const TCliRun run = RunCli({"--preset", c.preset, Fixture("tiny.mp4"), "-O", "-y -t 0.5", out});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<TStreamFacts> streams = ProbeStreams(out);
    ASSERT_EQ(streams.size(), 2u) << c.preset;
    EXPECT_EQ(streams[0].at("codec_name"), c.video);
    EXPECT_EQ(streams[1].at("codec_name"), c.audio);
    EXPECT_EQ(streams[1].at("sample_rate"), std::string(c.video) == "h264" ? "44100" : "48000");
  }
}

// A preset whose options differ by source reads the input first: its text subtitles are
// burned in ("Hello" at the bottom of 320x240), or its first audio track is taken when none is
// in the languages, as stderr says.
TEST_F(CliTest, PresetsBuildTheOptionsOfTheInput) {
  TSavedVariable appData("APPDATA");
  const std::string config = ScratchDir() + "/source_config";
  std::filesystem::create_directories(config + "/Sablewick/Quillet");
  std::ofstream(config + "/Sablewick/Quillet/presets.ini")
      << "[Burn]\nVideoFormat2=2\nSubtitles=2\n"
      << "[German]\nVideoFormat2=2\nAudioTracks=2\nAudioLanguages=de\n";
  setenv("APPDATA", config.c_str(), 1);
  const std::string burned = ScratchDir() + "/source_burned.mkv";
  TCliRun run = RunCli({"--preset", "Burn", Fixture("tagged.mkv"), "-O", "-y", burned});
  ASSERT_EQ(run.status, 0) << run.err;
  const auto drawn = PictureDifference(GrayPicture(burned), GrayPicture(Fixture("tagged.mkv")), 320,
                                       {136, 208, 48, 26});
  EXPECT_GT(drawn.first, 5.0);
  const std::string first = ScratchDir() + "/source_first.mkv";
  run = RunCli({"--preset", "German", Fixture("languages.mkv"), "-O", "-y", first});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("No audio track in ger: the first one is converted"), std::string::npos)
      << run.err;
  const std::vector<TStreamFacts> streams = ProbeStreams(first);
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_EQ(streams[1].at("channels"), "2"); // the English stereo track
}

// An own preset's FFmpeg command text leads the output's options as a settings string does;
// an own preset with a target size converts in two passes at the rate that fills it (the
// string alone would give one pass at the 32k audio and the encoder's own video rate), the
// output within 3 % of the size and the pass logs' folder gone.
TEST_F(CliTest, OwnPresetsCommandTextAndTargetSize) {
  TSavedVariable appData("APPDATA"), temp("TMPDIR");
  const std::string config = ScratchDir() + "/command_config";
  const std::string logs = ScratchDir() + "/pass_logs";
  std::filesystem::create_directories(config + "/Sablewick/Quillet");
  std::filesystem::create_directories(logs);
  std::ofstream(config + "/Sablewick/Quillet/presets.ini")
      << "[Mkv command]\nVideoFormat2=2\nCommand=-c:v mpeg4 -q:v 3 -c:a libvorbis\n"
      << "[One MB]\nAudioBitRate2=7\nTargetSize=1\n";
  setenv("APPDATA", config.c_str(), 1);
  setenv("TMPDIR", logs.c_str(), 1);
  const std::string command = ScratchDir() + "/command.mkv";
  TCliRun run =
      RunCli({"--preset", "mkv command", Fixture("tiny.mp4"), "-O", "-y -t 0.5", command});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<TStreamFacts> streams = ProbeStreams(command);
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_EQ(streams[0].at("codec_name"), "mpeg4");
  EXPECT_EQ(streams[1].at("codec_name"), "vorbis");

  const std::string noisy = ScratchDir() + "/noisy.mp4";
  RunText("ffmpeg -nostdin -v error -y -f lavfi -i "
          "testsrc2=size=320x240:rate=25:duration=2,noise=alls=40:allf=t -f lavfi -i "
          "sine=frequency=440:sample_rate=44100:duration=2 -c:v mpeg4 -q:v 2 \"" +
          noisy + "\"");
  const std::string sized = ScratchDir() + "/sized.avi";
  run = RunCli({"--preset", "One MB", noisy, "-O", "-y", sized});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(
      run.err.find("Target size 1 MB: video bit rate 3712 kbit/s (audio 128 kbit/s), two passes\n"
                   "Pass 1 of 2\n"),
      std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("Pass 2 of 2\n"), std::string::npos) << run.err;
  streams = ProbeStreams(sized);
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_EQ(streams[0].at("codec_name"), "mpeg4");
  EXPECT_EQ(streams[1].at("codec_name"), "mp3");
  EXPECT_NEAR(double(std::filesystem::file_size(sized)), 1e6, 3e4);
  EXPECT_TRUE(std::filesystem::is_empty(logs));
  // Standard input cannot be read twice: refused before anything is converted.
  run = RunCli({"--preset", "One MB", "-", "-O", "-y", ScratchDir() + "/piped.avi"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("Target size: the two passes read the input twice"), std::string::npos)
      << run.err;
  EXPECT_EQ(run.err.find("Task 0 ended"), std::string::npos) << run.err;
}

// Several outputs in one run, as the tool's "-i in out1 out2": each written as the tool writes
// it with the same options.
struct TOutputsCase {
  const char *name;
  std::vector<std::pair<std::string, std::string>> outputs; // options, file name
  std::string inputOptions;
};

void PrintTo(const TOutputsCase &c, std::ostream *os) {
  *os << c.name;
}

class CliOutputs : public CliTest, public ::testing::WithParamInterface<TOutputsCase> {};

TEST_P(CliOutputs, WritesEveryOutputAsTheTool) {
  const TOutputsCase &c = GetParam();
  std::vector<std::string> args{"-I", c.inputOptions, Fixture("av.mp4")};
  std::string toolArgs;
  for (const auto &[options, name] : c.outputs) {
    args.insert(args.end(), {"-O", "-y " + options, ScratchDir() + "/ours_" + name});
    toolArgs += " " + options + " \"" + ScratchDir() + "/tool_" + name + "\"";
  }
  const TCliRun run = RunCli(args);
  EXPECT_EQ(run.status, 0) << run.err;
  RunText("ffmpeg -nostdin -v error -y " + c.inputOptions + " -i \"" + Fixture("av.mp4") + "\"" +
          toolArgs);
  for (const auto &[options, name] : c.outputs) {
    const std::string ours = ScratchDir() + "/ours_" + name;
    const std::string tool = ScratchDir() + "/tool_" + name;
    const std::vector<TStreamFacts> streams = ProbeStreams(ours);
    EXPECT_EQ(streams, ProbeStreams(tool)) << name;
    EXPECT_FALSE(streams.empty()) << name;
    EXPECT_NEAR(ProbeDuration(ours), ProbeDuration(tool), 0.04) << name;
    const std::string firstTime =
        "ffprobe -v error -read_intervals %+#1 -show_entries packet=pts_time -of csv=p=0 \"";
    EXPECT_EQ(RunText(firstTime + ours + "\""), RunText(firstTime + tool + "\"")) << name;
  }
}

const TOutputsCase OutputsCases[] = {
    {"video_and_audio_apart",
     {{"-an -c:v mpeg4", "video.mkv"}, {"-vn -c:a libmp3lame", "audio.mp3"}},
     ""},
    {"three_with_a_copy",
     {{"-c copy", "copy.mkv"},
      {"-c:v mpeg4 -vf scale=160:120 -c:a mp2", "small.avi"},
      {"-vn -c:a flac -t 1", "cut.flac"}},
     ""},
    // A global option acts on the whole run wherever it stands: the first output keeps the
    // input's times too.
    {"copyts_among_the_second_output",
     {{"-an -c:v mpeg4", "first.mkv"}, {"-copyts -an -c:v mpeg4", "second.mkv"}},
     "-ss 1"},
};

INSTANTIATE_TEST_SUITE_P(Cli, CliOutputs, ::testing::ValuesIn(OutputsCases),
                         [](const auto &info) { return std::string(info.param.name); });

// The engine's and the libraries' messages reach stderr as the tool prints them: warnings and
// errors by default, what -loglevel asks for otherwise; the reason of a failure with them.
struct TMessagesCase {
  const char *name;
  std::string options;
  std::string output; // in the scratch folder, or an absolute path
  int status;
  std::vector<std::string> shown;
  std::vector<std::string> hidden;
};

void PrintTo(const TMessagesCase &c, std::ostream *os) {
  *os << c.name;
}

class CliMessages : public CliTest, public ::testing::WithParamInterface<TMessagesCase> {};

TEST_P(CliMessages, ShowsTheToolsMessages) {
  const TMessagesCase &c = GetParam();
  const std::string out = c.output[0] == '/' ? c.output : ScratchDir() + "/" + c.output;
  const TCliRun run = RunCli({Fixture("av.mp4"), "-O", "-y " + c.options, out});
  EXPECT_EQ(run.status, c.status) << run.err;
  for (const std::string &text : c.shown)
    EXPECT_NE(run.err.find(text), std::string::npos) << text << "\n" << run.err;
  for (const std::string &text : c.hidden)
    EXPECT_EQ(run.err.find(text), std::string::npos) << text << "\n" << run.err;
}

const TMessagesCase MessagesCases[] = {
    {"unknown_filter",
     "-vf nosuchfilter",
     "messages_filter.mkv",
     1,
     {"] No such filter: 'nosuchfilter'\n", "\nError reinitializing filters!\n",
      "ExceptionMsg: Error reinitializing filters!"},
     {}},
    {"bad_sample_rate", "-ar -5", "messages_ar.mkv", 1, {"] Error parsing sample rate: -5.\n"}, {}},
    {"bad_disposition",
     "-disposition:a foo",
     "messages_disposition.mkv",
     1,
     {"] Unable to parse option value \"foo\"\n", "Error setting output stream dispositions"},
     {}},
    {"unknown_extension",
     "",
     "messages.xyz",
     1,
     {"] Unable to find a suitable output format for '"},
     {}},
    {"full_device_at_the_trailer",
     "-c copy -f matroska",
     "/dev/full",
     1,
     {"Error writing trailer of /dev/full: No space left on device\n",
      "ExceptionMsg: Error writing trailer of /dev/full: No space left on device"},
     {}},
    {"warning_at_the_default_level",
     "-t 1 -to 1.5 -c:v mpeg4",
     "messages_warning.mkv",
     0,
     {"-t and -to cannot be used together; using -t.\n"},
     {}},
    {"loglevel_error_hides_warnings",
     "-loglevel error -t 1 -to 1.5 -vf nosuchfilter",
     "messages_error.mkv",
     1,
     {"] No such filter: 'nosuchfilter'\n"},
     {"-t and -to cannot be used together"}},
    {"loglevel_quiet",
     "-loglevel quiet -vf nosuchfilter",
     "messages_quiet.mkv",
     1,
     {"ExceptionMsg: Error reinitializing filters!"},
     {"] No such filter"}},
};

INSTANTIATE_TEST_SUITE_P(Cli, CliMessages, ::testing::ValuesIn(MessagesCases),
                         [](const auto &info) { return std::string(info.param.name); });

// The progress line counts the frames written and their rate as the tool's does.
struct TProgressCase {
  const char *name;
  std::string options;
  std::string output;
};

void PrintTo(const TProgressCase &c, std::ostream *os) {
  *os << c.name;
}

class CliProgress : public CliTest, public ::testing::WithParamInterface<TProgressCase> {};

// The number after the last "frame=" of a text; -1 when there is none.
int LastFrameCount(const std::string &AText) {
  const size_t at = AText.rfind("frame=");
  return at == std::string::npos ? -1 : std::atoi(AText.c_str() + at + 6);
}

TEST_P(CliProgress, CountsFramesAsTheTool) {
  const TProgressCase &c = GetParam();
  const std::string out = ScratchDir() + "/progress_" + c.output;
  const TCliRun run = RunCli({Fixture("av.mp4"), "-O", "-y " + c.options, out});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string tool =
      RunText("ffmpeg -nostdin -v error -stats -y -i \"" + Fixture("av.mp4") + "\" " + c.options +
              " \"" + ScratchDir() + "/tool_progress_" + c.output + "\" 2>&1");
  EXPECT_EQ(LastFrameCount(run.err), LastFrameCount(tool)) << run.err << tool;
  EXPECT_EQ(run.err.find("fps=") == std::string::npos, tool.find("fps=") == std::string::npos)
      << run.err;
}

const TProgressCase ProgressCases[] = {
    {"video", "-c:v mpeg4 -c:a mp2", "av.mkv"},
    {"video_rate_halved", "-an -c:v mpeg4 -r 12.5", "half.mkv"},
};

INSTANTIATE_TEST_SUITE_P(Cli, CliProgress, ::testing::ValuesIn(ProgressCases),
                         [](const auto &info) { return std::string(info.param.name); });

// A packet the muxer refuses (a second picture for one image name) fails the run, as it does
// the tool's, though the first picture and the trailer are written.
TEST_F(CliTest, AFailedPacketWriteFailsTheRun) {
  const std::string out = ScratchDir() + "/one_name.png";
  const TCliRun run = RunCli({Fixture("av.mp4"), "-O", "-y -frames:v 3", out});
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("Task 0 ended: Finished=false Exception=true\n"
                         "ExceptionMsg: av_interleaved_write_frame(): Invalid argument"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(ProbeStreams(out).size(), 1u);
}

// "-" is standard input or output: media streams through pipes, stdout carries nothing else,
// and a file that happens to be called "-" in the working folder is neither a reason to refuse
// (no -y given) nor touched, even when the conversion fails before anything is written.
struct TPipeCase {
  const char *name;
  const char *options;
  int status;
};

void PrintTo(const TPipeCase &c, std::ostream *os) {
  *os << c.name;
}

class CliPipe : public CliTest, public ::testing::WithParamInterface<TPipeCase> {};

TEST_P(CliPipe, StreamsFromStdinToStdout) {
  const TPipeCase &c = GetParam();
  const std::string dir = ScratchDir() + "/pipe_" + c.name;
  std::filesystem::create_directories(dir);
  std::ofstream(dir + "/-").close();
  const std::string in = Fixture("tagged.mkv");
  const std::string cmd = "cd \"" + dir + "\" && cat \"" + in + "\" | \"" + QUILLET_CLI +
                          "\" - -O \"" + c.options + "\" - 2>err.txt >out.mkv; echo status=$?";
  EXPECT_NE(RunText(cmd).find("status=" + std::to_string(c.status)), std::string::npos)
      << FileText(dir + "/err.txt");
  EXPECT_TRUE(std::filesystem::exists(dir + "/-"));
  EXPECT_EQ(std::filesystem::file_size(dir + "/-"), 0u);
  const std::string out = FileText(dir + "/out.mkv");
  EXPECT_EQ(out.find("Task 0"), std::string::npos);
  EXPECT_EQ(out.find("time="), std::string::npos);
  EXPECT_NE(FileText(dir + "/err.txt").find("Task 0 ended"), std::string::npos);
  if (c.status != 0)
    return;
  EXPECT_EQ(out.substr(0, 4), "\x1a\x45\xdf\xa3"); // starts as Matroska, no text before
  const std::vector<TStreamFacts> streams = ProbeStreams(dir + "/out.mkv");
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_EQ(streams[0].at("codec_name"), "mpeg4");
  EXPECT_EQ(streams[1].at("codec_name"), "subrip");
  EXPECT_NEAR(ProbeDuration(dir + "/out.mkv"), ProbeDuration(in), 0.04);
}

const TPipeCase PipeCases[] = {
    {"copy", "-f matroska -c copy", 0},
    // The encoder refuses the profile when the task starts: before the header is written.
    {"failing_encoder", "-f matroska -c:v libx264 -profile:v baseline -pix_fmt yuv444p", 1},
};

INSTANTIATE_TEST_SUITE_P(Cli, CliPipe, ::testing::ValuesIn(PipeCases),
                         [](const auto &info) { return std::string(info.param.name); });

// Without a display to show it on (none named, or one that cannot be reached) the preview is
// unavailable, and the conversion runs all the same.
TEST_F(CliTest, PreviewWithoutADisplayConvertsAnyway) {
  const char *const given = getenv("DISPLAY");
  const std::string saved = given ? given : "";
  for (const char *display : {"", ":4711"}) {
    unsetenv("WAYLAND_DISPLAY");
    if (*display)
      setenv("DISPLAY", display, 1);
    else
      unsetenv("DISPLAY");
    const std::string out = ScratchDir() + "/previewed.mkv";
    const TCliRun run = RunCli({"--preview", Fixture("av.mp4"), "-O", "-y -c:v mpeg4", out});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Preview unavailable: no display. Converting without it."),
              std::string::npos)
        << run.err;
    EXPECT_NEAR(ProbeDuration(out), 2.0, 0.1) << display;
  }
  if (given)
    setenv("DISPLAY", saved.c_str(), 1);
}

// With a display the preview module loads (its symbols resolve against the program) and the
// pictures are shown while the task converts.
TEST_F(CliTest, PreviewWithADisplayLoadsTheWindowAndConverts) {
  const int display = 150 + int(getpid() % 100);
  const std::string socket = "/tmp/.X11-unix/X" + std::to_string(display);
  const std::string name = ":" + std::to_string(display);
  pid_t xvfb = -1;
  char *const xargs[] = {const_cast<char *>("Xvfb"), const_cast<char *>(name.c_str()),
                         const_cast<char *>("-nolisten"), const_cast<char *>("tcp"), nullptr};
  if (posix_spawnp(&xvfb, "Xvfb", nullptr, nullptr, xargs, environ) != 0)
    GTEST_SKIP() << "no Xvfb";
  for (int i = 0; i < 500 && access(socket.c_str(), F_OK) != 0; i++)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  // The test run asks Qt for its offscreen platform; the preview needs the real one.
  const TSavedVariable savedDisplay("DISPLAY"), savedPlatform("QT_QPA_PLATFORM");
  setenv("DISPLAY", name.c_str(), 1);
  unsetenv("WAYLAND_DISPLAY");
  unsetenv("QT_QPA_PLATFORM");
  const std::string out = ScratchDir() + "/shown.mkv";
  const TCliRun run = RunCli({"--preview", Fixture("av.mp4"), "-O", "-y -c:v mpeg4", out});
  ::kill(xvfb, SIGTERM);
  ::waitpid(xvfb, nullptr, 0);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err.find("Preview unavailable"), std::string::npos) << run.err;
  EXPECT_NEAR(ProbeDuration(out), 2.0, 0.1);
}

TEST_F(CliTest, CtrlCStopsWithAPlayableOutputAndAFailureStatus) {
  const std::string out = ScratchDir() + "/interrupted.mkv";
  TCliProcess cli({"-I", "-re", Fixture("av.mp4"), "-O", "-y -c copy", out});
  ASSERT_TRUE(cli.WaitForError("time="));
  cli.Signal(SIGINT);
  const TCliRun run = cli.Wait();
  EXPECT_EQ(run.status, 130) << run.err;
  EXPECT_NE(run.err.find("Task 0 ended: Finished=false Exception=false"), std::string::npos)
      << run.err;
  // The trailer is written: ffprobe reads both streams and a duration short of the clip's.
  EXPECT_EQ(ProbeStreams(out).size(), 2u);
  const double duration = ProbeDuration(out);
  EXPECT_GT(duration, 0.0);
  EXPECT_LT(duration, 1.9);
}

// An existing output is replaced only with -y as the options parse it, whatever the spelling of
// its name; a run that fails keeps it as it was, one that succeeds replaces it (through a link:
// the file the link names, with its permissions). Nothing else is left in the folder.
enum TSpelling { spPlain, spFilePrefix, spLink };

struct TOverwriteCase {
  const char *name;
  const char *options;
  TSpelling spelling;
  int status;
  const char *message; // part of stderr
  bool replaced;
};

void PrintTo(const TOverwriteCase &c, std::ostream *os) {
  *os << c.name;
}

class CliOverwrite : public CliTest, public ::testing::WithParamInterface<TOverwriteCase> {};

std::vector<std::string> FolderEntries(const std::string &ADir) {
  std::vector<std::string> names;
  for (const auto &entry : std::filesystem::directory_iterator(ADir))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_P(CliOverwrite, ReplacesAnExistingFileOnlyWithYAndOnlyOnceWritten) {
  const TOverwriteCase &c = GetParam();
  const std::string dir = ScratchDir() + "/overwrite_" + c.name;
  std::filesystem::create_directories(dir);
  const std::string old = dir + "/old.mkv";
  std::ofstream(old) << "old bytes";
  ::chmod(old.c_str(), 0640);
  std::string output = old;
  if (c.spelling == spFilePrefix)
    output = "file:" + old;
  if (c.spelling == spLink) {
    output = dir + "/link.mkv";
    std::filesystem::create_symlink("old.mkv", output);
  }
  const TCliRun run = RunCli({Fixture("av.mp4"), "-O", c.options, output});
  EXPECT_EQ(run.status, c.status) << run.err;
  EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  const std::vector<std::string> expected = c.spelling == spLink
                                                ? std::vector<std::string>{"link.mkv", "old.mkv"}
                                                : std::vector<std::string>{"old.mkv"};
  EXPECT_EQ(FolderEntries(dir), expected);
  EXPECT_EQ(std::filesystem::is_symlink(dir + "/link.mkv"), c.spelling == spLink);
  EXPECT_EQ(std::filesystem::status(old).permissions(),
            std::filesystem::perms(0640)); // kept or taken over
  if (!c.replaced) {
    EXPECT_EQ(FileText(old), "old bytes");
    return;
  }
  EXPECT_EQ(ProbeStreams(old).size(), 2u);
  EXPECT_NEAR(ProbeDuration(old), 2.0, 0.1);
}

const TOverwriteCase OverwriteCases[] = {
    {"WithoutY", "-c copy", spPlain, 1, "already exists", false},
    {"FilePrefixWithoutY", "-c copy", spFilePrefix, 1, "already exists", false},
    {"YInsideAQuotedValue", "-metadata \"comment=a -y b\" -c copy", spPlain, 1, "already exists",
     false},
    {"YAndN", "-y -n -c copy", spPlain, 1, "both -y and -n supplied", false},
    // The encoder refuses the profile after the output was opened.
    {"YWithAFailingEncoder", "-y -c:v libx264 -profile:v nonsense", spPlain, 1,
     "Finished=false Exception=true", false},
    {"Y", "-y -c copy", spPlain, 0, "Finished=true Exception=false", true},
    {"YThroughFilePrefix", "-y -c copy", spFilePrefix, 0, "Finished=true Exception=false", true},
    {"YThroughALink", "-y -c copy", spLink, 0, "Finished=true Exception=false", true},
};

INSTANTIATE_TEST_SUITE_P(Cli, CliOverwrite, ::testing::ValuesIn(OverwriteCases),
                         [](const auto &info) { return std::string(info.param.name); });

// Outputs that are not one regular file are written where they are, as before: a device, an
// image sequence over an older picture, segments.
TEST_F(CliTest, OutputsThatAreNotOneFileAreWrittenInPlace) {
  const std::string dir = ScratchDir() + "/in_place";
  std::filesystem::create_directories(dir);
  std::ofstream(dir + "/img_01.png") << "old picture";
  const struct {
    const char *options;
    std::string output;
    std::string made; // a file the run writes
  } cases[] = {
      {"-y -f matroska -c copy", "/dev/null", ""},
      {"-y -frames:v 3", dir + "/img_%02d.png", dir + "/img_03.png"},
      {"-y -f segment -segment_time 1 -c copy", dir + "/seg_%02d.mkv", dir + "/seg_00.mkv"},
  };
  for (const auto &c : cases) {
    const TCliRun run = RunCli({Fixture("av.mp4"), "-O", c.options, c.output});
    EXPECT_EQ(run.status, 0) << c.output << "\n" << run.err;
    if (!c.made.empty()) {
      EXPECT_GT(ProbeStreams(c.made).size(), 0u) << c.made;
    }
  }
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
  EXPECT_EQ(ProbeStreams(dir + "/img_01.png").size(), 1u);
  EXPECT_EQ(FolderEntries(dir), (std::vector<std::string>{"img_01.png", "img_02.png", "img_03.png",
                                                          "seg_00.mkv", "seg_01.mkv"}));
}

// A reader that goes away early (head) is a write error: the run fails with status 1 and says
// "Broken pipe", as the tool does, rather than dying from SIGPIPE without a word.
TEST_F(CliTest, AReaderThatGoesAwayIsABrokenPipe) {
  const std::string dir = ScratchDir() + "/broken_pipe";
  std::filesystem::create_directories(dir);
  // Raw video: far more than a pipe holds.
  const std::string cmd = "cd \"" + dir + "\" && { \"" + QUILLET_CLI + "\" \"" + Fixture("av.mp4") +
                          "\" -O \"-f matroska -c:v rawvideo -c:a pcm_s16le\" - 2>err.txt; "
                          "echo $? >status.txt; } | head -c 1000 >/dev/null";
  RunText(cmd);
  EXPECT_EQ(FileText(dir + "/status.txt"), "1\n");
  const std::string err = FileText(dir + "/err.txt");
  EXPECT_NE(err.find("Task 0 ended: Finished=false Exception=true"), std::string::npos) << err;
  EXPECT_NE(err.find("Broken pipe"), std::string::npos) << err;
}

// One Ctrl+C ends a run blocked in an open or a read, with the status of a stop.
void ExpectOneCtrlCEnds(TCliProcess &cli) {
  cli.Signal(SIGINT);
  const TCliRun run = cli.WaitOrKill(60);
  EXPECT_EQ(run.status, 130) << run.err;
}

// The input pipe delivers a file's bytes, then nothing more without ending.
TEST_F(CliTest, OneCtrlCEndsAReadFromAPipeThatStoppedDelivering) {
  int pipeEnds[2];
  ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
  const std::string out = ScratchDir() + "/stalled_pipe.mkv";
  TCliProcess cli({"-", "-O", "-y -f matroska -c copy", out}, pipeEnds[0]);
  ::close(pipeEnds[0]);
  const std::string bytes = FileText(Fixture("tagged.mkv")); // less than a pipe holds
  ASSERT_EQ(::write(pipeEnds[1], bytes.data(), bytes.size()), ssize_t(bytes.size()));
  EXPECT_TRUE(cli.WaitForError("time=", 60));
  ExpectOneCtrlCEnds(cli);
  ::close(pipeEnds[1]);
  // Stopped cleanly: the trailer is written.
  EXPECT_EQ(ProbeStreams(out).size(), 2u);
}

// A server on this machine that takes the connection and never answers.
class TSilentServer {
public:
  TSilentServer() {
    FListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(FListener, reinterpret_cast<sockaddr *>(&address), size) == 0 &&
        ::listen(FListener, 4) == 0 &&
        ::getsockname(FListener, reinterpret_cast<sockaddr *>(&address), &size) == 0)
      FPort = ntohs(address.sin_port);
  }
  ~TSilentServer() {
    for (int fd : {FClient, FListener})
      if (fd >= 0)
        ::close(fd);
  }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(FPort) + "/clip.mp4"; }
  // Waits up to ASeconds for a client to connect.
  bool Accept(int ASeconds) {
    pollfd waiting{FListener, POLLIN, 0};
    if (::poll(&waiting, 1, ASeconds * 1000) != 1)
      return false;
    FClient = ::accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
    return FClient >= 0;
  }

private:
  int FListener = -1;
  int FClient = -1;
  int FPort = 0;
};

TEST_F(CliTest, OneCtrlCEndsAnOpenThatAServerNeverAnswers) {
  TSilentServer server;
  TCliProcess cli({server.Url(), "-O", "-y -c copy", ScratchDir() + "/never.mkv"});
  ASSERT_TRUE(server.Accept(60));
  ExpectOneCtrlCEnds(cli);
}

} // namespace

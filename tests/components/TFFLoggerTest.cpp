#include <unistd.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "components/CallInMainThread.h"
#include "components/FFAPI.h"
#include "components/MessageBoxHook.h"
#include "components/TFFLoader.h"
#include "components/TFFLogger.h"

namespace fs = std::filesystem;

namespace {

struct TLine {
  const TObject *Sender;
  uint32_t ThreadID;
  TLogLevel Level;
  std::string Text;
};

// The message part of a line: what follows "hh:nn:ss.zzz [XXXXXXXX] " (or "]* ").
std::string MessageOf(const std::string &line) {
  size_t at = line.find(']');
  if (at == std::string::npos)
    return line;
  ++at;
  if (at < line.size() && line[at] == '*')
    ++at;
  return line.substr(at + 1);
}

// A library log context with its own class, optionally inside a parent context.
const char *ProbeName(void *) {
  return "probe";
}
const char *ParentName(void *) {
  return "parent";
}
struct TParentContext {
  const AVClass *Class;
};
struct TProbeContext {
  const AVClass *Class;
  TParentContext *Parent;
};
AVClass MakeClass(const char *name, const char *(*itemName)(void *), int parentOffset) {
  AVClass avClass{};
  avClass.class_name = name;
  avClass.item_name = itemName;
  avClass.version = LIBAVUTIL_VERSION_INT;
  avClass.parent_log_context_offset = parentOffset;
  return avClass;
}
const AVClass ParentClass = MakeClass("parent", ParentName, 0);
const AVClass ProbeClass = MakeClass("probe", ProbeName, int(offsetof(TProbeContext, Parent)));

void LibraryLog(void *context, int level, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
void LibraryLog(void *context, int level, const char *format, ...) {
  // Formatted here (av_vlog is not bound), then handed to the library's av_log.
  va_list args;
  va_start(args, format);
  char *text = nullptr;
  const int n = vasprintf(&text, format, args);
  va_end(args);
  ASSERT_GE(n, 0);
  ff::av_log(context, level, "%s", text);
  free(text);
}

class TPlainObject : public TObject {
public:
  std::string ClassName() const override { return "TPlain"; }
};
class TTestComponent : public TComponent {
public:
  std::string ClassName() const override { return "TTestComponent"; }
};
class TChildObject : public TObject {
public:
  explicit TChildObject(const TComponent *parent) : FParent(parent) {}
  std::string ClassName() const override { return "TChild"; }
  const TComponent *ParentComponent() const override { return FParent; }

private:
  const TComponent *FParent;
};

// A registered logger with an OnLog sink that collects lines, synchronous unless a test says
// otherwise. The library log goes to it (avutil loaded, callback installed).
class LoggerTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(FFLoader().Load(avUtil)) << FFLoader().LastErrMsg();
    Logger = std::make_unique<TFFLogger>();
    Logger->SetLogLevel(llInfo);
    Logger->SetLogFlags(LogFlagSkipRepeated);
    Logger->SetSynchronous(true);
    Logger->SetTriggerEventInMainThread(false);
    Logger->SetOnLog(Collector());
  }
  // The fixture's sink: collects every line.
  TLogEvent Collector() {
    return [this](const TObject *Sender, uint32_t AThreadID, TLogLevel ALogLevel,
                  const std::string &ALogMsg) {
      {
        std::lock_guard lock(LinesLock);
        Lines.push_back({Sender, AThreadID, ALogLevel, ALogMsg});
      }
      LinesChanged.notify_all();
    };
  }
  void TearDown() override {
    // A test's own handler may refer to its locals, gone by now.
    Logger->SetOnLog(Collector());
    Logger->SetTriggerEventInMainThread(false);
    // Finish any pending piece and end a repeat run with a line of its own, so no state of
    // this test reaches the next one.
    static int testNumber = 0;
    LibraryLog(nullptr, AV_LOG_ERROR, "\nend of test %d\n", ++testNumber);
    TFFLogger::StopLogThread();
    Logger.reset();
    TFFLogger *global = GlobalLogger();
    global->SetSynchronous(false);
    global->SetLogFlags(LogFlagSkipRepeated | LogFlagPrintLevel);
    global->SetLogLevel(llInfo);
    global->SetLogToFile(false);
    global->SetLogFile("");
    global->SetActive(true);
    SetMessageBoxHandler(nullptr);
  }

  std::vector<std::string> Messages() {
    std::lock_guard lock(LinesLock);
    std::vector<std::string> result;
    for (const TLine &line : Lines)
      result.push_back(MessageOf(line.Text));
    return result;
  }
  std::vector<TLine> CopyLines() {
    std::lock_guard lock(LinesLock);
    return Lines;
  }
  // Waits until `count` lines arrived (from the log thread).
  void WaitForLines(size_t count) {
    std::unique_lock lock(LinesLock);
    LinesChanged.wait(lock, [&] { return Lines.size() >= count; });
  }

  std::unique_ptr<TFFLogger> Logger;
  std::mutex LinesLock;
  std::condition_variable LinesChanged;
  std::vector<TLine> Lines;
};

using Strings = std::vector<std::string>;

} // namespace

// --- levels ---

TEST(LogLevels, LibraryLevelsMapToLogLevels) {
  const struct {
    int Library;
    TLogLevel Level;
  } cases[] = {{-8, llQuiet},   {-1, llPanic}, {0, llPanic},  {16, llError},
               {24, llWarning}, {33, llInfo},  {48, llDebug}, {100, llTrace}};
  for (const auto &c : cases)
    EXPECT_EQ(LogLevelOfLibraryLevel(c.Library), c.Level) << c.Library;
  for (int level = llQuiet; level <= llTrace; ++level)
    EXPECT_EQ(LogLevelOfLibraryLevel(LibraryLevel(TLogLevel(level))), level);
}

// --- repeat folding ---

struct TFoldCase {
  int Repeats;
  int Flags;
  Strings Expected;
};

class LoggerFoldTest : public LoggerTest, public ::testing::WithParamInterface<TFoldCase> {};

TEST_P(LoggerFoldTest, RepeatedLibraryLinesFold) {
  Logger->SetLogFlags(GetParam().Flags);
  TProbeContext context{&ProbeClass, nullptr};
  for (int i = 0; i < GetParam().Repeats; ++i)
    LibraryLog(&context, AV_LOG_INFO, "same\n");
  LibraryLog(&context, AV_LOG_INFO, "other\n");
  Strings messages;
  for (const std::string &message : Messages())
    messages.push_back(message.substr(message.find("] ") + 2)); // drop "[probe @ 0x..] "
  EXPECT_EQ(messages, GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoggerFoldTest,
    ::testing::Values(TFoldCase{1, 1, {"same", "other"}},
                      TFoldCase{2, 1, {"same", "same", "other"}},
                      TFoldCase{3, 1, {"same", "same (repeated 2 times)", "other"}},
                      TFoldCase{5, 1, {"same", "same (repeated 4 times)", "other"}},
                      TFoldCase{3, 0, {"same", "same", "same", "other"}}));

TEST_F(LoggerTest, LinesOfAnotherContextOrThreadDoNotFold) {
  TProbeContext first{&ProbeClass, nullptr};
  TProbeContext second{&ProbeClass, nullptr};
  LibraryLog(&first, AV_LOG_INFO, "same\n");
  LibraryLog(&second, AV_LOG_INFO, "same\n");
  std::thread([&] { LibraryLog(&second, AV_LOG_INFO, "same\n"); }).join();
  EXPECT_EQ(Messages().size(), 3u);
}

// --- pieces and line feeds ---

TEST_F(LoggerTest, PiecesFromOneThreadMakeOneLine) {
  LibraryLog(nullptr, AV_LOG_INFO, "abc");
  LibraryLog(nullptr, AV_LOG_INFO, "def");
  EXPECT_TRUE(Messages().empty());
  LibraryLog(nullptr, AV_LOG_INFO, "ghi\n");
  EXPECT_EQ(Messages(), Strings{"abcdefghi"});
}

// Runs steps on two threads in a fixed order.
class TTwoThreads {
public:
  void Run(const std::vector<std::pair<int, std::function<void()>>> &steps) {
    auto worker = [&](int me) {
      for (size_t i = 0; i < steps.size(); ++i) {
        if (steps[i].first != me)
          continue;
        std::unique_lock lock(FLock);
        FTurn.wait(lock, [&] { return FNext == i; });
        steps[i].second();
        ++FNext;
        FTurn.notify_all();
      }
    };
    std::thread a(worker, 0), b(worker, 1);
    a.join();
    b.join();
  }

private:
  std::mutex FLock;
  std::condition_variable FTurn;
  size_t FNext = 0;
};

TEST_F(LoggerTest, InterleavedPiecesOfTwoThreadsStayApart) {
  TTwoThreads threads;
  threads.Run({{0, [] { LibraryLog(nullptr, AV_LOG_INFO, "a1 "); }},
               {1, [] { LibraryLog(nullptr, AV_LOG_INFO, "b1 "); }},
               {0, [] { LibraryLog(nullptr, AV_LOG_INFO, "a2\n"); }},
               {1, [] { LibraryLog(nullptr, AV_LOG_INFO, "b2\n"); }}});
  const std::vector<TLine> lines = CopyLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(MessageOf(lines[0].Text), "a1 a2");
  EXPECT_EQ(MessageOf(lines[1].Text), "b1 b2");
  EXPECT_NE(lines[0].ThreadID, lines[1].ThreadID);
}

TEST_F(LoggerTest, TextAfterALineFeedWaitsForTheThreadsNextCall) {
  LibraryLog(nullptr, AV_LOG_INFO, "one\ntwo");
  EXPECT_EQ(Messages(), Strings{"one"});
  LibraryLog(nullptr, AV_LOG_INFO, " more\n");
  EXPECT_EQ(Messages(), (Strings{"one", "two more"}));
}

TEST_F(LoggerTest, EveryCompleteLineOfOneCallArrivesAtOnce) {
  LibraryLog(nullptr, AV_LOG_INFO, "first\nsecond\nthird\nrest");
  EXPECT_EQ(Messages(), (Strings{"first", "second", "third"}));
}

TEST_F(LoggerTest, ControlCodesBecomeQuestionMarks) {
  LibraryLog(nullptr, AV_LOG_INFO, "a%cb\tc%cd\n", 1, 0x1f);
  EXPECT_EQ(Messages(), Strings{"a?b\tc?d"});
}

struct TLongCase {
  const char *Name;
  std::vector<size_t> Pieces; // lengths of the pieces before the line feed
};

class LoggerLongLineTest : public LoggerTest, public ::testing::WithParamInterface<TLongCase> {};

TEST_P(LoggerLongLineTest, ALongLineArrivesWhole) {
  std::string expected;
  char letter = 'a';
  for (size_t length : GetParam().Pieces) {
    const std::string piece(length, letter++);
    expected += piece;
    LibraryLog(nullptr, AV_LOG_INFO, "%s", piece.c_str());
  }
  LibraryLog(nullptr, AV_LOG_INFO, "\n");
  EXPECT_EQ(Messages(), Strings{expected});
}

INSTANTIATE_TEST_SUITE_P(Cases, LoggerLongLineTest,
                         ::testing::Values(TLongCase{"OneCall", {5000}},
                                           TLongCase{"GrowsPastTheFixedBuffer", {1500, 1500, 3000}},
                                           TLongCase{"GrowsTwice", {2047, 4000, 4200}},
                                           TLongCase{"ExactlyFull", {2047}}),
                         [](const auto &info) { return info.param.Name; });

TEST_F(LoggerTest, ALongLogLineAndItsFollowerArriveWhole) {
  const std::string longText(5000, 'x');
  LibraryLog(nullptr, AV_LOG_INFO, "%s\n%sw\n", longText.c_str(), longText.c_str());
  Log(nullptr, llInfo, longText + "y");
  Log(nullptr, llInfo, "%s%s", longText.c_str(), "z");
  EXPECT_EQ(Messages(), (Strings{longText, longText + "w", longText + "y", longText + "z"}));
}

// --- line format ---

struct TLevelNameCase {
  int Flags;
  TLogLevel Level;
  const char *Message;
};

class LoggerLevelNameTest : public LoggerTest,
                            public ::testing::WithParamInterface<TLevelNameCase> {};

TEST_P(LoggerLevelNameTest, PrintsTheLevelNameAfterTheReporterWhenAsked) {
  Logger->SetLogFlags(GetParam().Flags);
  TTestComponent component;
  component.Name = "Encoder1";
  Log(&component, GetParam().Level, "text");
  TProbeContext context{&ProbeClass, nullptr};
  LibraryLog(&context, LibraryLevel(GetParam().Level), "text\n");
  const Strings messages = Messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], std::string("[TTestComponent.Encoder1] ") + GetParam().Message);
  EXPECT_EQ(messages[1].substr(messages[1].find("] ") + 2), GetParam().Message);
}

INSTANTIATE_TEST_SUITE_P(Cases, LoggerLevelNameTest,
                         ::testing::Values(TLevelNameCase{2, llWarning, "[Warning] text"},
                                           TLevelNameCase{0, llWarning, "text"},
                                           TLevelNameCase{3, llError, "[Error] text"},
                                           TLevelNameCase{2, llInfo, "[Info] text"}));

TEST_F(LoggerTest, TheMainThreadIsMarkedWithAStar) {
  Log(nullptr, llInfo, "main");
  std::thread([] { Log(nullptr, llInfo, "worker"); }).join();
  const std::vector<TLine> lines = CopyLines();
  ASSERT_EQ(lines.size(), 2u);
  char mainThread[32], workerThread[32];
  std::snprintf(mainThread, sizeof mainThread, " [%08X]* main", unsigned(gettid()));
  std::snprintf(workerThread, sizeof workerThread, " [%08X] worker", lines[1].ThreadID);
  EXPECT_NE(lines[0].Text.find(mainThread), std::string::npos) << lines[0].Text;
  EXPECT_NE(lines[1].Text.find(workerThread), std::string::npos) << lines[1].Text;
  EXPECT_NE(lines[0].ThreadID, lines[1].ThreadID);
  // hh:nn:ss.zzz in front
  EXPECT_EQ(lines[0].Text.find(mainThread), 12u) << lines[0].Text;
}

TEST_F(LoggerTest, LineBreaksInsideALogTextBecomeLineFeeds) {
  Log(nullptr, llInfo, "a\r\nb\rc\nd");
  EXPECT_EQ(Messages(), Strings{"a\nb\nc\nd"});
}

TEST_F(LoggerTest, TheReporterPrefixNamesTheSender) {
  TTestComponent component;
  component.Name = "Encoder1";
  TChildObject child(&component);
  TChildObject orphan(nullptr);
  TPlainObject plain;
  const std::vector<std::pair<const TObject *, std::string>> cases = {
      {&component, "[TTestComponent.Encoder1] x"},
      {&child, "[TTestComponent.Encoder1] x"},
      {&orphan, "[TChild] x"},
      {&plain, "[TPlain] x"},
      {nullptr, "x"}};
  for (const auto &c : cases)
    Log(c.first, llInfo, "x");
  const std::vector<TLine> lines = CopyLines();
  ASSERT_EQ(lines.size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(MessageOf(lines[i].Text), cases[i].second);
    EXPECT_EQ(lines[i].Sender, cases[i].first) << "Log lines carry their Sender";
  }
}

TEST_F(LoggerTest, LibraryLinesNameTheContextAndItsParent) {
  TParentContext parent{&ParentClass};
  TProbeContext child{&ProbeClass, &parent};
  TProbeContext orphan{&ProbeClass, nullptr};
  LibraryLog(&child, AV_LOG_INFO, "x\n");
  LibraryLog(&orphan, AV_LOG_INFO, "y\n");
  char expected[128];
  std::snprintf(expected, sizeof expected, "[parent @ %p] [probe @ %p] x", (void *)&parent,
                (void *)&child);
  const std::vector<TLine> lines = CopyLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(MessageOf(lines[0].Text), expected);
  std::snprintf(expected, sizeof expected, "[probe @ %p] y", (void *)&orphan);
  EXPECT_EQ(MessageOf(lines[1].Text), expected);
  EXPECT_EQ(lines[0].Sender, Logger.get()) << "library lines come from the logger";
}

// --- levels and flags ---

TEST_F(LoggerTest, LinesAboveTheLevelAreDropped) {
  Logger->SetLogLevel(llWarning);
  Log(nullptr, llInfo, "info");
  Log(nullptr, llWarning, "warning");
  LibraryLog(nullptr, AV_LOG_INFO, "library info\n");
  LibraryLog(nullptr, AV_LOG_ERROR, "library error\n");
  EXPECT_EQ(Messages(), (Strings{"warning", "library error"}));
}

namespace {
int LevelCalls = 0;
int LastLevel = 0;
void CountingSetLevel(int level) {
  ++LevelCalls;
  LastLevel = level;
}
int FlagCalls = 0;
void CountingSetFlags(int) {
  ++FlagCalls;
}
} // namespace

TEST_F(LoggerTest, LevelAndFlagsReachTheLibraryOnlyWhenTheyChange) {
  const auto savedSetLevel = ff::av_log_set_level;
  const auto savedSetFlags = ff::av_log_set_flags;
  ff::av_log_set_level = CountingSetLevel;
  ff::av_log_set_flags = CountingSetFlags;
  LevelCalls = FlagCalls = 0;
  Logger->SetLogLevel(llDebug);
  Logger->SetLogLevel(llDebug);
  Logger->SetLogFlags(2);
  Logger->SetLogFlags(2);
  ff::av_log_set_level = savedSetLevel;
  ff::av_log_set_flags = savedSetFlags;
  EXPECT_EQ(LevelCalls, 1);
  EXPECT_EQ(LastLevel, 48);
  EXPECT_EQ(FlagCalls, 1);
  EXPECT_EQ(Logger->LogLevel(), llDebug);
}

TEST_F(LoggerTest, LoadingAvUtilInstallsTheCallbackWithTheLoggersSettings) {
  FFLoader().Unload(avUtil);
  // Set while the library is not bound: loading must push them.
  Logger->SetLogLevel(llVerbose);
  Logger->SetLogFlags(LogFlagPrintLevel);
  ASSERT_TRUE(FFLoader().Load(avUtil));
  EXPECT_EQ(ff::av_log_get_level(), AV_LOG_VERBOSE);
  EXPECT_EQ(ff::av_log_get_flags(), LogFlagPrintLevel);
  Logger->SetLogFlags(0);
  LibraryLog(nullptr, AV_LOG_VERBOSE, "through the library\n");
  EXPECT_EQ(Messages(), Strings{"through the library"});
}

// --- the skip flag ---

struct TSkipCase {
  const char *Name;
  bool Active;
  bool OnLog;
  bool LogToFile;
  bool LogFileSet;
  bool Skipping;
};

class LoggerSkipTest : public ::testing::TestWithParam<TSkipCase> {
protected:
  void TearDown() override {
    TFFLogger::StopLogThread();
    TFFLogger *logger = GlobalLogger();
    logger->SetActive(true);
    logger->SetLogToFile(false);
    logger->SetLogFile("");
  }
};

TEST_P(LoggerSkipTest, WithoutASinkNothingIsBuiltAndNoThreadStarts) {
  const TSkipCase &c = GetParam();
  ASSERT_TRUE(FFLoader().Load(avUtil));
  TFFLogger::StopLogThread();
  const fs::path file = fs::temp_directory_path() / ("quillet-skip-" + std::to_string(getpid()));
  {
    TFFLogger logger;
    logger.SetActive(c.Active);
    if (c.OnLog)
      logger.SetOnLog([](const TObject *, uint32_t, TLogLevel, const std::string &) {});
    logger.SetLogToFile(c.LogToFile);
    logger.SetLogFile(c.LogFileSet ? file.string() : "");
    EXPECT_EQ(logger.Skipping(), c.Skipping);
    // Texts of their own, so lines of one case never fold with those of another.
    Log(&logger, llError, "line of %s", c.Name);
    LibraryLog(nullptr, AV_LOG_ERROR, "library line of %s\n", c.Name);
    EXPECT_EQ(TFFLogger::LogThreadRunning(), !c.Skipping);
    TFFLogger::StopLogThread();
  }
  fs::remove(file);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoggerSkipTest,
    ::testing::Values(TSkipCase{"NoSink", true, false, false, false, true},
                      TSkipCase{"FileNameWithoutLogToFile", true, false, false, true, true},
                      TSkipCase{"LogToFileWithoutName", true, false, true, false, true},
                      TSkipCase{"Inactive", false, true, true, true, true},
                      TSkipCase{"OnLog", true, true, false, false, false},
                      TSkipCase{"File", true, false, true, true, false}),
    [](const auto &info) { return info.param.Name; });

// --- sinks and the log thread ---

TEST_F(LoggerTest, TheLogThreadDeliversEveryLineInOrder) {
  Logger->SetSynchronous(false);
  std::thread([] {
    for (int i = 0; i < 50; ++i)
      Log(nullptr, llInfo, "line %d", i);
  }).join();
  WaitForLines(50);
  EXPECT_TRUE(TFFLogger::LogThreadRunning());
  const Strings messages = Messages();
  ASSERT_EQ(messages.size(), 50u);
  for (int i = 0; i < 50; ++i)
    EXPECT_EQ(messages[i], "line " + std::to_string(i));
}

TEST_F(LoggerTest, OnLogRunsOnTheMainThreadWhenAsked) {
  Logger->SetSynchronous(false);
  Logger->SetTriggerEventInMainThread(true);
  SetMainThreadDispatcher([](const std::function<void()> &) {}); // served by the wait below
  std::vector<bool> onMain;
  Logger->SetOnLog([&](const TObject *, uint32_t, TLogLevel, const std::string &) {
    onMain.push_back(IsMainThread());
  });
  std::thread([] {
    Log(nullptr, llInfo, "one");
    Log(nullptr, llInfo, "two");
  }).join();
  WaitInMainThread([&] { return onMain.size() == 2; });
  TFFLogger::StopLogThread();
  SetMainThreadDispatcher(nullptr);
  EXPECT_EQ(onMain, (std::vector<bool>{true, true}));
}

class LoggerFileTest : public LoggerTest {
protected:
  void SetUp() override {
    LoggerTest::SetUp();
    std::string pattern = (fs::temp_directory_path() / "quillet-log-XXXXXX").string();
    Folder = mkdtemp(pattern.data());
    File = Folder / "log.txt";
  }
  void TearDown() override {
    LoggerTest::TearDown();
    fs::remove_all(Folder);
  }
  Strings FileLines() {
    std::ifstream in(File);
    Strings lines;
    for (std::string line; std::getline(in, line);)
      lines.push_back(MessageOf(line));
    return lines;
  }
  fs::path Folder, File;
};

TEST_F(LoggerFileTest, LinesAreAppendedToTheLogFile) {
  std::ofstream(File) << "kept\n";
  Logger->SetLogFile(File.string());
  Logger->SetLogToFile(true);
  Logger->SetSynchronous(false);
  Log(nullptr, llInfo, "first");
  LibraryLog(nullptr, AV_LOG_INFO, "second\n");
  TFFLogger::StopLogThread(); // writes out what is queued
  EXPECT_EQ(FileLines(), (Strings{"kept", "first", "second"}));
  Logger->SetLogToFile(false); // closes the file; nothing more is written
  Log(nullptr, llInfo, "not in the file");
  EXPECT_EQ(FileLines().size(), 3u);
}

TEST_F(LoggerFileTest, AFileThatCannotBeOpenedTurnsTheFileSinkOff) {
  std::vector<std::pair<std::string, std::string>> boxes;
  SetMessageBoxHandler([&](const std::string &caption, const std::string &text) {
    boxes.emplace_back(caption, text);
  });
  const fs::path bad = Folder / "missing-folder" / "log.txt";
  Logger->SetLogFile(bad.string());
  Logger->SetLogToFile(true);
  Log(nullptr, llInfo, "first");
  Log(nullptr, llInfo, "second");
  EXPECT_FALSE(Logger->LogToFile());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].first, "Information");
  EXPECT_NE(boxes[0].second.find(bad.string()), std::string::npos) << boxes[0].second;
  EXPECT_EQ(Messages(), (Strings{"first", "second"})) << "OnLog keeps working";
}

TEST_F(LoggerTest, AFailingOnLogHandlerIsReportedAndLoggingGoesOn) {
  std::vector<std::string> boxes;
  SetMessageBoxHandler([&](const std::string &caption, const std::string &text) {
    boxes.push_back(caption + ": " + text);
  });
  Logger->SetSynchronous(false);
  std::vector<std::string> delivered;
  std::mutex deliveredLock;
  std::condition_variable deliveredChanged;
  Logger->SetOnLog([&](const TObject *, uint32_t, TLogLevel, const std::string &line) {
    if (MessageOf(line) == "bad")
      throw std::runtime_error("handler failed");
    std::lock_guard lock(deliveredLock);
    delivered.push_back(MessageOf(line));
    deliveredChanged.notify_all();
  });
  Log(nullptr, llInfo, "bad");
  Log(nullptr, llInfo, "good");
  {
    std::unique_lock lock(deliveredLock);
    deliveredChanged.wait(lock, [&] { return !delivered.empty(); });
  }
  TFFLogger::StopLogThread();
  EXPECT_EQ(delivered, Strings{"good"});
  EXPECT_EQ(boxes, Strings{"Information: handler failed"});
}

// --- registration ---

TEST(LoggerRegistration, OnlyOneExplicitLogger) {
  TFFLogger *automatic = GlobalLogger();
  TFFLogger first;
  EXPECT_EQ(GlobalLogger(), &first);
  EXPECT_FALSE(first.AutoCreated());
  try {
    TFFLogger second;
    FAIL() << "a second logger was created";
  } catch (const std::logic_error &e) {
    EXPECT_STREQ(e.what(), "Allow creating only one instance of TFFLogger.");
  }
  EXPECT_EQ(GlobalLogger(), &first);
  (void)automatic;
}

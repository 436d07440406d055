#include "shell/settings/TSettingsFile.h"
#include "../WithoutHanging.h"
#include "shell/settings/RateControl.h"
#include "shell/settings/TIniFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class SettingsFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    // A parameterised test's name holds a '/'; the folder must be one level, or TearDown
    // would remove only its inner part.
    std::string Name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(Name.begin(), Name.end(), '/', '-');
    Folder =
        fs::temp_directory_path() / ("quillet-settings-" + std::to_string(getpid()) + "-" + Name);
    fs::remove_all(Folder);
    Path = (Folder / "Sablewick" / "Quillet" / "quillet.ini").string();
  }
  void TearDown() override { fs::remove_all(Folder); }

  void WriteText(const std::string &Text) {
    fs::create_directories(fs::path(Path).parent_path());
    std::ofstream(Path, std::ios::binary) << Text;
  }
  std::string ReadText() const {
    std::ifstream In(Path, std::ios::binary);
    std::ostringstream Text;
    Text << In.rdbuf();
    return Text.str();
  }

  const TAppSettings Defaults = DefaultAppSettings(800, 900, 720);
  fs::path Folder;
  std::string Path;
};

TAppSettings Changed(const TAppSettings &D) {
  TAppSettings S = D;
  S.LocOption = 3;
  S.Location = "/media/out dir/ü";
  S.AddPath = "/home/user/Videos";
  S.AddView = 2;
  S.Update = false;
  S.OriginalSettings = false;
  S.Column1 = 301;
  S.Column2 = 77;
  S.Column3 = 123;
  S.Column4 = 456;
  S.Height = 1000;
  S.Width = 1400;
  S.Tab = 4;
  S.Maximized = true;
  S.Dark = true;
  S.ProfileType = 5;
  S.ProfileFormat = 3;
  S.Preview = true;
  TConversionSettings &C = S.Conversion;
  C.VideoFormat = 2; // MKV
  C.VideoEncoder = 3;
  C.VideoAspect = 4;
  C.VideoFrameSize = 29;
  C.VideoFrameRate = 4;
  C.VideoBitrate = 29;
  C.AudioFormat = 4;
  C.AudioEncoder = 1;
  C.AudioChannel = 2;
  C.AudioSampleRate = 5;
  C.AudioBitrate = 13;
  C.Threads = 7;
  C.CPUUsage = 3;
  C.Custom = "1920x816";
  S.Commands = {"-c:v libx264 -crf 23", "-an"};
  return S;
}

TEST_F(SettingsFileTest, MissingFileGivesDefaultsAndCreatesTheFolder) {
  const TAppSettings S = TSettingsFile(Path).Load(Defaults);
  EXPECT_EQ(S, Defaults);
  EXPECT_TRUE(fs::is_directory(fs::path(Path).parent_path()));
  EXPECT_FALSE(fs::exists(Path));
  EXPECT_EQ(S.Column1, 200);
  EXPECT_EQ(S.Column2, 160);
  EXPECT_EQ(S.Width, 900);
  EXPECT_EQ(S.Height, 720);
  EXPECT_EQ(S.LocOption, 1);
  EXPECT_TRUE(S.Update);
  EXPECT_TRUE(S.OriginalSettings);
  EXPECT_EQ(S.Conversion.CPUUsage, 2);
  EXPECT_EQ(S.Conversion.Custom, "7680x4800");
}

TEST_F(SettingsFileTest, RoundTripKeepsEverySetting) {
  const TAppSettings S = Changed(Defaults);
  TSettingsFile(Path).Save(S);
  EXPECT_EQ(TSettingsFile(Path).Load(Defaults), S);
}

TEST_F(SettingsFileTest, NewFileHoldsEveryKeyInSaveOrder) {
  TSettingsFile(Path).Save(Defaults);
  EXPECT_EQ(ReadText(), "[Quillet]\n"
                        "LocOption=1\nLocation=\nAddPath=\nAddView=0\nMaximized=0\nHeight=720\n"
                        "Width=900\nOriginalSettings=1\nTab=0\nUpdate=1\nCustom=7680x4800\n"
                        "Column1=200\nColumn2=160\nColumn3=200\nColumn4=200\n"
                        "\n[Settings]\n"
                        "CPUusage=2\nThreads=0\nVideoFormat2=0\nVideoEncoder2=0\nVideoAspect2=0\n"
                        "VideoFrameSize2=0\nVideoFrameRate2=0\nVideoBitRate2=0\nAudioFormat2=0\n"
                        "AudioEncoder2=0\nAudioChannel2=0\nAudioSampleRate2=0\nAudioBitRate2=0\n"
                        "Dark=0\nProfileType=0\nProfileFormat=0\nPreview=0\n");
}

// The FFmpeg command dialog's drop-down: new keys after every existing one, read back in order;
// a file from before them loads as it did, and a shorter list leaves no stale entry.
TEST_F(SettingsFileTest, CommandsFollowTheOtherKeysAndComeBackInOrder) {
  TAppSettings S = Defaults;
  S.Commands = {"-c:v mpeg4 -an", "-b:v 1M -vf \"scale=640:-2\"", "-q:v 3"};
  TSettingsFile(Path).Save(S);
  const std::string Text = ReadText();
  EXPECT_NE(Text.find("Preview=0\nCommand1=-c:v mpeg4 -an\n"
                      "Command2=-b:v 1M -vf \"scale=640:-2\"\nCommand3=-q:v 3\n"),
            std::string::npos)
      << Text;
  EXPECT_EQ(Text.size() - Text.rfind("Command3=-q:v 3\n"), std::string("Command3=-q:v 3\n").size());
  EXPECT_EQ(TSettingsFile(Path).Load(Defaults), S);
  S.Commands = {"-q:v 2"};
  TSettingsFile(Path).Save(S);
  EXPECT_EQ(TSettingsFile(Path).Load(Defaults).Commands, std::vector<std::string>{"-q:v 2"});
  // At most ten are taken; an empty one ends the list.
  WriteText("[Settings]\nCommand1=a\nCommand2=\nCommand3=c\n");
  EXPECT_EQ(TSettingsFile(Path).Load(Defaults).Commands, std::vector<std::string>{"a"});
  std::string Many = "[Settings]\n";
  for (int i = 1; i <= 12; ++i)
    Many += "Command" + std::to_string(i) + "=-q:v " + std::to_string(i) + "\n";
  WriteText(Many);
  EXPECT_EQ(TSettingsFile(Path).Load(Defaults).Commands.size(), 10u);
  // A file without the keys loads as it did before them.
  fs::remove(Path);
  TSettingsFile(Path).Save(Defaults);
  EXPECT_EQ(ReadText().find("Command"), std::string::npos);
  EXPECT_TRUE(TSettingsFile(Path).Load(Defaults).Commands.empty());
}

// Rate control, quality, speed, subtitles, audio tracks and target size: written after every older
// key once chosen, read back, and absent from files of settings that never chose them; values
// outside their range fall back.
TEST_F(SettingsFileTest, AddedConversionKeysFollowTheOthers) {
  TAppSettings S = Defaults;
  S.Commands = {"-an"};
  S.Conversion.VideoRateControl = rcQuality;
  S.Conversion.VideoQuality = 30;
  S.Conversion.VideoSpeed = 1;
  S.Conversion.AudioRateControl = rcQuality;
  S.Conversion.AudioQuality = 2;
  S.Conversion.Subtitles = sbKeep;
  S.Conversion.AudioTracks = atAll;
  S.Conversion.TargetSize = 700;
  TSettingsFile(Path).Save(S);
  EXPECT_TRUE(ReadText().ends_with(
      "Command1=-an\nVideoRateControl=1\nVideoQuality=30\n"
      "VideoSpeed=1\nAudioRateControl=1\nAudioQuality=2\nSubtitles=1\nAudioTracks=1\n"
      "TargetSize=700\n"))
      << ReadText();
  EXPECT_EQ(TSettingsFile(Path).Load(Defaults), S);
  // Back at the defaults, the keys stay and say so.
  TSettingsFile(Path).Save(Defaults);
  EXPECT_NE(ReadText().find("VideoRateControl=0\nVideoQuality=-1\nVideoSpeed=0\n"),
            std::string::npos);
  EXPECT_EQ(TSettingsFile(Path).Load(Defaults), Defaults);
  WriteText("[Settings]\nVideoRateControl=2\nVideoQuality=64\nVideoSpeed=6\n"
            "AudioRateControl=-1\nAudioQuality=11\nSubtitles=3\nAudioTracks=-1\n"
            "TargetSize=-5\n");
  EXPECT_EQ(TSettingsFile(Path).Load(Defaults).Conversion, Defaults.Conversion);
}

// Burning in and tracks by language: the languages' text is written after every other key,
// once typed, and read back as it was typed.
TEST_F(SettingsFileTest, BurnInAndLanguagesFollowTheOthers) {
  TAppSettings S = Defaults;
  S.Conversion.Subtitles = sbBurn;
  S.Conversion.AudioTracks = atLanguages;
  S.Conversion.AudioLanguages = "eng, fre";
  TSettingsFile(Path).Save(S);
  EXPECT_TRUE(ReadText().ends_with("Subtitles=2\nAudioTracks=2\nAudioLanguages=eng, fre\n"))
      << ReadText();
  EXPECT_EQ(TSettingsFile(Path).Load(Defaults), S);
  WriteText("[Settings]\nAudioTracks=3\n");
  EXPECT_EQ(TSettingsFile(Path).Load(Defaults).Conversion, Defaults.Conversion);
}

TEST_F(SettingsFileTest, SavingKeepsOtherKeysAndComments) {
  WriteText("; kept\n[Other]\nA=1\n[Quillet]\nWidth=5\nExtra=x y\n");
  TSettingsFile(Path).Save(Defaults);
  const std::string Text = ReadText();
  EXPECT_EQ(
      Text.rfind("; kept\n\n[Other]\nA=1\n\n[Quillet]\nWidth=900\nExtra=x y\nLocOption=1\n", 0), 0u)
      << Text;
  EXPECT_EQ(TSettingsFile(Path).Load(Defaults), Defaults);
}

TEST_F(SettingsFileTest, ReaderAcceptsCrLfCaseAndSpacing) {
  WriteText("\xEF\xBB\xBF[quillet]\r\n  width = 1024\r\nCUSTOM=1920x816\r\n"
            "Location = /tmp/spaced \t\r\nAddPath=\t/home/q\r\n[SETTINGS]\r\n"
            "videoformat2=8\r\n");
  const TAppSettings S = TSettingsFile(Path).Load(Defaults);
  EXPECT_EQ(S.Location, "/tmp/spaced");
  EXPECT_EQ(S.AddPath, "/home/q");
  EXPECT_EQ(S.Width, 1024);
  EXPECT_EQ(S.Conversion.Custom, "1920x816");
  EXPECT_EQ(S.Conversion.VideoFormat, 8);
}

TEST_F(SettingsFileTest, LineBreakInAValueCannotAddKeys) {
  TAppSettings S = Defaults;
  S.Location = "/tmp/a\n[Settings]\nDark=1";
  TSettingsFile(Path).Save(S);
  const TAppSettings Back = TSettingsFile(Path).Load(Defaults);
  EXPECT_EQ(Back.Location, "/tmp/a");
  EXPECT_FALSE(Back.Dark);
}

// One stored value and what loading makes of it.
struct TValueCase {
  const char *Name;
  const char *Section;
  const char *Line;
  int (*Field)(const TAppSettings &);
  int Expected;
};

void PrintTo(const TValueCase &C, std::ostream *Out) {
  *Out << C.Name;
}

class SettingsValueTest : public SettingsFileTest,
                          public ::testing::WithParamInterface<TValueCase> {};

TEST_P(SettingsValueTest, LoadsOrFallsBack) {
  const TValueCase &C = GetParam();
  WriteText(std::string("[") + C.Section + "]\n" + C.Line + "\n");
  EXPECT_EQ(C.Field(TSettingsFile(Path).Load(Defaults)), C.Expected);
}

int Width(const TAppSettings &S) {
  return S.Width;
}
int Height(const TAppSettings &S) {
  return S.Height;
}
int Column1(const TAppSettings &S) {
  return S.Column1;
}
int Tab(const TAppSettings &S) {
  return S.Tab;
}
int LocOption(const TAppSettings &S) {
  return S.LocOption;
}
int AddView(const TAppSettings &S) {
  return S.AddView;
}
int Update(const TAppSettings &S) {
  return S.Update;
}
int Maximized(const TAppSettings &S) {
  return S.Maximized;
}
int Dark(const TAppSettings &S) {
  return S.Dark;
}
int Preview(const TAppSettings &S) {
  return S.Preview;
}
int Threads(const TAppSettings &S) {
  return S.Conversion.Threads;
}
int CPUusage(const TAppSettings &S) {
  return S.Conversion.CPUUsage;
}
int VideoFormat(const TAppSettings &S) {
  return S.Conversion.VideoFormat;
}
int AudioBitrate(const TAppSettings &S) {
  return S.Conversion.AudioBitrate;
}
int ProfileFormat(const TAppSettings &S) {
  return S.ProfileFormat;
}
int AudioFormat(const TAppSettings &S) {
  return S.Conversion.AudioFormat;
}

const TValueCase ValueCases[] = {
    {"Decimal", "Quillet", "Width=1234", Width, 1234},
    {"NotANumber", "Quillet", "Width=12a", Width, 900},
    {"Empty", "Quillet", "Width=", Width, 900},
    {"Overflow", "Quillet", "Width=99999999999", Width, 900},
    {"Hex", "Quillet", "Width=0x400", Width, 1024},
    {"HexCapital", "Quillet", "Height=0X2D0", Height, 720},
    {"HexTooLong", "Quillet", "Width=0x123456789", Width, 900},
    {"HexWithoutDigits", "Quillet", "Width=0x", Width, 900},
    {"NegativeSize", "Quillet", "Height=-5", Height, 720},
    {"ZeroColumn", "Quillet", "Column1=0", Column1, 200},
    {"SpacesAroundNumber", "Quillet", "Column1= 250 ", Column1, 250},
    {"TabBeyondLastPage", "Quillet", "Tab=5", Tab, 0},
    {"TabLastPage", "Quillet", "Tab=4", Tab, 4},
    {"LocOptionOriginal", "Quillet", "LocOption=2", LocOption, 2},
    {"LocOptionUnknownIsSpecify", "Quillet", "LocOption=7", LocOption, 1},
    {"AddViewIcons", "Quillet", "AddView=2", AddView, 2},
    {"AddViewOutOfRangeIsList", "Quillet", "AddView=3", AddView, 1},
    {"AddViewNegativeIsList", "Quillet", "AddView=-1", AddView, 1},
    {"HugeWidth", "Quillet", "Width=100000", Width, 900},
    {"IntMaxHeight", "Quillet", "Height=2147483647", Height, 720},
    {"LargestExtent", "Quillet", "Width=16384", Width, 16384},
    {"HugeColumn", "Quillet", "Column1=0x7FFFFFFF", Column1, 200},
    {"BoolZero", "Quillet", "Update=0", Update, 0},
    {"BoolAnyNonZero", "Quillet", "Maximized=2", Maximized, 1},
    {"BoolHex", "Quillet", "Maximized=0x1", Maximized, 1},
    {"BoolJunkIsDefault", "Settings", "Dark=yes", Dark, 0},
    {"BoolJunkKeepsTrueDefault", "Quillet", "Update=no", Update, 1},
    {"KeyInWrongSectionIgnored", "Quillet", "Dark=1", Dark, 0},
    {"PreviewOn", "Settings", "Preview=1", Preview, 1},
    {"PreviewJunkIsOff", "Settings", "Preview=on", Preview, 0},
    {"ThreadsHex", "Settings", "Threads=0x7", Threads, 7},
    {"ThreadsAuto", "Settings", "Threads=8", Threads, 8},
    {"ThreadsBeyondList", "Settings", "Threads=9", Threads, 0},
    {"CPUusageNegative", "Settings", "CPUusage=-1", CPUusage, 2},
    {"VideoFormatLast", "Settings", "VideoFormat2=9", VideoFormat, 9},
    {"VideoFormatBeyondList", "Settings", "VideoFormat2=10", VideoFormat, 0},
    {"AudioBitrateLast", "Settings", "AudioBitRate2=13", AudioBitrate, 13},
    {"AudioFormatWma", "Settings", "AudioFormat2=4", AudioFormat, 4},
    {"AudioFormatOpus", "Settings", "AudioFormat2=6", AudioFormat, 6},
    {"AudioFormatBeyondList", "Settings", "AudioFormat2=7", AudioFormat, 0},
    {"ProfileFormatBeyondType", "Settings", "ProfileFormat=11", ProfileFormat, 0},
};

INSTANTIATE_TEST_SUITE_P(Table, SettingsValueTest, ::testing::ValuesIn(ValueCases),
                         [](const auto &Info) { return std::string(Info.param.Name); });

struct TCustomTextCase {
  const char *Name;
  const char *Stored;
  const char *Loaded;
};

void PrintTo(const TCustomTextCase &C, std::ostream *Out) {
  *Out << C.Name;
}

class CustomTextTest : public SettingsFileTest,
                       public ::testing::WithParamInterface<TCustomTextCase> {};

TEST_P(CustomTextTest, OnlyFrameSizesAreTaken) {
  WriteText(std::string("[Quillet]\nCustom=") + GetParam().Stored + "\n");
  EXPECT_EQ(TSettingsFile(Path).Load(Defaults).Conversion.Custom, GetParam().Loaded);
}

const TCustomTextCase CustomTextCases[] = {
    {"Size", "1920x816", "1920x816"},
    {"CapitalX", "1920X816", "1920X816"},
    {"EmptyWidth", "x720", "x720"},
    {"Empty", "", "7680x4800"},
    {"NoSeparator", "1920", "7680x4800"},
    {"MoreOptions", "1920x816\" -y /tmp/x", "7680x4800"},
    {"SpacesAround", " 1920x816 ", "1920x816"},
    {"SpaceInside", "1920 x816", "7680x4800"},
};

INSTANTIATE_TEST_SUITE_P(Table, CustomTextTest, ::testing::ValuesIn(CustomTextCases),
                         [](const auto &Info) { return std::string(Info.param.Name); });

TEST_F(SettingsFileTest, EncoderPositionsAreCheckedAgainstTheLoadedContainer) {
  WriteText("[Settings]\nVideoFormat2=4\nVideoEncoder2=2\nAudioEncoder2=1\n"
            "ProfileType=3\nProfileFormat=4\n");
  TAppSettings S = TSettingsFile(Path).Load(Defaults);
  EXPECT_EQ(S.Conversion.VideoEncoder, 2); // MP4: H.265
  EXPECT_EQ(S.Conversion.AudioEncoder, 1); // MP4: AC3
  EXPECT_EQ(S.ProfileFormat, 4);           // iPhone has five
  WriteText("[Settings]\nVideoFormat2=5\nVideoEncoder2=2\nAudioEncoder2=2\n");
  S = TSettingsFile(Path).Load(Defaults);
  EXPECT_EQ(S.Conversion.VideoEncoder, 0); // MPG has one encoder and the copy each
  EXPECT_EQ(S.Conversion.AudioEncoder, 0);
}

TEST_F(SettingsFileTest, DeleteThenLoadRestoresDefaults) {
  TSettingsFile File(Path);
  File.Save(Changed(Defaults));
  EXPECT_TRUE(File.Delete());
  EXPECT_FALSE(fs::exists(Path));
  EXPECT_EQ(File.Load(Defaults), Defaults);
  EXPECT_TRUE(File.Delete()); // nothing to delete is fine
}

TEST_F(SettingsFileTest, UnwritableFolderRaisesTheMessage) {
  fs::create_directories(Folder);
  std::ofstream(Folder / "Sablewick") << "a file where the folder should be";
  try {
    TSettingsFile(Path).Save(Defaults);
    FAIL() << "no error";
  } catch (const ESettingsWriteError &E) {
    EXPECT_EQ(std::string(E.what()), "Unable to write to " + Path);
  }
}

TEST_F(SettingsFileTest, FolderInPlaceOfTheFileGivesDefaultsAndAWriteError) {
  fs::create_directories(Path);
  EXPECT_EQ(TSettingsFile(Path).Load(Defaults), Defaults);
  EXPECT_THROW(TSettingsFile(Path).Save(Defaults), ESettingsWriteError);
  EXPECT_TRUE(fs::is_directory(Path));
  EXPECT_EQ(
      std::distance(fs::directory_iterator(fs::path(Path).parent_path()), fs::directory_iterator()),
      1); // no temporary file left behind
}

// Something in place of the settings file that cannot be read. The tests run as root, for whom
// a file of mode 000 is readable: a link to /proc/self/mem stands in for a file whose reading
// fails for everyone (a regular file whose first read is an I/O error).
struct TUnreadableCase {
  const char *Name;
  // Makes it at Path; returns what must still be there, unchanged, afterwards.
  std::string (*Make)(const fs::path &Path, const fs::path &Folder);
  bool RootReads = false; // only unreadable for other users
};

void PrintTo(const TUnreadableCase &C, std::ostream *Out) {
  *Out << C.Name;
}

// What is at Path, told apart enough to see a replacement.
std::string Kind(const fs::path &Path) {
  std::error_code Error;
  const fs::file_status Link = fs::symlink_status(Path, Error);
  if (fs::is_symlink(Link))
    return "link to " + fs::read_symlink(Path).string() + " (" + Kind(fs::read_symlink(Path)) + ")";
  return std::to_string(static_cast<int>(Link.type()));
}

const TUnreadableCase UnreadableCases[] = {
    {"Folder",
     [](const fs::path &Path, const fs::path &) {
       fs::create_directories(Path);
       return Kind(Path);
     }},
    {"Fifo",
     [](const fs::path &Path, const fs::path &) {
       mkfifo(Path.c_str(), 0600);
       return Kind(Path);
     }},
    {"LinkToFifo",
     [](const fs::path &Path, const fs::path &Folder) {
       mkfifo((Folder / "fifo").c_str(), 0600);
       fs::create_symlink(Folder / "fifo", Path);
       return Kind(Path);
     }},
    {"ReadError",
     [](const fs::path &Path, const fs::path &) {
       fs::create_symlink("/proc/self/mem", Path);
       return Kind(Path);
     }},
    {"ModeZero",
     [](const fs::path &Path, const fs::path &) {
       std::ofstream(Path) << "[Quillet]\nWidth=1234\n";
       fs::permissions(Path, fs::perms::none);
       return Kind(Path);
     },
     true},
};

class UnreadableSettingsTest : public SettingsFileTest,
                               public ::testing::WithParamInterface<TUnreadableCase> {};

TEST_P(UnreadableSettingsTest, GivesDefaultsAndIsNeverWrittenOver) {
  if (GetParam().RootReads && geteuid() == 0)
    GTEST_SKIP() << "root reads a file of mode 000";
  fs::create_directories(fs::path(Path).parent_path());
  const std::string Before = GetParam().Make(Path, Folder);
  const fs::path Fifo = fs::exists(Folder / "fifo") ? Folder / "fifo" : fs::path(Path);
  TSettingsFile File(Path);
  WithoutHanging([&] { EXPECT_EQ(File.Load(Defaults), Defaults); }, Fifo);
  EXPECT_NE(File.ReadError(), "");
  WithoutHanging([&] { File.Save(Changed(Defaults)); }, Fifo);
  EXPECT_EQ(Kind(Path), Before);
  // A save without a load first finds it unreadable too.
  WithoutHanging([&] { EXPECT_THROW(TSettingsFile(Path).Save(Defaults), ESettingsWriteError); },
                 Fifo);
  EXPECT_EQ(Kind(Path), Before);
  EXPECT_EQ(
      std::distance(fs::directory_iterator(fs::path(Path).parent_path()), fs::directory_iterator()),
      1); // no temporary file left behind
}

INSTANTIATE_TEST_SUITE_P(Table, UnreadableSettingsTest, ::testing::ValuesIn(UnreadableCases),
                         [](const auto &Info) { return std::string(Info.param.Name); });

TEST_F(SettingsFileTest, ReadOnlyFileIsNotReplaced) {
  WriteText("[Quillet]\nWidth=1234\n");
  fs::permissions(Path, fs::perms::owner_read | fs::perms::group_read);
  TSettingsFile File(Path);
  EXPECT_EQ(File.Load(Defaults).Width, 1234);
  EXPECT_EQ(File.ReadError(), "");
  EXPECT_THROW(File.Save(Defaults), ESettingsWriteError);
  EXPECT_EQ(ReadText(), "[Quillet]\nWidth=1234\n");
  EXPECT_EQ(fs::status(Path).permissions(), fs::perms::owner_read | fs::perms::group_read);
}

// Root saving a user's settings file (sudo) leaves it the user's.
TEST_F(SettingsFileTest, RewriteKeepsTheOwner) {
  if (geteuid() != 0)
    GTEST_SKIP() << "only root can give a file to another user";
  WriteText("[Quillet]\n");
  ASSERT_EQ(chown(Path.c_str(), 4321, 4322), 0);
  TSettingsFile(Path).Save(Defaults);
  struct stat Status {};
  ASSERT_EQ(stat(Path.c_str(), &Status), 0);
  EXPECT_EQ(Status.st_uid, 4321u);
  EXPECT_EQ(Status.st_gid, 4322u);
}

TEST(AppSettings, FittedToAreaBoundsTheWindowAndColumns) {
  TAppSettings S = DefaultAppSettings(800, 900, 720);
  S.Width = 16000;
  S.Height = 9000;
  S.Column4 = 3000;
  const TAppSettings F = FittedToArea(S, 1920, 1040);
  EXPECT_EQ(F.Width, 1920);
  EXPECT_EQ(F.Height, 1040);
  EXPECT_EQ(F.Column4, 1920);
  EXPECT_EQ(F.Column1, 200); // what fits stays
  EXPECT_EQ(FittedToArea(DefaultAppSettings(800, 900, 720), 1920, 1040),
            DefaultAppSettings(800, 900, 720));
}

TEST_F(SettingsFileTest, RewriteKeepsThePermissions) {
  WriteText("[Quillet]\n");
  fs::permissions(Path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  TSettingsFile(Path).Save(Defaults);
  EXPECT_EQ(fs::status(Path).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(SettingsFileTest, NewFileFollowsTheUmask) {
  const mode_t Old = umask(027);
  TSettingsFile(Path).Save(Defaults);
  umask(Old);
  EXPECT_EQ(fs::status(Path).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(SettingsFileTest, SymbolicLinkIsFollowed) {
  fs::create_directories(fs::path(Path).parent_path());
  const fs::path Real = Folder / "dotfiles" / "quillet.ini";
  fs::create_directories(Real.parent_path());
  fs::create_symlink(Real, Path);
  TSettingsFile(Path).Save(Changed(Defaults));
  EXPECT_TRUE(fs::is_symlink(Path));
  EXPECT_TRUE(fs::is_regular_file(Real));
  EXPECT_EQ(TSettingsFile(Path).Load(Defaults), Changed(Defaults));
}

// A write that fails part-way (here: the file size limit) leaves the previous file intact and
// no temporary file behind.
TEST_F(SettingsFileTest, FailedWriteKeepsThePreviousFile) {
  TSettingsFile File(Path);
  File.Save(Defaults);
  const std::string Before = ReadText();
  TAppSettings Long = Defaults;
  Long.Location = std::string(4096, 'a');
  rlimit Old{};
  getrlimit(RLIMIT_FSIZE, &Old);
  const auto OldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit Small = Old;
  Small.rlim_cur = 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &Small), 0);
  EXPECT_THROW(File.Save(Long), ESettingsWriteError);
  setrlimit(RLIMIT_FSIZE, &Old);
  std::signal(SIGXFSZ, OldHandler);
  EXPECT_EQ(ReadText(), Before);
  EXPECT_EQ(
      std::distance(fs::directory_iterator(fs::path(Path).parent_path()), fs::directory_iterator()),
      1);
}

// Environment variables for one test, restored afterwards.
class ScopedEnv {
public:
  ScopedEnv(const char *Name, const char *Value) : FName(Name) {
    if (const char *Old = std::getenv(Name))
      FOld = Old;
    Value ? setenv(Name, Value, 1) : unsetenv(Name);
  }
  ~ScopedEnv() { FOld.empty() ? unsetenv(FName) : setenv(FName, FOld.c_str(), 1); }

private:
  const char *FName;
  std::string FOld;
};

struct TPathCase {
  const char *Name;
  const char *AppData;
  const char *Xdg;
  const char *Expected;
};

void PrintTo(const TPathCase &C, std::ostream *Out) {
  *Out << C.Name;
}

class DefaultPathTest : public ::testing::TestWithParam<TPathCase> {};

TEST_P(DefaultPathTest, FollowsTheEnvironment) {
  const TPathCase &C = GetParam();
  ScopedEnv Home("HOME", "/home/q");
  ScopedEnv AppData("APPDATA", C.AppData);
  ScopedEnv Xdg("XDG_CONFIG_HOME", C.Xdg);
  EXPECT_EQ(TSettingsFile::DefaultPath(), C.Expected);
}

const TPathCase PathCases[] = {
    {"AppData", "/data/app", "/xdg", "/data/app/Sablewick/Quillet/quillet.ini"},
    {"Xdg", nullptr, "/xdg", "/xdg/Sablewick/Quillet/quillet.ini"},
    {"EmptyAppDataIgnored", "", "/xdg", "/xdg/Sablewick/Quillet/quillet.ini"},
    {"RelativeXdgIgnored", nullptr, "rel", "/home/q/.config/Sablewick/Quillet/quillet.ini"},
    {"Home", nullptr, nullptr, "/home/q/.config/Sablewick/Quillet/quillet.ini"},
};

INSTANTIATE_TEST_SUITE_P(Table, DefaultPathTest, ::testing::ValuesIn(PathCases),
                         [](const auto &Info) { return std::string(Info.param.Name); });

TEST(IniInteger, Parsing) {
  EXPECT_EQ(ParseIniInteger("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(ParseIniInteger("0xFFFFFFFF"), -1); // the 32-bit pattern
  EXPECT_EQ(ParseIniInteger("+12"), 12);
  EXPECT_EQ(ParseIniInteger("2147483648"), std::nullopt);
  EXPECT_EQ(ParseIniInteger("1 2"), std::nullopt);
  EXPECT_EQ(ParseIniInteger("0xG"), std::nullopt);
  EXPECT_EQ(ParseIniInteger("-0x1"), std::nullopt);
}

TEST(IniFile, FirstOccurrenceWinsAndValuesAreTrimmed) {
  const TIniFile Ini = TIniFile::Parse("[A]\nK= spaced\tvalue \t\nK=second\n[a]\nL=1\n");
  EXPECT_EQ(Ini.ReadString("a", "k", "d"), "spaced\tvalue");
  EXPECT_EQ(Ini.ReadString("A", "L", "d"), "d"); // the first [A] section is the one used
  EXPECT_EQ(Ini.ReadString("B", "K", "d"), "d");
}

} // namespace

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "components/FFAPI.h"
#include "components/TFFLoader.h"

namespace fs = std::filesystem;

namespace {

const TLibrary EncoderMembers[] = {avUtil,   swScale,  swResample, avCodec,
                                   avFormat, avFilter, avDevice,   myUtil};

// A fresh folder under the temp folder, removed at the end.
class TTempFolder {
public:
  TTempFolder() {
    std::string pattern = (fs::temp_directory_path() / "quillet-loader-XXXXXX").string();
    Path = mkdtemp(pattern.data());
  }
  ~TTempFolder() { fs::remove_all(Path); }
  std::string Slash() const { return Path.string() + "/"; }
  fs::path Path;
};

void WriteGarbage(const fs::path &file) {
  std::ofstream out(file, std::ios::binary);
  out << std::string(4096, 'x');
}

std::string SystemLibrary(const char *file) {
  for (const char *dir : {"/usr/lib/x86_64-linux-gnu/", "/lib/x86_64-linux-gnu/", "/usr/lib/"})
    if (fs::exists(std::string(dir) + file))
      return std::string(dir) + file;
  return {};
}

// File of the loaded object that holds `address`.
std::string ObjectOf(const void *address) {
  Dl_info info{};
  return dladdr(address, &info) && info.dli_fname ? info.dli_fname : "";
}

std::set<std::string> LoadedObjects() {
  std::set<std::string> names;
  dl_iterate_phdr(
      [](dl_phdr_info *info, size_t, void *data) {
        static_cast<std::set<std::string> *>(data)->insert(info->dlpi_name ? info->dlpi_name : "");
        return 0;
      },
      &names);
  return names;
}

bool StartsWith(const std::string &text, const std::string &prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

std::string NotFoundText(const std::string &path) {
  return path + ": cannot open shared object file: No such file or directory";
}

// Every test starts and ends with nothing loaded, no custom names, no folder, the old PATH.
class LoaderTest : public ::testing::Test {
protected:
  void SetUp() override { Reset(); }
  void TearDown() override {
    Reset();
    setenv("PATH", SavedPath.c_str(), 1);
  }
  void Reset() {
    Loader.Unload(AllLibraries);
    Loader.LibraryPath.clear();
    for (int i = 0; i < LibraryCount; ++i)
      Loader.Status(TLibrary(i)).Name.clear();
  }
  static std::string Path() { return std::getenv("PATH") ? std::getenv("PATH") : ""; }

  TFFLoader &Loader = FFLoader();
  std::string SavedPath = Path();
  TTempFolder Folder;
};

} // namespace

TEST_F(LoaderTest, LoadsTheEncoderSetBySystemSearchAndBindsEveryEntryPoint) {
  ASSERT_TRUE(Loader.Load(EncoderLibraries)) << Loader.LastErrMsg();
  EXPECT_TRUE(Loader.Loaded(EncoderLibraries));
  ASSERT_NE(ff::avutil_version, nullptr);
  EXPECT_EQ(AV_VERSION_MAJOR(ff::avutil_version()), 57u);
  EXPECT_EQ(AV_VERSION_MAJOR(ff::swscale_version()), 6u);
  EXPECT_EQ(AV_VERSION_MAJOR(ff::swresample_version()), 4u);
  EXPECT_EQ(AV_VERSION_MAJOR(ff::avcodec_version()), 59u);
  EXPECT_EQ(AV_VERSION_MAJOR(ff::avformat_version()), 59u);
  EXPECT_EQ(AV_VERSION_MAJOR(ff::avfilter_version()), 8u);
  EXPECT_EQ(AV_VERSION_MAJOR(ff::avdevice_version()), 59u);
  ASSERT_NE(crt::strtol, nullptr);
  EXPECT_EQ(crt::strtol("42", nullptr, 10), 42);
  Loader.Unload(EncoderLibraries);
  EXPECT_EQ(ff::avutil_version, nullptr);
  EXPECT_EQ(ff::avdevice_register_all, nullptr);
  EXPECT_EQ(crt::strtol, nullptr);
  for (TLibrary lib : EncoderMembers) {
    EXPECT_FALSE(Loader.Loaded(lib)) << lib;
    EXPECT_EQ(Loader.Status(lib).Handle, nullptr) << lib;
  }
}

TEST_F(LoaderTest, DecoderSetThenEncoderSetOpensOnlyAvDevice) {
  ASSERT_TRUE(Loader.Load(DecoderLibraries)) << Loader.LastErrMsg();
  void *handles[LibraryCount];
  for (int i = 0; i < LibraryCount; ++i)
    handles[i] = Loader.Status(TLibrary(i)).Handle;
  const int opened = Loader.OpenCount();
  ASSERT_TRUE(Loader.Load(EncoderLibraries)) << Loader.LastErrMsg();
  EXPECT_EQ(Loader.OpenCount(), opened + 1);
  for (TLibrary lib : EncoderMembers) {
    if (lib != avDevice) {
      EXPECT_EQ(Loader.Status(lib).Handle, handles[lib]) << lib;
    }
  }
  EXPECT_NE(Loader.Status(avDevice).Handle, nullptr);
  // Loading a loaded set again opens nothing.
  ASSERT_TRUE(Loader.Load(EncoderLibraries));
  EXPECT_EQ(Loader.OpenCount(), opened + 1);
}

TEST_F(LoaderTest, LibrariesWithoutFilesCountAsLoaded) {
  const int opened = Loader.OpenCount();
  EXPECT_TRUE(Loader.Loaded(TLibraries{SDL2}));
  EXPECT_TRUE(Loader.Load(TLibraries{SDL2, libSoundTouch}));
  EXPECT_EQ(Loader.OpenCount(), opened);
  EXPECT_NO_THROW(Loader.CheckLibAV(TLibraries{SDL2, libSoundTouch}));
}

TEST_F(LoaderTest, CheckLibAVNamesTheFirstLibraryNotLoaded) {
  ASSERT_TRUE(Loader.Load(DecoderLibraries)) << Loader.LastErrMsg();
  EXPECT_NO_THROW(Loader.CheckLibAV(DecoderLibraries));
  try {
    Loader.CheckLibAV(EncoderLibraries);
    FAIL() << "no error";
  } catch (const std::runtime_error &e) {
    EXPECT_STREQ(e.what(), "Library avdevice not loaded.");
  }
  Loader.Unload(TLibraries{avFormat, avFilter});
  EXPECT_THROW(
      {
        try {
          Loader.CheckLibAV(EncoderLibraries);
        } catch (const std::runtime_error &e) {
          EXPECT_STREQ(e.what(), "Library avformat not loaded.");
          throw;
        }
      },
      std::runtime_error);
}

// --- file names ---

struct TNameCase {
  TLibrary Lib;
  const char *FileName;
};

class LibraryNameTest : public LoaderTest, public ::testing::WithParamInterface<TNameCase> {};

TEST_P(LibraryNameTest, BuildsThePlatformFileName) {
  EXPECT_EQ(Loader.GetLibraryName(GetParam().Lib), GetParam().FileName);
}

INSTANTIATE_TEST_SUITE_P(
    AllLibraries, LibraryNameTest,
    ::testing::Values(TNameCase{avUtil, "libavutil.so.57"}, TNameCase{swScale, "libswscale.so.6"},
                      TNameCase{swResample, "libswresample.so.4"},
                      TNameCase{avCodec, "libavcodec.so.59"},
                      TNameCase{avFormat, "libavformat.so.59"},
                      TNameCase{avFilter, "libavfilter.so.8"},
                      TNameCase{avDevice, "libavdevice.so.59"}, TNameCase{myUtil, "libc.so.6"},
                      TNameCase{SDL2, "libSDL2.so"}, TNameCase{libSoundTouch, "libSoundTouch.so"}));

TEST_F(LoaderTest, AStatusNameReplacesTheBuiltFileName) {
  Loader.Status(avUtil).Name = "/opt/ff/libavutil.so.57";
  EXPECT_EQ(Loader.GetLibraryName(avUtil), "/opt/ff/libavutil.so.57");
}

// --- where libraries come from ---

TEST_F(LoaderTest, EmptyLibraryPathUsesTheSystemSearch) {
  ASSERT_TRUE(Loader.Load(avUtil)) << Loader.LastErrMsg();
  EXPECT_EQ(fs::path(ObjectOf(reinterpret_cast<void *>(ff::avutil_version))).filename(),
            "libavutil.so.57");
  EXPECT_EQ(Path(), SavedPath);
}

TEST_F(LoaderTest, TheCLibraryIsNeverTakenFromLibraryPath) {
  WriteGarbage(Folder.Path / "libc.so.6");
  Loader.LibraryPath = Folder.Path.string();
  ASSERT_TRUE(Loader.Load(myUtil)) << Loader.LastErrMsg();
  const std::string object = ObjectOf(reinterpret_cast<void *>(crt::strtol));
  EXPECT_EQ(object.find(Folder.Path.string()), std::string::npos) << object;
  EXPECT_EQ(Path(), SavedPath);
}

TEST_F(LoaderTest, ALibraryInLibraryPathIsLoadedFromThereWithItsDependencies) {
  const std::string avutil = SystemLibrary("libavutil.so.57");
  const std::string swscale = SystemLibrary("libswscale.so.6");
  ASSERT_FALSE(avutil.empty() || swscale.empty());
  fs::copy_file(avutil, Folder.Path / "libavutil.so.57");
  fs::copy_file(swscale, Folder.Path / "libswscale.so.6");
  Loader.LibraryPath = Folder.Path.string();
  // swscale alone, avutil not loaded: its avutil must be the copy beside it.
  ASSERT_TRUE(Loader.Load(swScale)) << Loader.LastErrMsg();
  EXPECT_EQ(ObjectOf(reinterpret_cast<void *>(ff::swscale_version)),
            Folder.Slash() + "libswscale.so.6");
  EXPECT_TRUE(LoadedObjects().count(Folder.Slash() + "libavutil.so.57"));
}

// --- PATH ---

struct TPathCase {
  const char *Name;
  std::string OldPath; // "%F" stands for the library folder with its trailing "/"
  std::string NewPath;
};

class LoaderPathTest : public LoaderTest, public ::testing::WithParamInterface<TPathCase> {
protected:
  std::string Expand(std::string text) {
    for (size_t at; (at = text.find("%F")) != std::string::npos;)
      text.replace(at, 2, Folder.Slash());
    for (size_t at; (at = text.find("%U")) != std::string::npos;) {
      std::string upper = Folder.Slash();
      for (char &c : upper)
        c = char(std::toupper(static_cast<unsigned char>(c)));
      text.replace(at, 2, upper);
    }
    return text;
  }
};

TEST_P(LoaderPathTest, PutsTheFolderInFrontOfPathOnlyWhenMissing) {
  const std::string avutil = SystemLibrary("libavutil.so.57");
  ASSERT_FALSE(avutil.empty());
  fs::copy_file(avutil, Folder.Path / "libavutil.so.57");
  setenv("PATH", Expand(GetParam().OldPath).c_str(), 1);
  Loader.LibraryPath = Folder.Path.string();
  ASSERT_TRUE(Loader.Load(avUtil)) << Loader.LastErrMsg();
  EXPECT_EQ(Path(), Expand(GetParam().NewPath));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoaderPathTest,
    ::testing::Values(TPathCase{"NewFolderGoesFirst", "/usr/bin:/bin", "%F:/usr/bin:/bin"},
                      TPathCase{"PresentFolderStays", "/usr/bin:%F", "/usr/bin:%F"},
                      TPathCase{"PresentInOtherCaseStays", "/usr/bin:%U", "/usr/bin:%U"},
                      TPathCase{"PartOfALongerEntryStays", "/usr/bin:%Fsub", "/usr/bin:%Fsub"},
                      TPathCase{"EmptyPathGetsNoEmptyEntry", "", "%F"}),
    [](const auto &info) { return info.param.Name; });

TEST_F(LoaderTest, PathIsLeftAloneWhenTheFileIsNotInTheFolder) {
  Loader.LibraryPath = Folder.Path.string();
  ASSERT_TRUE(Loader.Load(avUtil)) << Loader.LastErrMsg();
  EXPECT_EQ(Path(), SavedPath);
}

// --- failures ---

TEST_F(LoaderTest, AMissingLibraryReportsFolderAndFileWithTheNotFoundCode) {
  Loader.LibraryPath = Folder.Path.string();
  Loader.Status(avDevice).Name = "libquillet-missing.so.59";
  EXPECT_FALSE(Loader.Load(avDevice));
  EXPECT_EQ(Loader.LastErrMsg(), "Load library " + Folder.Slash() +
                                     "libquillet-missing.so.59 error(#" + std::to_string(ENOENT) +
                                     "): " + NotFoundText("libquillet-missing.so.59"));
  EXPECT_FALSE(Loader.Loaded(avDevice));
  EXPECT_EQ(Loader.Status(avDevice).Handle, nullptr);
}

TEST_F(LoaderTest, AMissingLibraryWithoutFolderReportsTheBareName) {
  Loader.Status(avDevice).Name = "libquillet-missing.so.59";
  EXPECT_FALSE(Loader.Load(avDevice));
  EXPECT_EQ(Loader.LastErrMsg(), "Load library libquillet-missing.so.59 error(#" +
                                     std::to_string(ENOENT) +
                                     "): " + NotFoundText("libquillet-missing.so.59"));
}

TEST_F(LoaderTest, AFileInTheFolderThatIsNoLibraryIsNotLoadable) {
  WriteGarbage(Folder.Path / "libavfilter.so.8");
  Loader.LibraryPath = Folder.Path.string();
  EXPECT_FALSE(Loader.Load(avFilter));
  const std::string path = Folder.Slash() + "libavfilter.so.8";
  EXPECT_TRUE(StartsWith(Loader.LastErrMsg(), "Load library " + path + " error(#" +
                                                  std::to_string(ENOEXEC) + "): " + path + ": "))
      << Loader.LastErrMsg();
}

TEST_F(LoaderTest, ALibraryWithAMissingDependencyIsPresentButNotLoadable) {
  const fs::path fake = fs::path(QUILLET_FAKELIB_DIR) / "missing_dependency" / "libavformat.so.59";
  fs::copy_file(fake, Folder.Path / "libavformat.so.59");
  Loader.LibraryPath = Folder.Path.string();
  EXPECT_FALSE(Loader.Load(avFormat));
  const std::string prefix = "Load library " + Folder.Slash() + "libavformat.so.59 error(#" +
                             std::to_string(ENOEXEC) + "): ";
  EXPECT_EQ(Loader.LastErrMsg(), prefix + NotFoundText("libquillet_fake_dependency.so"));
}

TEST_F(LoaderTest, ANotLoadableFileFoundOutsideTheFolderReportsTheBareName) {
  const char *searchPath = std::getenv("LD_LIBRARY_PATH");
  if (!searchPath || std::string(searchPath).find(QUILLET_SEARCH_DIR) == std::string::npos)
    GTEST_SKIP() << "needs LD_LIBRARY_PATH=" QUILLET_SEARCH_DIR " (set by ctest)";
  Loader.LibraryPath = Folder.Path.string();
  Loader.Status(avDevice).Name = "libquillet-notelf.so.1";
  EXPECT_FALSE(Loader.Load(avDevice));
  EXPECT_TRUE(StartsWith(Loader.LastErrMsg(), "Load library libquillet-notelf.so.1 error(#" +
                                                  std::to_string(ENOEXEC) + "): "))
      << Loader.LastErrMsg();
}

TEST_F(LoaderTest, AMissingEntryPointUnbindsAndUnloadsTheLibrary) {
  const fs::path fake = fs::path(QUILLET_FAKELIB_DIR) / "missing_symbol" / "libavdevice.so.59";
  fs::copy_file(fake, Folder.Path / "libavdevice.so.59");
  Loader.LibraryPath = Folder.Path.string();
  EXPECT_FALSE(Loader.Load(avDevice));
  EXPECT_EQ(Loader.LastErrMsg(),
            "Load function avdevice_register_all@libavdevice.so.59 error: " + Folder.Slash() +
                "libavdevice.so.59: undefined symbol: avdevice_register_all");
  EXPECT_EQ(ff::avdevice_configuration, nullptr);
  EXPECT_EQ(ff::avdevice_version, nullptr);
  EXPECT_FALSE(Loader.Loaded(avDevice));
  EXPECT_EQ(Loader.Status(avDevice).Handle, nullptr);
  EXPECT_FALSE(Loader.Status(avDevice).Fixuped);
  EXPECT_FALSE(LoadedObjects().count(Folder.Slash() + "libavdevice.so.59"));
}

// A failure anywhere unloads the whole requested set, also members loaded before the call.
struct TSetFailureCase {
  const char *Name;
  const char *BadFile;  // file placed in LibraryPath
  const char *FakeFrom; // stand-in library to copy, or null for a garbage file
  const char *ErrorStart;
};

class LoaderSetFailureTest : public LoaderTest,
                             public ::testing::WithParamInterface<TSetFailureCase> {};

TEST_P(LoaderSetFailureTest, UnloadsTheWholeSet) {
  const TSetFailureCase &c = GetParam();
  if (c.FakeFrom)
    fs::copy_file(fs::path(QUILLET_FAKELIB_DIR) / c.FakeFrom / c.BadFile, Folder.Path / c.BadFile);
  else
    WriteGarbage(Folder.Path / c.BadFile);
  ASSERT_TRUE(Loader.Load(TLibraries{avUtil, swScale})) << Loader.LastErrMsg();
  Loader.LibraryPath = Folder.Path.string();
  EXPECT_FALSE(Loader.Load(EncoderLibraries));
  EXPECT_TRUE(StartsWith(Loader.LastErrMsg(), c.ErrorStart)) << Loader.LastErrMsg();
  EXPECT_NE(Loader.LastErrMsg().find(c.BadFile), std::string::npos) << Loader.LastErrMsg();
  for (TLibrary lib : EncoderMembers) {
    EXPECT_FALSE(Loader.Loaded(lib)) << lib;
    EXPECT_EQ(Loader.Status(lib).Handle, nullptr) << lib;
  }
  EXPECT_EQ(ff::avutil_version, nullptr);
  EXPECT_EQ(crt::vsnprintf, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoaderSetFailureTest,
    ::testing::Values(TSetFailureCase{"AvFilterNotLoadable", "libavfilter.so.8", nullptr,
                                      "Load library "},
                      TSetFailureCase{"AvDeviceMissingAnEntryPoint", "libavdevice.so.59",
                                      "missing_symbol", "Load function avdevice_register_all@"}),
    [](const auto &info) { return info.param.Name; });

TEST_F(LoaderTest, ASuccessDoesNotClearTheLastError) {
  Loader.Status(avDevice).Name = "libquillet-missing.so.59";
  EXPECT_FALSE(Loader.Load(avDevice));
  const std::string error = Loader.LastErrMsg();
  ASSERT_TRUE(Loader.Load(avUtil));
  EXPECT_EQ(Loader.LastErrMsg(), error);
}

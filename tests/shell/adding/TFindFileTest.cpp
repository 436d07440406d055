// The folder scan and the accepted-type rules.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "shell/adding/MediaMasks.h"
#include "shell/adding/TFindFile.h"

namespace fs = std::filesystem;

namespace {

struct TMaskCase {
  const char *Name;
  const char *Mask;
  bool Matches;
};

class MatchesMaskTest : public testing::TestWithParam<TMaskCase> {};

TEST_P(MatchesMaskTest, MatchesIgnoringCase) {
  const TMaskCase &c = GetParam();
  EXPECT_EQ(MatchesMask(c.Name, c.Mask), c.Matches) << c.Name << " ~ " << c.Mask;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, MatchesMaskTest,
    testing::Values(TMaskCase{"clip.avi", "*.AVI", true}, TMaskCase{"clip.AVI", "*.avi", true},
                    TMaskCase{"clip.avi.txt", "*.AVI", false}, TMaskCase{"clip.mp", "*.MP4", false},
                    TMaskCase{"a.b.mp4", "*.MP4", true}, TMaskCase{".mp4", "*.MP4", true},
                    TMaskCase{"clip", "*.AVI", false}, TMaskCase{"x1.ts", "x?.TS", true},
                    TMaskCase{"x12.ts", "x?.TS", false}, TMaskCase{"abc", "*", true},
                    TMaskCase{"", "*", true}, TMaskCase{"aXbXc", "a*b*c", true},
                    TMaskCase{"aXbXd", "a*b*c", false}));

struct TAcceptCase {
  const char *Path;
  bool Accepted;
};

class AcceptedPathTest : public testing::TestWithParam<TAcceptCase> {};

TEST_P(AcceptedPathTest, ByExtensionOnly) {
  EXPECT_EQ(IsAcceptedMediaPath(GetParam().Path), GetParam().Accepted) << GetParam().Path;
}

INSTANTIATE_TEST_SUITE_P(
    Paths, AcceptedPathTest,
    testing::Values(TAcceptCase{"/v/clip.AVI", true}, TAcceptCase{"/v/clip.avi", true},
                    TAcceptCase{"/v/clip.mp", false}, TAcceptCase{"/v/clip", false},
                    TAcceptCase{"/v/clip.txt", false}, TAcceptCase{"/v/clip.", false},
                    TAcceptCase{"/v.mp4/clip", false}, TAcceptCase{"/v/a.3gp", true},
                    TAcceptCase{"/v/a.RmVb", true}, TAcceptCase{"/v/a.tp", true},
                    TAcceptCase{"/v/a.mpeg", true}, TAcceptCase{"/v/a.wmv", true},
                    TAcceptCase{"/v/a.mp3", true}, TAcceptCase{"/v/a.mkv.part", false},
                    // audio files and camcorder streams
                    TAcceptCase{"/v/a.WAV", true}, TAcceptCase{"/v/a.flac", true},
                    TAcceptCase{"/v/a.m4a", true}, TAcceptCase{"/v/a.ogg", true},
                    TAcceptCase{"/v/a.opus", true}, TAcceptCase{"/v/a.MTS", true},
                    TAcceptCase{"/v/a.m2ts", true}, TAcceptCase{"/v/a.aiff", false},
                    // containers the program writes
                    TAcceptCase{"/v/a.webm", true}, TAcceptCase{"/v/a.M4V", true}));

TEST(SplitList, TrimsAndDropsEmptyAndRepeatedItems) {
  EXPECT_EQ(SplitList(" *.AVI ; ;*.MP4;*.AVI;"), (std::vector<std::string>{"*.AVI", "*.MP4"}));
  EXPECT_EQ(SplitList(MediaMasks).size(), 30u);
  EXPECT_TRUE(SplitList("").empty());
}

// A temporary folder tree removed at the end of the test.
class TFindFileTest : public testing::Test {
protected:
  void SetUp() override {
    FRoot =
        fs::temp_directory_path() /
        ("quillet_findfile_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(FRoot);
    fs::create_directories(FRoot);
  }
  void TearDown() override { fs::remove_all(FRoot); }

  std::string Make(const std::string &ARelative) {
    fs::path p = FRoot / ARelative;
    fs::create_directories(p.parent_path());
    std::ofstream(p) << "x";
    return p.string();
  }

  std::vector<std::string> Scan(const std::string &ALocation, bool ASubfolders = true) {
    std::vector<std::string> found;
    TFindFile find;
    find.Location = ALocation;
    find.FileName = std::string(MediaMasks);
    find.Subfolders = ASubfolders;
    find.OnFileMatch = [&](TFindFile *ASender, const std::string &AFolder,
                           const std::string &AName) {
      EXPECT_EQ(ASender, &find);
      EXPECT_EQ(AFolder.back(), '/');
      found.push_back(AFolder + AName);
    };
    find.Execute();
    return found;
  }

  fs::path FRoot;
};

TEST_F(TFindFileTest, FindsMediaFilesAtDepthsOneAndThreeIncludingHiddenFolders) {
  const std::string top = Make("top.avi");
  const std::string deep = Make("a/b/c/deep.MKV");
  const std::string hidden = Make(".hidden/h.mp4");
  Make("a/readme.txt");
  Make("a/b/noext");
  std::vector<std::string> found = Scan(FRoot.string());
  std::sort(found.begin(), found.end());
  std::vector<std::string> expected{top, deep, hidden};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(found, expected);
}

TEST_F(TFindFileTest, ReportsAFoldersOwnMatchesBeforeThoseOfItsSubfolders) {
  Make("sub/inner.avi");
  Make("outer.mp4");
  Make("sub/deeper/deepest.ts");
  std::vector<std::string> found = Scan(FRoot.string());
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[0], (FRoot / "outer.mp4").string());
  EXPECT_EQ(found[1], (FRoot / "sub/inner.avi").string());
  EXPECT_EQ(found[2], (FRoot / "sub/deeper/deepest.ts").string());
}

TEST_F(TFindFileTest, WithoutSubfoldersOnlyTheFolderItself) {
  const std::string top = Make("top.avi");
  Make("a/deep.avi");
  EXPECT_EQ(Scan(FRoot.string(), false), std::vector<std::string>{top});
}

TEST_F(TFindFileTest, ReportsAFolderWhoseNameMatchesAMask) {
  fs::create_directories(FRoot / "clip.avi");
  EXPECT_EQ(Scan(FRoot.string()), std::vector<std::string>{(FRoot / "clip.avi").string()});
}

TEST_F(TFindFileTest, FolderGivenWithTrailingDelimiterOrRelativeGivesTheSamePaths) {
  const std::string top = Make("top.avi");
  EXPECT_EQ(Scan(FRoot.string() + "/"), std::vector<std::string>{top});
  const fs::path old = fs::current_path();
  fs::current_path(FRoot.parent_path());
  EXPECT_EQ(Scan(FRoot.filename().string()), std::vector<std::string>{top});
  fs::current_path(old);
}

TEST_F(TFindFileTest, DotAndDotDotInTheFolderAreResolvedByName) {
  const std::string top = Make("media/tree/top.avi");
  const std::string spelled = (FRoot / "media/../media/./tree").string();
  EXPECT_EQ(Scan(spelled), std::vector<std::string>{top});
}

TEST_F(TFindFileTest, NamesThatAreNotUtf8AreReportedWithTheirBytes) {
  const std::string file = Make("d\xff/caf\xe9.avi");
  EXPECT_EQ(Scan(FRoot.string()), std::vector<std::string>{file});
}

TEST_F(TFindFileTest, SeveralLocationsSeparatedBySemicolons) {
  const std::string a = Make("one/a.avi");
  const std::string b = Make("two/b.avi");
  EXPECT_EQ(Scan((FRoot / "one").string() + ";" + (FRoot / "two").string()),
            (std::vector<std::string>{a, b}));
}

TEST_F(TFindFileTest, AnExistingFolderWithASemicolonInItsNameIsSearchedItself) {
  const std::string inside = Make("x;y/in.avi");
  EXPECT_EQ(Scan((FRoot / "x;y").string()), std::vector<std::string>{inside});
}

TEST_F(TFindFileTest, MissingOrUnreadableFoldersReportNothing) {
  EXPECT_TRUE(Scan((FRoot / "missing").string()).empty());
  EXPECT_TRUE(Scan(Make("file.avi")).empty()); // a file is not a folder to search
}

TEST_F(TFindFileTest, ALinkBackToAnAncestorIsVisitedOnce) {
  const std::string top = Make("a/top.avi");
  fs::create_directory_symlink(FRoot / "a", FRoot / "a/loop");
  std::vector<std::string> found = Scan(FRoot.string());
  EXPECT_EQ(found, std::vector<std::string>{top});
}

TEST_F(TFindFileTest, StepVisitsOneFolderPerCallAndAbortDropsTheRest) {
  Make("top.avi");
  Make("a/one.avi");
  Make("b/two.avi");
  int matches = 0;
  TFindFile find;
  find.Location = FRoot.string();
  find.FileName = std::string(MediaMasks);
  find.OnFileMatch = [&](TFindFile *, const std::string &, const std::string &) { ++matches; };
  find.Start();
  EXPECT_TRUE(find.Busy());
  EXPECT_TRUE(find.Step()); // the root: its own file
  EXPECT_EQ(matches, 1);
  EXPECT_TRUE(find.Step()); // one subfolder
  EXPECT_EQ(matches, 2);
  find.Abort();
  EXPECT_FALSE(find.Busy());
  EXPECT_FALSE(find.Step());
  EXPECT_EQ(matches, 2);
}

} // namespace

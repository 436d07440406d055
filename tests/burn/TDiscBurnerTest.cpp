// The burner component on libburn stdio: pseudo-drives (an image file stands in for a disc),
// with the written images read back through libisofs.
#include "BurnTestSupport.h"
#include "IsoImageReader.h"

#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class TDiscBurnerTest : public ::testing::Test {
protected:
  TScratchDir Dir;
  std::string Image = Dir / "disc.iso";
  TPseudoDrives Drives{"stdio:" + Image};
  TDiscBurner Burner;
  TEventLog Log{Burner};

  void SetUp() override {
    Burner.SetActive(true);
    ASSERT_TRUE(Burner.Active()) << Burner.GetLastErrorText();
    Burner.GetDevices();
    ASSERT_EQ(Burner.DeviceCount(), 1);
    ASSERT_TRUE(Burner.SetBurnDevice(1)) << Burner.GetLastErrorText();
  }

  void NewProject(const std::string &ALabel = "My Videos") {
    Burner.ClearAll();
    Burner.SetProjectType(ptISOUDF);
    TBurnOptions options = Burner.Options();
    options.VolumeLabel = ALabel;
    Burner.SetOptions(options);
  }

  // Burns the project and waits for the done event; returns its error text.
  std::string BurnAndWait() {
    Burner.Burn();
    EXPECT_TRUE(Log.WaitDone(Burner));
    return Log.Events.empty() ? "no event" : Log.Events.back().substr(5);
  }

  // A sparse file of Size bytes with a marker at its end.
  std::string SparseFile(const std::string &AName, off_t ASize) {
    const std::string path = Dir / AName;
    std::ofstream(path).close();
    EXPECT_EQ(truncate(path.c_str(), ASize - 4), 0);
    std::ofstream(path, std::ios::app | std::ios::binary) << "tail";
    return path;
  }
};

TEST_F(TDiscBurnerTest, BurnsThreeFilesUnderTheirListNamesIntoAnImage) {
  NewProject("My Videos");
  const std::vector<std::pair<std::string, std::string>> files = {
      {Fixture("av.mp4"), "Holiday clip.mp4"},
      {Fixture("av.avi"), "holiday clip.MP4"}, // same name but for case: made unique
      {Fixture("audio.mp3"), "Ein längerer Name mit Umlauten und über vierzig Zeichen.mp3"}};
  for (const auto &[source, name] : files)
    ASSERT_TRUE(Burner.AddFile(source, name)) << Burner.GetLastErrorText();
  EXPECT_EQ(Burner.ProjectFileCount(), 3);
  const int64_t expectedSize = std::filesystem::file_size(Fixture("av.mp4")) +
                               std::filesystem::file_size(Fixture("av.avi")) +
                               std::filesystem::file_size(Fixture("audio.mp3"));
  EXPECT_EQ(Burner.ProjectSize(), expectedSize);
  ASSERT_TRUE(Burner.Prepare()) << Burner.GetLastErrorText();

  EXPECT_EQ(BurnAndWait(), "");
  EXPECT_EQ(Burner.LastError(), 0) << Burner.GetLastErrorText();
  EXPECT_FALSE(Log.OffMainThread);
  // Finalizing comes once, before the one done event.
  EXPECT_EQ(Log.Events, (std::vector<std::string>{"finalize", "burn:"}));

  const std::vector<std::string> names = {"Holiday clip.mp4", "holiday clip (2).MP4",
                                          files[2].second};
  for (TIsoNames kind : {TIsoNames::RockRidge, TIsoNames::Joliet}) {
    const TIsoImage iso = ReadIsoImage(Image, kind, true);
    ASSERT_TRUE(iso.Ok) << iso.Error;
    ASSERT_EQ(iso.Files.size(), 3u);
    for (size_t i = 0; i < files.size(); ++i) {
      ASSERT_TRUE(iso.Files.count(names[i])) << names[i];
      const TIsoFile &file = iso.Files.at(names[i]);
      EXPECT_EQ(file.Size, int64_t(std::filesystem::file_size(files[i].first))) << names[i];
      EXPECT_TRUE(file.Contents == FileContents(files[i].first)) << names[i];
    }
    EXPECT_EQ(iso.ApplicationId, TDiscProject::ApplicationId);
  }
  // The label as typed in the Joliet volume descriptor (libisofs reads that one first).
  EXPECT_EQ(ReadIsoImage(Image, TIsoNames::Joliet, false).VolumeId, "My Videos");
}

TEST_F(TDiscBurnerTest, FileOver4GiBReachesTheImageWhole) {
  const off_t size = off_t(4) * 1024 * 1024 * 1024 + 123457;
  // The image takes the file's whole size on disk; a machine without the room skips this case.
  if (std::filesystem::space(Dir.Path).available < uintmax_t(size) + (uintmax_t(1) << 30))
    GTEST_SKIP() << "not enough free space for a 4 GiB image in " << Dir.Path;
  NewProject();
  ASSERT_TRUE(Burner.AddFile(SparseFile("big.bin", size), "big.bin"));
  ASSERT_TRUE(Burner.Prepare()) << Burner.GetLastErrorText();
  EXPECT_EQ(BurnAndWait(), "");
  EXPECT_GT(Log.Processes, 0);
  const TIsoImage iso = ReadIsoImage(Image, TIsoNames::RockRidge, false);
  ASSERT_TRUE(iso.Ok) << iso.Error;
  ASSERT_TRUE(iso.Files.count("big.bin"));
  EXPECT_EQ(iso.Files.at("big.bin").Size, size);
}

TEST_F(TDiscBurnerTest, AbortEndsTheBurnWithOneDoneEvent) {
  NewProject();
  ASSERT_TRUE(Burner.AddFile(SparseFile("big.bin", off_t(2) * 1024 * 1024 * 1024), "big.bin"));
  ASSERT_TRUE(Burner.Prepare());
  Burner.Burn();
  // Wait until writing is under way, then cancel.
  WaitInMainThread([&] { return Log.Processes > 0 || Log.Done(); });
  Burner.Abort();
  ASSERT_TRUE(Log.WaitDone(Burner));
  EXPECT_EQ(Log.Events.back(), "burn:Burning was cancelled.");
  EXPECT_EQ(Burner.LastError(), beCancelled);
  EXPECT_LT(Log.LastWritten, 2.0 * 1024 * 1024 * 1024);

  // The drive is usable again: a second, small burn succeeds.
  Log.Events.clear();
  NewProject();
  ASSERT_TRUE(Burner.AddFile(Fixture("av.mp4"), "av.mp4"));
  EXPECT_EQ(BurnAndWait(), "");
  EXPECT_TRUE(ReadIsoImage(Image, TIsoNames::RockRidge, false).Files.count("av.mp4"));
}

TEST_F(TDiscBurnerTest, WorkTheEngineRefusesStillEndsWithADoneEvent) {
  // Nothing to burn.
  NewProject();
  EXPECT_EQ(BurnAndWait(), "There are no files to burn.");
  // An image file cannot be erased: the erase reports so instead of never ending.
  Log.Events.clear();
  Burner.Erase(true, false);
  ASSERT_TRUE(Log.WaitDone(Burner));
  EXPECT_EQ(Log.Events,
            (std::vector<std::string>{"erase:The disc in this drive cannot be erased."}));
  EXPECT_EQ(Burner.LastError(), beNotErasable);
}

TEST_F(TDiscBurnerTest, FilesThatCannotBeAddedAreRefusedWithAReason) {
  const std::string fifo = Dir / "pipe";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  struct TCase {
    std::string Source;
    int Error;
    std::string Text;
  };
  NewProject();
  for (const TCase &c :
       {TCase{Dir / "missing.mp4", beCannotRead, "Cannot read the file: No such file or directory"},
        TCase{fifo, beCannotRead, "Cannot read the file: not a regular file"},
        TCase{Dir.Path.string(), beCannotRead, "Cannot read the file: not a regular file"}}) {
    EXPECT_FALSE(Burner.AddFile(c.Source, "x.mp4")) << c.Source;
    EXPECT_EQ(Burner.LastError(), c.Error) << c.Source;
    EXPECT_EQ(Burner.GetLastErrorText(), c.Text) << c.Source;
  }
  EXPECT_EQ(Burner.ProjectFileCount(), 0);
  EXPECT_FALSE(Burner.Prepare());
  EXPECT_EQ(Burner.GetLastErrorText(), "There are no files to burn.");

  // Without a project nothing is added.
  Burner.ClearAll();
  Burner.SetProjectType(ptNone);
  EXPECT_FALSE(Burner.AddFile(Fixture("av.mp4"), "av.mp4"));
  EXPECT_EQ(Burner.LastError(), beNoProject);
}

TEST_F(TDiscBurnerTest, ASourceRemovedAfterAddingIsLeftOutAndNamed) {
  NewProject();
  const std::string doomed = Dir / "doomed.mp4";
  std::filesystem::copy_file(Fixture("av.mp4"), doomed);
  ASSERT_TRUE(Burner.AddFile(doomed, "doomed.mp4"));
  ASSERT_TRUE(Burner.AddFile(Fixture("audio.mp3"), "audio.mp3"));
  std::filesystem::remove(doomed);
  EXPECT_EQ(Burner.ProjectSize(), int64_t(std::filesystem::file_size(Fixture("audio.mp3"))));
  ASSERT_TRUE(Burner.Prepare()) << Burner.GetLastErrorText();
  EXPECT_EQ(Burner.LeftOutFiles(), std::vector<std::string>{doomed});
  EXPECT_EQ(BurnAndWait(), "");
  const TIsoImage iso = ReadIsoImage(Image, TIsoNames::RockRidge, false);
  EXPECT_TRUE(iso.Ok) << iso.Error;
  EXPECT_EQ(iso.Files.size(), 1u);
  EXPECT_TRUE(iso.Files.count("audio.mp3"));
}

// An image file that holds other data is replaced only when the options allow it, and one of
// the files to burn (by any name) is never the image.
TEST_F(TDiscBurnerTest, ImageFileWithOtherDataOrAmongTheFilesIsRefused) {
  std::filesystem::copy_file(Fixture("av.mp4"), Image);
  const std::string before = FileContents(Image);
  Burner.GetDevices(); // the drive sees the file as it is now
  ASSERT_TRUE(Burner.SetBurnDevice(1));
  EXPECT_EQ(Burner.ImageFilePath(), Image);
  EXPECT_TRUE(Burner.ImageHoldsOtherData());
  const std::string link = Dir / "link.mp4";
  std::filesystem::create_symlink(Image, link);
  const struct {
    std::string Source;
    bool Replace;
    int Error;
  } cases[] = {
      {Fixture("audio.mp3"), false, beImageHoldsData},
      {Image, true, beImageIsSource},
      {link, true, beImageIsSource},
  };
  for (const auto &c : cases) {
    NewProject();
    TBurnOptions options = Burner.Options();
    options.ReplaceOtherData = c.Replace;
    Burner.SetOptions(options);
    ASSERT_TRUE(Burner.AddFile(c.Source, "file.mp4")) << c.Source;
    EXPECT_FALSE(Burner.Prepare()) << c.Source;
    EXPECT_EQ(Burner.LastError(), c.Error) << c.Source;
    EXPECT_NE(Burner.GetLastErrorText().find("The image file " + Image), std::string::npos)
        << Burner.GetLastErrorText();
    // A burn that prepares itself refuses alike.
    Log.Events.clear();
    EXPECT_EQ(BurnAndWait(), Burner.GetLastErrorText()) << c.Source;
    EXPECT_EQ(Burner.LastError(), c.Error) << c.Source;
    EXPECT_TRUE(FileContents(Image) == before) << c.Source;
  }

  // Allowed: the file becomes a disc image, which a later burn replaces without asking.
  for (bool replace : {true, false}) {
    NewProject();
    TBurnOptions options = Burner.Options();
    options.ReplaceOtherData = replace;
    Burner.SetOptions(options);
    ASSERT_TRUE(Burner.AddFile(Fixture("audio.mp3"), "Song.mp3"));
    Log.Events.clear();
    EXPECT_EQ(BurnAndWait(), "") << replace;
    EXPECT_FALSE(Burner.ImageHoldsOtherData());
    EXPECT_TRUE(ReadIsoImage(Image, TIsoNames::RockRidge, false).Files.count("Song.mp3"));
  }
  // A drive without an image file has nothing to replace.
  TPseudoDrives noDisc("stdio:");
  Burner.GetDevices();
  ASSERT_TRUE(Burner.SetBurnDevice(1));
  EXPECT_EQ(Burner.ImageFilePath(), "");
  EXPECT_FALSE(Burner.ImageHoldsOtherData());
}

TEST_F(TDiscBurnerTest, PseudoDriveReportsAWritableMedium) {
  ASSERT_TRUE(Burner.GetMediumInformation());
  EXPECT_EQ(Burner.MediumInfo().MediumTypeCode, 0xffff);
  EXPECT_EQ(Burner.MediumInfo().MediumType, "stdio file");
  EXPECT_GT(Burner.MediumInfo().MediumFreeSize, 0);
  EXPECT_EQ(Burner.GetDevicesEntry(1), "stdio:" + Image);
  EXPECT_EQ(Burner.GetDeviceInfo(1).VendorID, "Image");
  EXPECT_EQ(Burner.GetDeviceInfo(1).ProductID, "file");
  // DVD speeds while no CD or BD is known.
  EXPECT_EQ(Burner.SpeedToText(22160), "16x");
  EXPECT_EQ(Burner.SpeedToText(11080), "8x");
  EXPECT_EQ(Burner.SpeedToText(0), "0x");
  EXPECT_FALSE(Burner.SetBurnDevice(2));
  EXPECT_EQ(Burner.LastError(), beNoDrive);
}

TEST(TDiscBurnerState, DrivesComeFromTheScanAndTheVariable) {
  TScratchDir dir;
  TPseudoDrives drives("stdio:" + (dir / "a.iso") +
                       ";/dev/not-a-pseudo-drive;;stdio:" + (dir / "b.iso") + ";stdio:");
  TDiscBurner burner;
  burner.SetActive(true);
  burner.GetDevices();
  ASSERT_EQ(burner.DeviceCount(), 3); // this machine has no optical drive
  EXPECT_EQ(burner.GetDevicesEntry(2), "stdio:" + (dir / "b.iso"));
  // "stdio:" alone is a drive without a disc.
  ASSERT_TRUE(burner.SetBurnDevice(3));
  ASSERT_TRUE(burner.GetMediumInformation());
  EXPECT_EQ(burner.MediumInfo().MediumTypeCode, 0);
  EXPECT_EQ(burner.GetDevicesEntry(4), "");
}

TEST(TDiscBurnerState, InactiveAndSecondComponentsAreRefused) {
  TDiscBurner first;
  EXPECT_THROW(first.GetDevices(), EDiscBurnerError);
  try {
    first.ClearAll();
  } catch (const EDiscBurnerError &e) {
    EXPECT_STREQ(e.what(), "internal module must be active for this function");
  }
  first.SetActive(true);
  ASSERT_TRUE(first.Active());
  TDiscBurner second;
  second.SetActive(true);
  EXPECT_FALSE(second.Active());
  EXPECT_EQ(second.LastError(), beOneActive);
  EXPECT_EQ(second.GetLastErrorText(),
            "Only one instance of internal module can be active at a time");
  first.SetActive(false);
  second.SetActive(true);
  EXPECT_TRUE(second.Active());
}

} // namespace

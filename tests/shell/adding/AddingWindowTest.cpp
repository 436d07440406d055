// The adding window over folders of generated clips, with a plain list standing in for the
// main window's file list.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "components/filelist/LocalPath.h"
#include "shell/adding/Tfrm_Adding.h"

namespace {

QString Fixture(const QString &AName) {
  return QDir(QStringLiteral(QUILLET_FIXTURES)).filePath(AName);
}

// The list the adding run fills: entries in arrival order, the sort calls counted.
struct TTestList {
  std::vector<TFileEntry> Entries;
  int Sorts = 0;

  Tfrm_Adding::TFileListAccess Access() {
    return {[this] {
              QStringList paths;
              for (const TFileEntry &e : Entries)
                paths << e.SubItems[siSource];
              return paths;
            },
            [this](const QList<TFileEntry> &AEntries) {
              Entries.insert(Entries.end(), AEntries.begin(), AEntries.end());
            },
            [this] {
              ++Sorts;
              std::sort(Entries.begin(), Entries.end(),
                        [](const TFileEntry &a, const TFileEntry &b) {
                          return CompareEntries(lcName, a, b) < 0;
                        });
            }};
  }
  const TFileEntry *Find(const QString &APath) const {
    for (const TFileEntry &e : Entries)
      if (e.SubItems[siSource] == APath)
        return &e;
    return nullptr;
  }
  QStringList Paths() const {
    QStringList paths;
    for (const TFileEntry &e : Entries)
      paths << e.SubItems[siSource];
    paths.sort();
    return paths;
  }
};

// The message about the files a run left out, which shows as the run ends (RunAdding reads it).
bool IsSkippedFilesMessage(const QMessageBox *ABox) {
  return ABox->text().contains(QLatin1String(" skipped: "));
}

// Fails the test (and closes the box) when any other message box shows up during the run.
struct TNoMessageBox {
  TNoMessageBox() { Poll(); }
  void Poll() {
    for (QWidget *w : QApplication::topLevelWidgets())
      if (auto *box = qobject_cast<QMessageBox *>(w);
          box && box->isVisible() && !IsSkippedFilesMessage(box)) {
        ADD_FAILURE() << "unexpected message box: " << box->text().toStdString();
        box->accept();
      }
    QTimer::singleShot(20, &FContext, [this] { Poll(); });
  }
  QObject FContext;
};

// A temporary folder with copies of fixtures under chosen names.
struct TMediaFolder {
  QTemporaryDir Dir;
  QString Put(const QString &ARelative, const QString &AFixture) {
    const QString target = Dir.filePath(ARelative);
    QDir().mkpath(QFileInfo(target).absolutePath());
    EXPECT_TRUE(QFile::copy(Fixture(AFixture), target)) << target.toStdString();
    return target;
  }
  QString Path(const QString &ARelative = QString()) const {
    return ARelative.isEmpty() ? Dir.path() : Dir.filePath(ARelative);
  }
};

// Runs the adding window modally over the dropped paths; it closes itself. Returns the text of
// the message that the run's end shows about the files it left out (closing it), or "".
QString RunAdding(const QStringList &ADropped, TTestList &AList,
                  const std::function<void(Tfrm_Adding &)> &ABeforeRun = {}) {
  {
    TNoMessageBox noBox;
    Tfrm_Adding form(nullptr, ADropped, AList.Access());
    if (ABeforeRun)
      ABeforeRun(form);
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, &form, [&] {
      ADD_FAILURE() << "the adding run did not finish";
      form.done(QDialog::Rejected);
    });
    watchdog.start(60000);
    form.exec();
  }
  QString skipped;
  int boxes = 0;
  for (QWidget *w : QApplication::topLevelWidgets())
    if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
      ++boxes;
      skipped = box->text();
      EXPECT_EQ(box->windowModality(), Qt::NonModal); // the list is not held up
      box->close();
    }
  EXPECT_LE(boxes, 1) << "one message for the whole run";
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  return skipped;
}

TEST(AddingWindow, FindsMediaFilesAtDepthsOneAndThreeAndCountsTheFilesLeftOut) {
  TMediaFolder folder;
  const QString top = folder.Put(QStringLiteral("top.mp4"), QStringLiteral("av.mp4"));
  const QString deep = folder.Put(QStringLiteral("a/b/c/deep.MP4"), QStringLiteral("ntsc.mp4"));
  const QString hidden = folder.Put(QStringLiteral(".hidden/h.avi"), QStringLiteral("av.avi"));
  // Audio files are media too, when the decoder opens them.
  const QString sound = folder.Put(QStringLiteral("a/b/sound.mp3"), QStringLiteral("audio.mp3"));
  const QString wave = folder.Put(QStringLiteral("a/wave.WAV"), QStringLiteral("audio.wav"));
  folder.Put(QStringLiteral("a/fake.wav"), QStringLiteral("not_media.mp4"));
  folder.Put(QStringLiteral("a/corrupt.mp4"), QStringLiteral("not_media.mp4"));
  folder.Put(QStringLiteral("a/b/cut.mp4"), QStringLiteral("truncated.mp4"));
  folder.Put(QStringLiteral("a/b/still.png"), QStringLiteral("still.png"));
  QDir().mkpath(folder.Path(QStringLiteral("a/b/folder.avi"))); // a folder named like media
  TTestList list;
  // The three files the decoder cannot open are counted in one message; the picture and the
  // folder are not media files by their names, so the scan passes over them.
  EXPECT_EQ(RunAdding({folder.Path()}, list), QStringLiteral("3 files skipped: not media"));
  QStringList expected{top, deep, hidden, sound, wave};
  expected.sort();
  EXPECT_EQ(list.Paths(), expected) << list.Paths().join(QLatin1Char(' ')).toStdString();
  EXPECT_EQ(list.Sorts, 1);
}

TEST(AddingWindow, EveryPathGivesOneEntryHoweverOftenItIsDropped) {
  TMediaFolder folder;
  const QString a = folder.Put(QStringLiteral("a.mp4"), QStringLiteral("av.mp4"));
  const QString b = folder.Put(QStringLiteral("sub/b.avi"), QStringLiteral("av.avi"));
  TTestList list;
  RunAdding({a, a, folder.Path(), b, folder.Path(QStringLiteral("sub"))}, list);
  QStringList expected{a, b};
  expected.sort();
  EXPECT_EQ(list.Paths(), expected);
  // Adding again changes nothing: both are already listed.
  RunAdding({folder.Path()}, list);
  EXPECT_EQ(list.Paths(), expected);
}

TEST(AddingWindow, IgnoresPathsThatAreNotAcceptedMediaFiles) {
  TMediaFolder folder;
  const QString text = folder.Put(QStringLiteral("notes.txt"), QStringLiteral("av.mp4"));
  const QString noExt = folder.Put(QStringLiteral("clip"), QStringLiteral("av.mp4"));
  const QString upper = folder.Put(QStringLiteral("CLIP.AVI"), QStringLiteral("av.avi"));
  TTestList list;
  EXPECT_EQ(RunAdding({text, noExt, folder.Path(QStringLiteral("vanished.mp4")), upper}, list),
            QStringLiteral("2 files skipped: type not accepted"));
  EXPECT_EQ(list.Paths(), QStringList{upper});
  // Both reasons in one message; a file listed already is no skip.
  const QString bad = folder.Put(QStringLiteral("bad.mp4"), QStringLiteral("not_media.mp4"));
  EXPECT_EQ(RunAdding({text, bad, upper}, list),
            QStringLiteral("2 files skipped: 1 not media, 1 type not accepted"));
  EXPECT_EQ(RunAdding({upper}, list), QString());
  EXPECT_EQ(Tfrm_Adding::SkippedText(1, 0), QStringLiteral("1 file skipped: not media"));
}

TEST(AddingWindow, NamesThatAreNotUtf8AreAddedWithTheirExactBytes) {
  TMediaFolder folder;
  const QByteArray root = QFile::encodeName(folder.Path());
  const QByteArray direct = root + "/caf\xe9.mp4";      // Latin-1, dropped as a file
  const QByteArray inFolder = root + "/d\xff/\xfe.avi"; // found by the folder scan
  std::filesystem::create_directory(inFolder.left(inFolder.lastIndexOf('/')).toStdString());
  for (const QByteArray &target : {direct, inFolder})
    ASSERT_TRUE(std::filesystem::copy_file(
        QFile::encodeName(Fixture(QStringLiteral("av.mp4"))).toStdString(), target.toStdString()));
  TTestList list;
  RunAdding({LocalPathText(direct), folder.Path()}, list);
  ASSERT_EQ(list.Entries.size(), 2u);
  QList<QByteArray> sources;
  for (const TFileEntry &e : list.Entries) {
    sources << LocalPathBytes(e.SubItems[siSource]);
    // Probed: the decoder opened the file by its bytes.
    EXPECT_EQ(e.SubItems[siRawDuration], QStringLiteral("2000000"));
    EXPECT_EQ(e.SubItems[siRawSize].toLongLong(),
              QFileInfo(Fixture(QStringLiteral("av.mp4"))).size());
  }
  std::sort(sources.begin(), sources.end());
  EXPECT_EQ(sources, (QList<QByteArray>{direct, inFolder}));
  EXPECT_EQ(list.Entries.front().Caption, QString::fromUtf16(u"caf\uFFFD.mp4"));
  EXPECT_EQ(list.Entries.back().Caption, QString::fromUtf16(u"\uFFFD.avi"));
}

TEST(AddingWindow, DotAndDotDotSpellingsOfOnePathGiveOneCleanEntry) {
  TMediaFolder folder;
  const QString top = folder.Put(QStringLiteral("media/tree/top.avi"), QStringLiteral("av.avi"));
  const QString old = QDir::currentPath();
  QDir::setCurrent(folder.Path(QStringLiteral("media")));
  TTestList list;
  RunAdding({folder.Path(QStringLiteral("media/../media/tree")),
             folder.Path(QStringLiteral("media/./tree/top.avi")),
             QStringLiteral("tree/../tree//top.avi")},
            list);
  QDir::setCurrent(old);
  EXPECT_EQ(list.Paths(), QStringList{top});
  // Already listed under its clean path: another spelling adds nothing.
  RunAdding({folder.Path(QStringLiteral("media/tree/./top.avi"))}, list);
  EXPECT_EQ(list.Paths(), QStringList{top});
}

struct TSubItemCase {
  const char *Fixture;
  const char *Name; // the name the copy gets
  const char *Duration, *RawDuration, *FrameRate, *BitRate, *FrameSize;
};

class AddingEntryTest : public testing::TestWithParam<TSubItemCase> {};

TEST_P(AddingEntryTest, SubItemsOfTheProbedFile) {
  const TSubItemCase &c = GetParam();
  TMediaFolder folder;
  const QString path = folder.Put(QString::fromLatin1(c.Name), QString::fromLatin1(c.Fixture));
  TTestList list;
  RunAdding({path}, list);
  ASSERT_EQ(list.Entries.size(), 1u);
  const TFileEntry &e = list.Entries.front();
  EXPECT_EQ(e.Caption, QString::fromLatin1(c.Name));
  EXPECT_EQ(e.SubItems[siDuration].toStdString(), c.Duration);
  EXPECT_EQ(e.SubItems[siSource], path);
  EXPECT_EQ(e.SubItems[siRawDuration].toStdString(), c.RawDuration);
  EXPECT_EQ(e.SubItems[siRawSize].toLongLong(), QFileInfo(path).size());
  EXPECT_EQ(e.SubItems[siSize], HumanSizeText(QFileInfo(path).size()));
  EXPECT_EQ(e.SubItems[siFrameRate].toStdString(), c.FrameRate);
  if (std::string(c.BitRate) == "kb")
    EXPECT_TRUE(e.SubItems[siBitRate].endsWith(QStringLiteral(" kb")) &&
                e.SubItems[siBitRate] != QStringLiteral("0 kb"))
        << e.SubItems[siBitRate].toStdString();
  else
    EXPECT_EQ(e.SubItems[siBitRate].toStdString(), c.BitRate);
  EXPECT_EQ(e.SubItems[siFrameSize].toStdString(), c.FrameSize);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, AddingEntryTest,
    testing::Values(
        TSubItemCase{"av.mp4", "av.mp4", "00:00:02", "2000000", "25.00 fps", "kb", "320x240"},
        TSubItemCase{"ntsc.mp4", "ntsc.mp4", "00:00:02", "2002000", "29.97 fps", "kb", "320x240"},
        TSubItemCase{"low_bitrate.mp4", "low.mp4", "00:00:03", "3000000", "1.00 fps", "0 kb",
                     "320x240"},
        TSubItemCase{"audio_first.mkv", "audio_first.mkv", "00:00:02", "2003000", "-", "-", "-"},
        // An audio-only file under an accepted name.
        TSubItemCase{"audio.mp3", "sound.mpg", "00:00:03", "3056327", "-", "-", "-"},
        // A raw H.264 stream has no duration: shown as unknown, kept as -1.
        TSubItemCase{"unknown_duration.h264", "raw.ts", "-", "-1", "25.00 fps", "-", "320x240"}),
    [](const testing::TestParamInfo<TSubItemCase> &info) {
      std::string name = info.param.Name;
      std::replace(name.begin(), name.end(), '.', '_');
      return name;
    });

TEST(AddingWindow, ShowsProgressAndCancelStopsBeforeTheNextCandidate) {
  TMediaFolder folder;
  for (int i = 0; i < 5; ++i)
    folder.Put(QStringLiteral("clip%1.mp4").arg(i), QStringLiteral("av.mp4"));
  TTestList list;
  QStringList progress;
  RunAdding({folder.Path()}, list, [&](Tfrm_Adding &AForm) {
    QObject::connect(&AForm, &Tfrm_Adding::CandidateDone, &AForm, [&AForm, &progress](int i) {
      progress << AForm.lbl_Path->text();
      if (i == 0)
        AForm.grab().save(QStringLiteral(QUILLET_SCREENSHOTS "/adding.png"));
      if (i == 1)
        QTest::mouseClick(AForm.btn_Cancel, Qt::LeftButton);
    });
  });
  EXPECT_EQ(list.Entries.size(), 2u);
  EXPECT_EQ(list.Sorts, 1);
  ASSERT_EQ(progress.size(), 2);
  EXPECT_TRUE(progress[0].startsWith(QStringLiteral("1 of 5\n\n"))) << progress[0].toStdString();
  EXPECT_TRUE(progress[1].startsWith(QStringLiteral("2 of 5\n\n") + folder.Path()));
}

TEST(AddingWindow, ACancelDuringTheCollectionProbesNothing) {
  TMediaFolder folder;
  for (int i = 0; i < 3; ++i)
    folder.Put(QStringLiteral("d%1/clip.mp4").arg(i), QStringLiteral("av.mp4"));
  TTestList list;
  RunAdding({folder.Path()}, list,
            [](Tfrm_Adding &AForm) { QTest::mouseClick(AForm.btn_Cancel, Qt::LeftButton); });
  EXPECT_TRUE(list.Entries.empty());
  EXPECT_EQ(list.Sorts, 1);
}

TEST(AddingWindow, EscapeDuringTheRunCancelsInsteadOfClosingEarly) {
  TMediaFolder folder;
  for (int i = 0; i < 3; ++i)
    folder.Put(QStringLiteral("clip%1.mp4").arg(i), QStringLiteral("av.mp4"));
  TTestList list;
  bool stillOpenAfterEsc = false;
  RunAdding({folder.Path()}, list, [&](Tfrm_Adding &AForm) {
    QObject::connect(&AForm, &Tfrm_Adding::CandidateDone, &AForm, [&](int i) {
      if (i == 0) {
        QTest::keyClick(&AForm, Qt::Key_Escape);
        stillOpenAfterEsc = AForm.isVisible();
        EXPECT_TRUE(AForm.StopAdding());
        EXPECT_FALSE(AForm.btn_Cancel->isEnabled());
      }
    });
  });
  EXPECT_TRUE(stillOpenAfterEsc);
  EXPECT_EQ(list.Entries.size(), 1u);
}

} // namespace

// The adding window, the properties and the preview windows driven through the real main
// window: its AddFiles, its list, its sort order and its Preview/Properties actions.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <filesystem>

#include "components/filelist/LocalPath.h"
#include "media/ui/TPictureBox.h"
#include "media/ui/Tfrm_Preview.h"
#include "media/ui/Tfrm_Properties.h"
#include "shell/Tfrm_Main.h"
#include "shell/adding/Tfrm_AddFiles.h"

namespace {

QString Fixture(const char *AName) {
  return QDir(QStringLiteral(QUILLET_FIXTURES)).filePath(QString::fromLatin1(AName));
}

// A main window with its settings in a temporary folder.
struct TMainWindow {
  TMainWindow() {
    qputenv("APPDATA", Config.path().toUtf8());
    Form = std::make_unique<Tfrm_Main>();
  }
  // The message that counts the files an adding run left out does not outlive the test.
  ~TMainWindow() {
    for (QWidget *w : QApplication::topLevelWidgets())
      if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
        box->close();
  }
  QTemporaryDir Config;
  std::unique_ptr<Tfrm_Main> Form;
};

// Runs AAction once the first visible top-level window of type T shows up.
template <typename T> void WhenShown(std::function<void(T *)> AAction) {
  auto polls = std::make_shared<int>(0);
  auto poll = std::make_shared<std::function<void()>>();
  *poll = [=] {
    for (QWidget *w : QApplication::topLevelWidgets())
      if (auto *form = qobject_cast<T *>(w); form && form->isVisible()) {
        AAction(form);
        return;
      }
    if (++*polls < 500)
      QTimer::singleShot(10, *poll);
  };
  QTimer::singleShot(10, *poll);
}

// A clip whose display matrix turns it (640x360 coded, tagged rotate=90) is listed and shown as
// a player shows it: Properties names the size shown and the turn, Preview shows it upright
// (the red band of the fixture at the top), in the light and the dark look.
TEST(MainWindowAdding, ARotatedClipIsShownUprightInPreviewAndProperties) {
  TMainWindow main;
  Tfrm_Main &w = *main.Form;
  w.str_ProgramDir = QStringLiteral(QUILLET_SHELL_RESOURCES); // where Dark.vsf is
  w.DroppedFiles = {Fixture("rotated.mp4")};
  w.AddFiles();
  ASSERT_EQ(w.EntryCount(), 1);
  EXPECT_EQ(w.Entry(0).SubItems[siFrameSize], QStringLiteral("360x640 (rotated 90 degrees)"));
  const QString shots = qEnvironmentVariable("QUILLET_SCREENSHOTS");
  for (const char *look : {"light", "dark"}) {
    if (QLatin1String(look) == QLatin1String("dark"))
      w.mnu_Dark->trigger();
    Tfrm_Properties properties(&w);
    ASSERT_TRUE(properties.Fill(w.Entry(0).Caption, w.Entry(0).SubItems));
    properties.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&properties));
    EXPECT_EQ(properties.txt_FrameSize->text(), QStringLiteral("360x640 (rotated 90 degrees)"));
    if (!shots.isEmpty())
      properties.grab().save(shots + QStringLiteral("/properties_rotated_%1.png").arg(look));
    Tfrm_Preview preview(&w, Fixture("rotated.mp4"));
    preview.resize(420, 600);
    preview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !preview.Timer1.isActive(); }, 5000));
    ASSERT_EQ(preview.Bitmap().Width(), 360);
    ASSERT_EQ(preview.Bitmap().Height(), 640);
    const QImage frame = preview.Image1->grab().toImage();
    const QRect picture = preview.Image1->PictureRect();
    EXPECT_LT(picture.width(), picture.height()); // portrait
    const QColor top =
        frame.pixelColor(picture.center().x(), picture.top() + picture.height() / 40);
    const QColor bottom =
        frame.pixelColor(picture.center().x(), picture.bottom() - picture.height() / 40);
    EXPECT_GT(top.red(), 200) << top.name().toStdString();
    EXPECT_LT(top.green(), 60) << top.name().toStdString();
    EXPECT_FALSE(bottom.red() > 200 && bottom.green() < 60) << bottom.name().toStdString();
    if (!shots.isEmpty())
      preview.grab().save(shots + QStringLiteral("/preview_rotated_%1.png").arg(look));
    preview.close();
  }
  w.mnu_Dark->trigger();
}

TEST(MainWindowAdding, AddFilesFillsTheListInItsSortOrderAndSkipsListedPaths) {
  QTemporaryDir media;
  for (const char *name : {"ntsc.mp4", "av.mp4", "audio_first.mkv", "not_media.mp4"})
    ASSERT_TRUE(QFile::copy(Fixture(name), media.filePath(QString::fromLatin1(name))));
  TMainWindow main;
  Tfrm_Main &w = *main.Form;
  w.lw_FilesColumnClick(lcName); // the current column again: descending by name
  ASSERT_TRUE(w.SortDescending);
  w.DroppedFiles = {media.path()};
  w.AddFiles();
  ASSERT_EQ(w.EntryCount(), 3);
  EXPECT_EQ(w.Entry(0).Caption, QStringLiteral("ntsc.mp4"));
  EXPECT_EQ(w.Entry(1).Caption, QStringLiteral("av.mp4"));
  EXPECT_EQ(w.Entry(2).Caption, QStringLiteral("audio_first.mkv"));
  EXPECT_EQ(w.Entry(0).SubItems[siFrameRate], QStringLiteral("29.97 fps"));
  EXPECT_EQ(w.Entry(2).SubItems[siFrameSize], QStringLiteral("-"));
  EXPECT_TRUE(w.sts_0->text().startsWith(QStringLiteral("Files: 3 ")));
  w.DroppedFiles = {media.filePath(QStringLiteral("av.mp4")), media.path()};
  w.AddFiles();
  EXPECT_EQ(w.EntryCount(), 3);
}

TEST(MainWindowAdding, AddFilesDialogAddsFilesAndFoldersAndRemembersFolderAndView) {
  QTemporaryDir media;
  QDir(media.path()).mkpath(QStringLiteral("in/deeper/deepest"));
  const char *copies[][2] = {{"av.mp4", "av.mp4"},
                             {"ntsc.mp4", "ntsc.mp4"},
                             {"av.avi", "in/deeper/deepest/av.avi"},
                             {"not_media.mp4", "in/skip.mp4"}};
  for (const auto &copy : copies)
    ASSERT_TRUE(QFile::copy(Fixture(copy[0]), media.filePath(QString::fromLatin1(copy[1]))));
  TMainWindow main;
  Tfrm_Main &w = *main.Form;
  w.str_AddPath = media.path();
  w.int_AddView = avList;
  bool openAfterAdd = false;
  WhenShown<Tfrm_AddFiles>([&](Tfrm_AddFiles *AForm) {
    QFileSystemModel *model = AForm->Model();
    const QModelIndex root = model->index(AForm->CurrentFolder());
    ASSERT_TRUE(QTest::qWaitFor([&] { return model->rowCount(root) >= 3; }, 5000));
    for (int row = 0; row < model->rowCount(root); ++row) {
      const QModelIndex index = model->index(row, 0, root);
      if (index.data().toString() != QLatin1String(".."))
        AForm->lw_Data->selectionModel()->select(index, QItemSelectionModel::Select |
                                                            QItemSelectionModel::Rows);
    }
    QTest::mouseClick(AForm->btn_Add, Qt::LeftButton);
    openAfterAdd = AForm->isVisible();
    AForm->cb_View->setCurrentIndex(AForm->cb_View->findText(QStringLiteral("Details")));
    QTest::mouseClick(AForm->btn_Close, Qt::LeftButton);
  });
  w.btn_AddClick();
  EXPECT_TRUE(openAfterAdd);
  // The two files, and below the folder the clip at depth 3; in/skip.mp4 is not a media file.
  ASSERT_EQ(w.EntryCount(), 3);
  QStringList sources;
  for (int i = 0; i < w.EntryCount(); ++i)
    sources << w.Entry(i).SubItems[siSource];
  EXPECT_TRUE(sources.contains(media.filePath(QStringLiteral("in/deeper/deepest/av.avi"))));
  EXPECT_EQ(w.str_AddPath, media.path());
  EXPECT_EQ(w.int_AddView, avDetails);
  // After a restart the dialog opens in the same folder and view.
  w.SaveSettings();
  Tfrm_Main restarted;
  EXPECT_EQ(restarted.str_AddPath, media.path());
  EXPECT_EQ(restarted.int_AddView, avDetails);
}

TEST(MainWindowAdding, PropertiesAndPreviewOpenForTheFirstSelectedEntry) {
  TMainWindow main;
  Tfrm_Main &w = *main.Form;
  w.DroppedFiles = {Fixture("av.mp4"), Fixture("ntsc.mp4")};
  w.AddFiles();
  ASSERT_EQ(w.EntryCount(), 2);
  w.lw_Files->topLevelItem(1)->setSelected(true);
  w.lw_Files->topLevelItem(0)->setSelected(true);

  QString name, frameRate;
  WhenShown<Tfrm_Properties>([&](Tfrm_Properties *AForm) {
    name = AForm->txt_Name->text();
    frameRate = AForm->txt_FrameRate->text();
    QTest::mouseClick(AForm->btn_OK, Qt::LeftButton);
  });
  w.btn_PropertiesClick();
  EXPECT_EQ(name, QStringLiteral("av.mp4"));
  EXPECT_EQ(frameRate, QStringLiteral("25.00 fps"));

  QString caption;
  WhenShown<Tfrm_Preview>([&](Tfrm_Preview *AForm) {
    caption = AForm->windowTitle();
    AForm->close();
  });
  w.btn_PlayClick();
  EXPECT_EQ(caption, Fixture("av.mp4"));
}

TEST(MainWindowAdding, APastedNameThatIsNotUtf8IsShownReadablyAndPreviewedByItsBytes) {
  QTemporaryDir media;
  const QByteArray bytes = QFile::encodeName(media.path()) + "/clip\xe9.mp4";
  ASSERT_TRUE(std::filesystem::copy_file(QFile::encodeName(Fixture("av.mp4")).toStdString(),
                                         bytes.toStdString()));
  TMainWindow main;
  Tfrm_Main &w = *main.Form;
  auto *mime = new QMimeData;
  mime->setUrls({QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"))});
  QGuiApplication::clipboard()->setMimeData(mime);
  w.btn_PasteClick();
  ASSERT_EQ(w.EntryCount(), 1);
  EXPECT_EQ(LocalPathBytes(w.Entry(0).SubItems[siSource]), bytes);
  // Shown with a replacement character, as the file system's own decoding shows it.
  EXPECT_EQ(w.lw_Files->topLevelItem(0)->text(lcSource), QFile::decodeName(bytes));
  EXPECT_EQ(w.Entry(0).Caption, QString::fromUtf16(u"clip\uFFFD.mp4"));

  w.lw_Files->topLevelItem(0)->setSelected(true);
  QString source;
  WhenShown<Tfrm_Properties>([&](Tfrm_Properties *AForm) {
    source = AForm->txt_Source->text();
    QTest::mouseClick(AForm->btn_OK, Qt::LeftButton);
  });
  w.btn_PropertiesClick();
  EXPECT_EQ(source, QFile::decodeName(bytes));

  QString caption;
  bool opened = false;
  WhenShown<Tfrm_Preview>([&](Tfrm_Preview *AForm) {
    caption = AForm->windowTitle();
    // The file is open once the frame buttons are enabled; a failure would show an error box.
    opened = QTest::qWaitFor([&] { return AForm->btn_Next->isEnabled(); }, 5000);
    for (QWidget *box : QApplication::topLevelWidgets())
      if (qobject_cast<QMessageBox *>(box))
        box->close();
    AForm->close();
  });
  w.btn_PlayClick();
  EXPECT_EQ(caption, QFile::decodeName(bytes));
  EXPECT_TRUE(opened);
}

} // namespace

// The burn dialog and its burn, erase and read windows offscreen, burning to stdio:
// pseudo-drives; the texts they show, headlessly.
#include "BurnTestSupport.h"
#include "IsoImageReader.h"
#include "burn/ui/BurnTexts.h"
#include "burn/ui/Tfrm_Burn.h"
#include "burn/ui/Tfrm_BurnProcess.h"
#include "burn/ui/Tfrm_Erase.h"
#include "burn/ui/Tfrm_Read.h"
#include "components/filelist/LocalPath.h"
#include "jobs/taskbar/TWin7TaskProgressBar.h"
#include "shell/MainThreadDispatcher.h"
#include "shell/TGlassButton.h"
#include "shell/Tfrm_Main.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>

#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Events of the burner reach the windows through the program's own dispatcher.
struct TDispatcherEnvironment : testing::Environment {
  void SetUp() override { InstallMainThreadDispatcher(qApp); }
};
[[maybe_unused]] testing::Environment *const DispatcherEnvironment =
    testing::AddGlobalTestEnvironment(new TDispatcherEnvironment);

const QLocale English(QLocale::English, QLocale::UnitedStates);

TEST(BurnTexts, SizesElapsedTimesAndDiscTypes) {
  EXPECT_EQ(DataLineText(1, 734003200, English), "Data: 1 file, 701 MB");
  EXPECT_EQ(DataLineText(2, 1073741824 - 1048576, English), "Data: 2 files, 1,024 MB");
  EXPECT_EQ(DataLineText(2, 1073741824 - 1048576 + 1, English), "Data: 2 files, 1.00 GB");
  EXPECT_EQ(DiscLineText("DVD+R", 4700372992, English), "Disc: DVD+R, 4.38 GB");
  EXPECT_EQ(WrittenText(13 * 1048576.0, 1200 * 1048576.0, English), "Written: 13 of 1,200 MB");
  EXPECT_EQ(BurnElapsedText(3725), "01:02:05");
  EXPECT_EQ(BurnElapsedText(1), "00:00:01");
  EXPECT_EQ(EraseElapsedText(65), "01:05");
  EXPECT_EQ(EraseElapsedText(3600 + 65), "01:05"); // the minutes of the hour
  EXPECT_EQ(MediumTypeText("DVD-RW sequential recording", 0x14), "DVD-RW");
  EXPECT_EQ(MediumTypeText("DVD-RW restricted overwrite", 0x13), "DVD-RW");
  EXPECT_EQ(MediumTypeText("DVD+RW", 0x1a), "DVD+RW");
}

TEST(BurnTexts, LogColoursInBothLooks) {
  const QColor buttonText(200, 201, 202);
  struct TCase {
    TLogColor Color;
    QColor Light, Dark;
  };
  for (const TCase &c : {TCase{clBlack, Qt::black, buttonText},
                         TCase{clBlue, QColor(0, 0, 255), QColor(0x62, 0xa2, 0xe4)},
                         TCase{clGreen, QColor(0, 128, 0), QColor(0x37, 0xdd, 0x82)},
                         TCase{clRed, QColor(255, 0, 0), QColor(0xe4, 0x61, 0x61)}}) {
    EXPECT_EQ(LogColor(c.Color, std::nullopt), c.Light) << c.Color;
    EXPECT_EQ(LogColor(c.Color, buttonText), c.Dark) << c.Color;
  }
}

TEST(BurnProgressWindows, ElapsedTimesAndASingleCancel) {
  TDiscBurner burner;
  Tfrm_BurnProcess burn(nullptr, burner);
  for (int i = 0; i < 3725; ++i)
    burn.tmr_ElapsedTimer();
  EXPECT_EQ(burn.lbl_Elapsed->text(), "01:02:05");
  burn.btn_CancelClick();
  EXPECT_FALSE(burn.btn_Cancel->isEnabled());
  burn.btn_CancelClick(); // no second request reaches the engine
  EXPECT_FALSE(burn.btn_Cancel->isEnabled());

  // Closing the window (a logout, a signal) cancels the burn and waits for its end.
  Tfrm_BurnProcess closing(nullptr, burner);
  closing.show();
  EXPECT_FALSE(closing.close());
  EXPECT_FALSE(closing.btn_Cancel->isEnabled());
  EXPECT_TRUE(closing.isVisible());
  closing.bool_Done = true;
  EXPECT_TRUE(closing.close());

  // An engine that refuses the work (here: not active) sends no done event; the windows end
  // their wait instead of waiting forever.
  Tfrm_BurnProcess refused(nullptr, burner);
  Tfrm_Erase refusedErase(nullptr, burner);
  for (QDialog *w : std::initializer_list<QDialog *>{&refused, &refusedErase}) {
    QTimer::singleShot(3000, w, [w] { w->done(0); }); // a guard only
    QElapsedTimer clock;
    clock.start();
    w->exec();
    EXPECT_LT(clock.elapsed(), 2000);
  }

  Tfrm_Erase erase(nullptr, burner);
  for (int i = 0; i < 65; ++i)
    erase.tmr_ElapsedTimer();
  EXPECT_EQ(erase.pnl_Erase->text(), "Erasing disc... 01:05");
}

// Drives one modal burn dialog: answers message boxes, runs the test's steps as the dialog
// becomes ready, and records what the windows showed.
class TDialogDriver : public QObject {
public:
  QStringList Boxes; // texts of the message boxes, in order
  QMessageBox::StandardButton Answer = QMessageBox::Yes;
  QStringList BurnLabels; // lbl_Percent texts seen while burning
  QString ScreenshotDir = QStringLiteral(QUILLET_SCREENSHOTS);
  std::function<void(Tfrm_Burn &)> OnBurnWindow; // called once when the burn window is up
  std::function<void()> OnBox;                   // called before a message box is answered
  bool SawEraseWindow = false;

  explicit TDialogDriver(Tfrm_Burn &ADialog) : FDialog(ADialog) {
    FTimer.setInterval(20);
    connect(&FTimer, &QTimer::timeout, this, &TDialogDriver::Poll);
    FTimer.start();
  }

  // Runs the dialog; Steps are run one by one whenever the dialog is ready (no window over it).
  void Run(std::vector<std::function<void(Tfrm_Burn &)>> ASteps) {
    FSteps = std::move(ASteps);
    FDeadline.start();
    FDialog.exec();
  }

private:
  void Poll() {
    if (FDeadline.isValid() && FDeadline.elapsed() > 120000) {
      ADD_FAILURE() << "the dialog did not finish";
      FDialog.reject();
    }
    if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
      Boxes << box->text();
      if (OnBox)
        OnBox();
      QAbstractButton *button = box->button(Answer);
      QTimer::singleShot(0, box, [box, button] { button ? button->click() : box->accept(); });
      return;
    }
    if (Tfrm_BurnProcess *w = FDialog.BurnWindow())
      WatchBurnWindow(*w);
    if (FDialog.EraseWindow())
      SawEraseWindow = true;
    if (QApplication::activeModalWidget() == &FDialog && FDialog.cb_Device_Burn->count() > 0 &&
        !FDialog.BurnWindow() && !FDialog.EraseWindow() && !FBusy)
      NextStep();
  }

  void WatchBurnWindow(Tfrm_BurnProcess &AWindow) {
    // Polling can miss the last text on a busy machine: it is read again as the window hides.
    AWindow.installEventFilter(this);
    RecordLabel(AWindow);
    if (OnBurnWindow && AWindow.isVisible()) {
      auto once = std::exchange(OnBurnWindow, nullptr);
      once(FDialog);
    }
  }

  void RecordLabel(const Tfrm_BurnProcess &AWindow) {
    if (BurnLabels.isEmpty() || BurnLabels.last() != AWindow.lbl_Percent->text())
      BurnLabels << AWindow.lbl_Percent->text();
  }

  bool eventFilter(QObject *AObject, QEvent *AEvent) override {
    if (AEvent->type() == QEvent::Hide)
      RecordLabel(*static_cast<Tfrm_BurnProcess *>(AObject));
    return false;
  }

  void NextStep() {
    if (FSteps.empty())
      return;
    auto step = FSteps.front();
    FSteps.erase(FSteps.begin());
    FBusy = true;
    QTimer::singleShot(0, this, [this, step] {
      step(FDialog);
      FBusy = false;
    });
  }

  Tfrm_Burn &FDialog;
  QTimer FTimer;
  QElapsedTimer FDeadline;
  std::vector<std::function<void(Tfrm_Burn &)>> FSteps;
  bool FBusy = false;
};

// The colour of the log line that contains Text.
QColor LogLineColor(const QTextEdit &ALog, const QString &AText) {
  for (QTextBlock b = ALog.document()->begin(); b.isValid(); b = b.next())
    if (b.text().contains(AText) && b.begin() != b.end())
      return b.begin().fragment().charFormat().foreground().color();
  return {};
}

TFileEntry EntryOf(const QString &ACaption, const std::string &APath) {
  TFileEntry e;
  e.Caption = ACaption;
  e.SubItems[siSource] = QString::fromStdString(APath);
  return e;
}

class TBurnDialogTest : public ::testing::Test {
protected:
  TScratchDir Dir;
  std::string Image = Dir / "disc.iso";
  TWin7TaskProgressBar Taskbar{0};

  void SaveShot(QWidget &AWidget, const QString &AName) {
    AWidget.grab().save(QStringLiteral(QUILLET_SCREENSHOTS) + "/" + AName + ".png");
  }
};

TEST_F(TBurnDialogTest, BurnsTheListIntoAnImageWithLogAndProgress) {
  TPseudoDrives drives("stdio:" + Image);
  const std::string fifo = Dir / "pipe.mp4";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // A name that is not UTF-8 is burned by its exact bytes.
  const std::string odd = Dir / "caf\xe9.mp4";
  std::filesystem::copy_file(Fixture("av.mp4"), odd);
  TFileEntry oddEntry;
  oddEntry.Caption = LocalPathText("caf\xe9.mp4");
  oddEntry.SubItems[siSource] = LocalPathText(QByteArray::fromStdString(odd));
  QList<TFileEntry> files = {EntryOf("Clip one.mp4", Fixture("av.mp4")),
                             EntryOf("Gone.mp4", Dir / "gone.mp4"),
                             oddEntry,
                             EntryOf("Clip two.avi", Fixture("av.avi")),
                             EntryOf("Pipe.mp4", fifo),
                             EntryOf("Song.mp3", Fixture("audio.mp3"))};
  Tfrm_Burn dialog(nullptr, files, &Taskbar, std::nullopt);
  TDialogDriver driver(dialog);
  driver.OnBurnWindow = [&](Tfrm_Burn &d) { SaveShot(*d.BurnWindow(), "burn_window"); };
  driver.Run({[&](Tfrm_Burn &d) {
                SaveShot(d, "burn_dialog");
                d.txt_Label->setText("Holiday 2026");
                d.btn_Burn->click();
              },
              [&](Tfrm_Burn &d) {
                SaveShot(d, "burn_dialog_done");
                EXPECT_TRUE(Taskbar.Visible());
                EXPECT_EQ(Taskbar.Style(), tbpsNormal);
                d.Button1->click();
              }});

  EXPECT_EQ(driver.Boxes,
            QStringList{"Some files were not added. Would you like to continue with burning?"});
  EXPECT_EQ(dialog.cb_Device_Burn->itemText(0),
            QString::fromStdString("stdio:" + Image) + ": Image file");
  // An image file has no speeds to offer: one entry for the fastest.
  EXPECT_EQ(dialog.cb_WriteSpeed->count(), 1);
  const QString log = dialog.log_Main->toPlainText();
  for (const QString &line :
       {QStringLiteral("Initialization..."), QStringLiteral("Devices found:"),
        QString::fromStdString("stdio:" + Image), QStringLiteral("Adding files..."),
        QStringLiteral("Cannot read the file: not a regular file... ") +
            QString::fromStdString(fifo),
        // A file gone since it was listed is named and counted.
        QStringLiteral("Cannot read the file: No such file or directory... ") +
            QString::fromStdString(Dir / "gone.mp4"),
        QStringLiteral("Data: 4 files, "), QStringLiteral("Disc: stdio file, "),
        QStringLiteral("] Burning disc..."), QStringLiteral("] Closing track..."),
        QStringLiteral("] ") + LeftOffText(2)})
    EXPECT_TRUE(log.contains(line)) << line.toStdString() << "\n" << log.toStdString();
  EXPECT_FALSE(log.contains("Success!")) << log.toStdString();
  EXPECT_EQ(LeftOffText(2), "Done, but 2 listed files are not on the disc (see the red lines "
                            "above). Check them and burn again.");
  EXPECT_EQ(LogLineColor(*dialog.log_Main, "Cannot read the file: not"), QColor(255, 0, 0));
  EXPECT_EQ(LogLineColor(*dialog.log_Main, "Cannot read the file: No"), QColor(255, 0, 0));
  EXPECT_EQ(LogLineColor(*dialog.log_Main, LeftOffText(2)), QColor(255, 0, 0));
  EXPECT_EQ(LogLineColor(*dialog.log_Main, "Devices found:"), QColor(0, 0, 0));
  EXPECT_EQ(driver.BurnLabels.last(), "100%");
  // Closing the dialog hides the taskbar progress again and clears the project.
  EXPECT_FALSE(Taskbar.Visible());
  EXPECT_EQ(dialog.Burner.ProjectFileCount(), 0);

  const TIsoImage iso = ReadIsoImage(Image, TIsoNames::RockRidge, true);
  ASSERT_TRUE(iso.Ok) << iso.Error;
  ASSERT_EQ(iso.Files.size(), 4u);
  for (const auto &[name, source] : {std::pair{"Clip one.mp4", Fixture("av.mp4")},
                                     {"caf\xe9.mp4", odd},
                                     {"Clip two.avi", Fixture("av.avi")},
                                     {"Song.mp3", Fixture("audio.mp3")}})
    EXPECT_TRUE(iso.Files.count(name) && iso.Files.at(name).Contents == FileContents(source))
        << name;
  EXPECT_EQ(ReadIsoImage(Image, TIsoNames::Joliet, false).VolumeId, "Holiday 2026");
}

// A file that goes away while the failed-files question is open is named and counted too.
TEST_F(TBurnDialogTest, AFileGoneWhileTheQuestionIsOpenIsNamed) {
  TPseudoDrives drives("stdio:" + Image);
  const std::string doomed = Dir / "doomed.mp4";
  std::filesystem::copy_file(Fixture("av.mp4"), doomed);
  Tfrm_Burn dialog(nullptr,
                   {EntryOf("Song.mp3", Fixture("audio.mp3")), EntryOf("Doomed.mp4", doomed),
                    EntryOf("Gone.mp4", Dir / "gone.mp4")},
                   &Taskbar, std::nullopt);
  TDialogDriver driver(dialog);
  driver.OnBox = [&] { std::filesystem::remove(doomed); };
  driver.Run({[](Tfrm_Burn &d) { d.btn_Burn->click(); }, [](Tfrm_Burn &d) { d.Button1->click(); }});
  const QString log = dialog.log_Main->toPlainText();
  const QString gone = "Gone since it was added... " + QString::fromStdString(doomed);
  EXPECT_TRUE(log.contains(gone)) << log.toStdString();
  EXPECT_EQ(LogLineColor(*dialog.log_Main, gone), QColor(255, 0, 0));
  EXPECT_TRUE(log.contains("] " + LeftOffText(2))) << log.toStdString();
  const TIsoImage iso = ReadIsoImage(Image, TIsoNames::RockRidge, false);
  EXPECT_EQ(iso.Files.size(), 1u);
  EXPECT_TRUE(iso.Files.count("Song.mp3"));
}

TEST_F(TBurnDialogTest, NoToTheFailedFilesQuestionBurnsNothing) {
  TPseudoDrives drives("stdio:" + Image);
  const std::string fifo = Dir / "pipe.mp4";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  Tfrm_Burn dialog(nullptr, {EntryOf("Song.mp3", Fixture("audio.mp3")), EntryOf("Pipe.mp4", fifo)},
                   &Taskbar, std::nullopt);
  TDialogDriver driver(dialog);
  driver.Answer = QMessageBox::No;
  int projectFiles = -1;
  driver.Run({[](Tfrm_Burn &d) { d.btn_Burn->click(); },
              [&](Tfrm_Burn &d) {
                projectFiles = d.Burner.ProjectFileCount();
                d.Button1->click();
              }});
  EXPECT_EQ(driver.Boxes,
            QStringList{"Some files were not added. Would you like to continue with burning?"});
  EXPECT_EQ(projectFiles, 1); // the project stays as built
  EXPECT_FALSE(dialog.log_Main->toPlainText().contains("Burning disc..."));
  EXPECT_FALSE(std::filesystem::exists(Image));
}

// An image file that holds other data is replaced only after a yes; a listed file is never
// the image, whatever the answer would be.
TEST_F(TBurnDialogTest, ImageFileWithOtherDataIsReplacedOnlyAfterAYes) {
  TPseudoDrives drives("stdio:" + Image);
  const QString path = QString::fromStdString(Image);
  const QString question = "The image file " + path +
                           " holds other data, not a disc image. Burning replaces it with the "
                           "disc image.\n\nReplace it?";
  const QString keptLine = "The image file " + path + " holds other data, not a disc image";
  const QString sourceLine = "The image file " + path + " is one of the files to burn.";
  const TFileEntry song = EntryOf("Song.mp3", Fixture("audio.mp3"));
  const struct {
    QList<TFileEntry> Files;
    QMessageBox::StandardButton Answer;
    QStringList Boxes;
    QString RedLine; // empty: the burn succeeds
  } cases[] = {
      {{song}, QMessageBox::No, {question}, keptLine},
      {{song}, QMessageBox::Yes, {question}, {}},
      {{song, EntryOf("Old.mp4", Image)}, QMessageBox::Yes, {}, sourceLine},
  };
  for (const auto &c : cases) {
    std::filesystem::remove(Image);
    std::filesystem::copy_file(Fixture("av.mp4"), Image);
    Tfrm_Burn dialog(nullptr, c.Files, &Taskbar, std::nullopt);
    TDialogDriver driver(dialog);
    driver.Answer = c.Answer;
    driver.Run({[](Tfrm_Burn &d) { d.btn_Burn->click(); },
                [&](Tfrm_Burn &d) {
                  if (c.Answer == QMessageBox::No)
                    SaveShot(d, "burn_dialog_image_kept");
                  d.Button1->click();
                }});
    const QString log = dialog.log_Main->toPlainText();
    EXPECT_EQ(driver.Boxes, c.Boxes) << log.toStdString();
    if (c.RedLine.isEmpty()) {
      EXPECT_TRUE(log.contains("] Success!")) << log.toStdString();
      EXPECT_TRUE(ReadIsoImage(Image, TIsoNames::RockRidge, false).Files.count("Song.mp3"));
      continue;
    }
    EXPECT_EQ(LogLineColor(*dialog.log_Main, c.RedLine), QColor(255, 0, 0)) << log.toStdString();
    EXPECT_FALSE(log.contains("Burning disc...")) << log.toStdString();
    EXPECT_TRUE(FileContents(Image) == FileContents(Fixture("av.mp4")));
  }
}

TEST_F(TBurnDialogTest, CancelDuringABurnEndsItAndKeepsTheDialog) {
  TPseudoDrives drives("stdio:" + Image);
  const std::string big = Dir / "big.bin";
  std::ofstream(big).close();
  ASSERT_EQ(truncate(big.c_str(), off_t(3) * 1024 * 1024 * 1024), 0);
  Tfrm_Burn dialog(nullptr, {EntryOf("big.bin", big)}, &Taskbar, std::nullopt);
  TDialogDriver driver(dialog);
  driver.OnBurnWindow = [](Tfrm_Burn &d) {
    QTimer::singleShot(300, d.BurnWindow(), [&d] { d.BurnWindow()->btn_Cancel->click(); });
  };
  driver.Run({[](Tfrm_Burn &d) { d.btn_Burn->click(); },
              [&](Tfrm_Burn &d) {
                EXPECT_EQ(Taskbar.Style(), tbpsError);
                d.Button1->click();
              }});
  const QString log = dialog.log_Main->toPlainText();
  EXPECT_TRUE(log.contains("] Burning was cancelled.")) << log.toStdString();
  EXPECT_FALSE(log.contains("Success!"));
  EXPECT_EQ(LogLineColor(*dialog.log_Main, "Burning was cancelled."), QColor(255, 0, 0));
}

TEST_F(TBurnDialogTest, EraseThatTheDiscRefusesEndsWithTheError) {
  TPseudoDrives drives("stdio:" + Image);
  Tfrm_Burn dialog(nullptr, {EntryOf("Song.mp3", Fixture("audio.mp3"))}, &Taskbar,
                   QColor(Qt::white));
  TDialogDriver driver(dialog);
  driver.Run(
      {[](Tfrm_Burn &d) { d.btn_Erase_Burn->click(); }, [](Tfrm_Burn &d) { d.Button1->click(); }});
  EXPECT_EQ(driver.Boxes.value(0), "Are you sure you want to erase the disc?\nErasing will remove "
                                   "all information from the disc.");
  EXPECT_TRUE(driver.SawEraseWindow);
  const QString log = dialog.log_Main->toPlainText();
  EXPECT_TRUE(log.contains("] Erasing disc...")) << log.toStdString();
  EXPECT_TRUE(log.contains("] Error!")) << log.toStdString();
  EXPECT_TRUE(log.contains("The disc in this drive cannot be erased.")) << log.toStdString();
  // The dark look's colours.
  EXPECT_EQ(LogLineColor(*dialog.log_Main, "Error!"), QColor(0xe4, 0x61, 0x61));
  EXPECT_EQ(LogLineColor(*dialog.log_Main, "Devices found:"), QColor(Qt::white));
  EXPECT_FALSE(dialog.bool_Erasing);
}

TEST_F(TBurnDialogTest, DriveWithoutADiscOffersDvdSpeedsAndRefusesToBurn) {
  TPseudoDrives drives("stdio:"); // a drive without a disc
  Tfrm_Burn dialog(nullptr, {EntryOf("Song.mp3", Fixture("audio.mp3"))}, &Taskbar, std::nullopt);
  TDialogDriver driver(dialog);
  QStringList speeds;
  driver.Run({[&](Tfrm_Burn &d) {
                for (int i = 0; i < d.cb_WriteSpeed->count(); ++i)
                  speeds << d.cb_WriteSpeed->itemText(i);
                d.btn_Burn->click();
              },
              [](Tfrm_Burn &d) { d.Button1->click(); }});
  EXPECT_EQ(speeds, QStringList({"16x", "12x", "8x", "6x", "4x", "2x"}));
  EXPECT_TRUE(dialog.sdk_NoDisc);
  EXPECT_EQ(driver.Boxes, QStringList{"Disc is not inserted."});
  EXPECT_FALSE(dialog.log_Main->toPlainText().contains("Adding files..."));
}

TEST_F(TBurnDialogTest, WithoutAnyDriveTheDialogSaysSoAndCloses) {
  TPseudoDrives drives("");
  Tfrm_Burn dialog(nullptr, {EntryOf("Song.mp3", Fixture("audio.mp3"))}, &Taskbar, std::nullopt);
  TDialogDriver driver(dialog);
  QElapsedTimer clock;
  clock.start();
  driver.Run({});
  EXPECT_EQ(driver.Boxes, QStringList{Tfrm_Burn::NoDriveText()});
  EXPECT_TRUE(Tfrm_Burn::NoDriveText().startsWith("Unable to detect CD/DVD/Blu-ray drive.\n\n"));
  EXPECT_LT(clock.elapsed(), 20000);
  EXPECT_FALSE(dialog.isVisible());
}

TEST(MainWindowBurn, BurnButtonOpensTheDialogForTheList) {
  TScratchDir config;
  qputenv("APPDATA", QByteArray::fromStdString(config.Path.string()));
  TPseudoDrives drives("");
  Tfrm_Main w;
  w.show();
  w.AppendEntry(EntryOf("Song.mp3", Fixture("audio.mp3")));
  EXPECT_EQ(w.btn_Burn->toolTip(), "Burn disc (Ctrl+B)");
  QStringList boxes;
  QString title;
  QTimer poll;
  poll.setInterval(20);
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
      if (auto *burn = qobject_cast<Tfrm_Burn *>(box->parentWidget()))
        title = burn->windowTitle() + " of " + burn->parentWidget()->windowTitle();
      boxes << box->text();
      QTimer::singleShot(0, box, &QMessageBox::accept);
    }
  });
  poll.start();
  w.mnu_Burn->trigger();
  EXPECT_EQ(title, "Burn Disc of Quillet");
  EXPECT_EQ(boxes, QStringList{Tfrm_Burn::NoDriveText()});
  EXPECT_EQ(w.mnu_Burn->shortcut(), QKeySequence("Ctrl+B"));
}

} // namespace

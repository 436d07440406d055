// The main window offscreen: its parts, the file list (drop, paste, selection, removal,
// sorting, status texts), the light and dark looks and the settings round trip through close.
#include "shell/Tfrm_Main.h"
#include "../LayoutFaults.h"
#include "ListEntry.h"
#include "shell/TEncoderCheck.h"
#include "shell/TGlassButton.h"
#include "shell/TLookStyle.h"
#include "shell/TPresetsBox.h"
#include "shell/TSettingsPanel.h"
#include "shell/TSingleInstance.h"
#include "shell/TTerminationSignals.h"
#include "shell/settings/RateControl.h"
#include "shell/settings/SettingsLists.h"
#include "shell/settings/TIniFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardItemModel>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <csignal>
#include <functional>
#include <limits>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
// Records every AddFiles call with the pending paths it saw (and opens no adding window).
class TRecordingMain : public Tfrm_Main {
public:
  QList<QStringList> Calls;
  void AddFiles() override { Calls.append(DroppedFiles); }
};

TFileEntry Entry(const QString &path, int64_t duration, int64_t size) {
  return ListEntry(QFileInfo(path).fileName(), path, duration, size);
}

QStringList Captions(const Tfrm_Main &w) {
  QStringList captions;
  for (int i = 0; i < w.EntryCount(); ++i)
    captions.append(w.Entry(i).Caption);
  return captions;
}

// Three entries: 1 GiB and 1 byte spread so the totals cross the boundary.
void AddThree(Tfrm_Main &w) {
  w.AppendEntry(Entry(QStringLiteral("/media/b/clip10.avi"), 10000000, 1073741824));
  w.AppendEntry(Entry(QStringLiteral("/media/a/Clip9.mkv"), 9000000, 1));
  w.AppendEntry(Entry(QStringLiteral("/media/a/alpha.mp4"), -1, 2097152));
  w.SortList();
  w.UpdateSize();
}

// The program offscreen, with its settings in AConfig and its window socket in ARuntime.
void StartProgram(QProcess &AProgram, const QString &AConfig, const QString &ARuntime,
                  const QStringList &AArguments) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("APPDATA"), AConfig);
  env.insert(QStringLiteral("XDG_RUNTIME_DIR"), ARuntime);
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  AProgram.setProcessEnvironment(env);
  AProgram.setWorkingDirectory(ARuntime);
  AProgram.start(QStringLiteral(QUILLET_PROGRAM), AArguments);
}

// An executable shell script AText at APath (a stand-in for xdg-open).
void WriteScript(const QString &APath, const char *AText) {
  QFile script(APath);
  QVERIFY(script.open(QIODevice::WriteOnly));
  script.write(AText);
  script.close();
  script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// A socket file as a crashed program leaves it: bound, and no one listening.
void LeaveStaleSocket(const QString &APath) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  qstrncpy(address.sun_path, QFile::encodeName(APath).constData(), sizeof address.sun_path);
  QVERIFY(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0);
  ::close(fd);
  QVERIFY(QFile::exists(APath));
}

QString SettingsFile(const QTemporaryDir &dir) {
  return dir.path() + QStringLiteral("/Sablewick/Quillet/quillet.ini");
}

void WriteSettings(const QTemporaryDir &dir, const QByteArray &text) {
  QDir().mkpath(QFileInfo(SettingsFile(dir)).path());
  QFile file(SettingsFile(dir));
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(text);
}

int SavedInteger(const QTemporaryDir &dir, const char *key) {
  QFile file(SettingsFile(dir));
  if (!file.open(QIODevice::ReadOnly))
    return -1;
  return TIniFile::Parse(file.readAll().toStdString()).ReadInteger("Quillet", key, -1);
}

// Closes every message box that shows up and keeps its title and text.
struct TMessageBoxCatcher {
  QStringList Shown;
  QTimer Poll;
  TMessageBoxCatcher() {
    QObject::connect(&Poll, &QTimer::timeout, [this] {
      for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
          Shown.append(box->windowTitle() + QLatin1Char('|') + box->text());
          box->close();
        }
    });
    Poll.start(10);
  }
};
} // namespace

class Tfrm_MainTest : public QObject {
  Q_OBJECT
  std::unique_ptr<QTemporaryDir> FConfig;

private slots:
  void initTestCase() {
    // The windows shown here (and the program run once) check for an update on a closed local
    // port, never online.
    qputenv("QUILLET_UPDATE_URL", "http://127.0.0.1:1/upd_converter.ini");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication::setStyle(QStringLiteral("Fusion"));
  }

  // Every test starts without a settings file, in the light look.
  void init() {
    FConfig = std::make_unique<QTemporaryDir>();
    qputenv("APPDATA", FConfig->path().toUtf8());
    QApplication::setPalette(QApplication::style()->standardPalette());
  }

  void constructsWithAllParts() {
    Tfrm_Main w;
    w.show();
    QCOMPARE(w.windowTitle(), QStringLiteral("Quillet"));
    QStringList tabs;
    for (int i = 0; i < w.PageControl1->count(); ++i)
      tabs.append(w.PageControl1->tabText(i));
    QCOMPARE(tabs, QStringList({QStringLiteral(" Profiles "), QStringLiteral(" Video settings "),
                                QStringLiteral(" Audio settings "), QStringLiteral(" CPU usage "),
                                QStringLiteral(" Output ")}));
    QCOMPARE(w.PageControl1->currentIndex(), 0);
    QCOMPARE(w.lw_Files->columnCount(), 4);
    QCOMPARE(w.lw_Files->headerItem()->text(3), QStringLiteral("Source"));
    // Toolbar: nine buttons left to right, only the first two captioned.
    QList<TGlassButton *> buttons = {w.btn_Convert, w.btn_Command,    w.btn_Extract,
                                     w.btn_Burn,    w.btn_Add,        w.btn_Paste,
                                     w.btn_Play,    w.btn_Properties, w.btn_Remove};
    for (int i = 1; i < buttons.size(); ++i)
      QVERIFY(buttons[i - 1]->x() < buttons[i]->x());
    QCOMPARE(w.btn_Convert->text(), QStringLiteral(" Convert"));
    QCOMPARE(w.btn_Command->text(), QStringLiteral("FFMPEG command"));
    for (int i = 2; i < buttons.size(); ++i)
      QVERIFY(buttons[i]->text().isEmpty());
    QCOMPARE(w.btn_Remove->toolTip(), QStringLiteral("Remove (Del)"));
    // Empty list: hint shown, selection actions off, status text of an empty list.
    QVERIFY(w.pnl_Note->isVisible());
    QCOMPARE(w.lbl_Note->text(), QStringLiteral("Click here to add files"));
    QVERIFY(!w.btn_Remove->isEnabled());
    QVERIFY(!w.mnu_Preview->isEnabled());
    QCOMPARE(w.sts_0->text(), QStringLiteral("Files: 0 (Size: 0 bytes, Duration: 00:00:00)"));
    QVERIFY(w.prg_Win7 != nullptr);
    QVERIFY(!w.prg_Win7->Visible());
    QCOMPARE(w.lw_Files->header()->sortIndicatorSection(), 0);
    // The hint stays centred over the list.
    w.resize(700, 600);
    QTRY_COMPARE(w.pnl_Note->geometry().center().x() / 4, w.lw_Files->rect().center().x() / 4);
    QCOMPARE(w.pnl_Note->geometry().center().y() / 4, w.lw_Files->rect().center().y() / 4);
    QCOMPARE(w.lw_Files->header()->sortIndicatorOrder(), Tfrm_Main::SortArrowOrder(false));
  }

  void toolbarImagesFollowTheScreenResolution_data() {
    QTest::addColumn<qreal>("dpi");
    QTest::addColumn<int>("side");
    QTest::newRow("96 dpi") << qreal(96) << 24;
    QTest::newRow("150 dpi") << qreal(150) << 24;
    QTest::newRow("151 dpi") << qreal(151) << 48;
    QTest::newRow("192 dpi") << qreal(192) << 48;
  }

  void toolbarImagesFollowTheScreenResolution() {
    QFETCH(qreal, dpi);
    QFETCH(int, side);
    Tfrm_Main w;
    w.SetToolbarImages(dpi);
    for (TGlassButton *b : w.findChildren<TGlassButton *>()) {
      QCOMPARE(b->iconSize(), QSize(side, side));
      QCOMPARE(b->ImageOffset(), (b->height() - side) / 2);
      QCOMPARE(b->ImageOffset(), w.btn_Convert->ImageOffset());
    }
  }

  void entriesKeepAllEightSubItems() {
    Tfrm_Main w;
    TFileEntry e = Entry(QStringLiteral("/m/x.avi"), 61000000, 2048);
    e.SubItems[siFrameRate] = QStringLiteral("25.00 fps");
    e.SubItems[siBitRate] = QStringLiteral("1500 kb");
    e.SubItems[siFrameSize] = QStringLiteral("320x240");
    w.AppendEntry(e);
    QCOMPARE(w.Entry(0).Caption, QStringLiteral("x.avi"));
    QCOMPARE(w.Entry(0).SubItems, e.SubItems);
    QCOMPARE(w.lw_Files->topLevelItem(0)->text(1), QStringLiteral("00:01:01"));
    QCOMPARE(w.lw_Files->topLevelItem(0)->text(2), QStringLiteral("2.00 KiB"));
    QCOMPARE(w.lw_Files->topLevelItem(0)->text(3), QStringLiteral("/m/x.avi"));
    QCOMPARE(w.ListedPaths(), QStringList{QStringLiteral("/m/x.avi")});
  }

  void statusTotalsCrossTheGibibyteBoundary() {
    Tfrm_Main w;
    w.show();
    w.AppendEntry(Entry(QStringLiteral("/m/a.avi"), 1000000, 1073741823));
    w.AppendEntry(Entry(QStringLiteral("/m/b.avi"), -1, 1));
    w.UpdateSize();
    QVERIFY(!w.pnl_Note->isVisible());
    // The unknown duration (-1) is left out of the total.
    QCOMPARE(w.TotalDuration, int64_t(1000000));
    QCOMPARE(w.sts_0->text(), QStringLiteral("Files: 2 (Size: 1.00 GiB, Duration: 00:00:01)"));
    w.AppendEntry(Entry(QStringLiteral("/m/c.avi"), 3723000000, 1));
    w.UpdateSize();
    QCOMPARE(w.sts_0->text(), QStringLiteral("Files: 3 (Size: 1.00 GiB, Duration: 01:02:04)"));
  }

  void statusTotalsHoldAtTheLimitWhateverTheFilesClaim() {
    Tfrm_Main w;
    w.show();
    // Two files claiming about 9e18 us and bytes each, one a negative duration.
    const int64_t huge = 9000000000000000000;
    w.AppendEntry(Entry(QStringLiteral("/m/a.avi"), huge, huge));
    w.AppendEntry(Entry(QStringLiteral("/m/b.avi"), huge, huge));
    w.AppendEntry(Entry(QStringLiteral("/m/c.avi"), -5000000000000000000, 1));
    w.UpdateSize();
    QCOMPARE(w.TotalDuration, std::numeric_limits<int64_t>::max());
    QCOMPARE(w.TotalSize, std::numeric_limits<int64_t>::max());
    QCOMPARE(w.sts_0->text(),
             QStringLiteral("Files: 3 (Size: 8.00 EiB, Duration: 2562047788:00:54)"));
    QCOMPARE(w.lw_Files->topLevelItem(2)->text(lcDuration), QStringLiteral("-"));
    w.mnu_SelectAll->trigger();
    QCOMPARE(w.sts_1->text(), QStringLiteral("Selected: 3 files, 8.00 EiB"));
  }

  void dropOfUriListCallsAddFiles() {
    TRecordingMain w;
    w.show();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a b.avi")),
                  QUrl::fromLocalFile(QStringLiteral("/tmp/folder")),
                  QUrl(QStringLiteral("https://example.org/remote.avi")),
                  QUrl::fromLocalFile(QStringLiteral("/tmp/c.mkv"))});
    QWidget *target = w.lw_Files->viewport();
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QVERIFY(w.Calls.isEmpty());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    const QStringList expected = {QStringLiteral("/tmp/a b.avi"), QStringLiteral("/tmp/folder"),
                                  QStringLiteral("/tmp/c.mkv")};
    QCOMPARE(w.Calls, QList<QStringList>{expected});
  }

  // A drag without a local file has nothing to add: plain text, or links to remote files.
  void dragWithoutLocalFilesIsRefused_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<QUrl>>("urls");
    QTest::newRow("plain text") << QStringLiteral("/tmp/a.avi") << QList<QUrl>();
    QTest::newRow("remote links only")
        << QString() << QList<QUrl>{QUrl(QStringLiteral("https://example.org/remote.avi"))};
  }

  void dragWithoutLocalFilesIsRefused() {
    QFETCH(QString, text);
    QFETCH(QList<QUrl>, urls);
    TRecordingMain w;
    w.show();
    QMimeData mime;
    if (!text.isEmpty())
      mime.setText(text);
    if (!urls.isEmpty())
      mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QCoreApplication::sendEvent(w.lw_Files->viewport(), &enter);
    QVERIFY(!enter.isAccepted());
    QVERIFY(w.DroppedFiles.isEmpty());
    QVERIFY(w.Calls.isEmpty());
  }

  void pasteTakesFilesAndIgnoresText() {
    TRecordingMain w;
    QGuiApplication::clipboard()->setText(QStringLiteral("/tmp/text.avi"));
    w.DroppedFiles = {QStringLiteral("stale")};
    w.mnu_Paste->trigger();
    QVERIFY(w.Calls.isEmpty());
    QVERIFY(w.DroppedFiles.isEmpty());
    auto *mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/x.avi")),
                   QUrl::fromLocalFile(QStringLiteral("/tmp/y.vob"))});
    QGuiApplication::clipboard()->setMimeData(mime);
    w.mnu_Paste->trigger();
    QCOMPARE(w.Calls, QList<QStringList>{QStringList(
                          {QStringLiteral("/tmp/x.avi"), QStringLiteral("/tmp/y.vob")})});
  }

  void selectionEnablesActionsAndShowsSize() {
    Tfrm_Main w;
    w.show();
    AddThree(w);
    QCOMPARE(Captions(w), QStringList({QStringLiteral("alpha.mp4"), QStringLiteral("clip10.avi"),
                                       QStringLiteral("Clip9.mkv")}));
    w.lw_Files->topLevelItem(1)->setSelected(true);
    QCOMPARE(w.sts_1->text(), QStringLiteral("Selected: 1 file, 1.00 GiB"));
    QVERIFY(w.btn_Remove->isEnabled());
    QVERIFY(w.btn_Properties->isEnabled());
    QVERIFY(w.btn_Play->isEnabled());
    QVERIFY(w.mnu_Play->isEnabled() && w.mnu_Remove->isEnabled());
    w.lw_Files->topLevelItem(2)->setSelected(true);
    QCOMPARE(w.sts_1->text(), QStringLiteral("Selected: 2 files, 1.00 GiB"));
    QCOMPARE(w.SelectedEntries(), QList<int>({1, 2}));
    // Deselecting one of several empties the text although one stays selected.
    w.lw_Files->topLevelItem(1)->setSelected(false);
    QCOMPARE(w.sts_1->text(), QString());
    QVERIFY(w.btn_Remove->isEnabled());
    w.lw_Files->topLevelItem(2)->setSelected(false);
    // Nothing selected: every action on the selection is off, buttons and menu items alike.
    for (QWidget *b :
         {static_cast<QWidget *>(w.btn_Remove), static_cast<QWidget *>(w.btn_Properties),
          static_cast<QWidget *>(w.btn_Play)})
      QVERIFY(!b->isEnabled());
    for (QAction *a : {w.mnu_Play, w.mnu_Preview, w.mnu_Properties, w.mnu_Remove})
      QVERIFY(!a->isEnabled());
  }

  void selectAllAndRemove() {
    Tfrm_Main w;
    w.show();
    AddThree(w);
    w.mnu_SelectAll->trigger();
    QCOMPARE(w.SelectedEntries(), QList<int>({0, 1, 2}));
    QCOMPARE(w.sts_1->text(), QStringLiteral("Selected: 3 files, 1.00 GiB"));
    w.lw_Files->clearSelection();
    w.lw_Files->topLevelItem(0)->setSelected(true);
    w.lw_Files->topLevelItem(2)->setSelected(true);
    w.mnu_Remove->trigger();
    QCOMPARE(Captions(w), QStringList({QStringLiteral("clip10.avi")}));
    QCOMPARE(w.sts_0->text(), QStringLiteral("Files: 1 (Size: 1.00 GiB, Duration: 00:00:10)"));
    QCOMPARE(w.sts_1->text(), QString());
    QVERIFY(!w.btn_Remove->isEnabled());
    // Remove with nothing selected deletes nothing and turns a stale enabled state off.
    w.btn_Remove->setEnabled(true);
    w.btn_RemoveClick();
    QCOMPARE(w.EntryCount(), 1);
    QVERIFY(!w.btn_Remove->isEnabled());
    w.lw_Files->topLevelItem(0)->setSelected(true);
    w.btn_RemoveClick();
    QCOMPARE(w.EntryCount(), 0);
    QVERIFY(w.pnl_Note->isVisible());
    QVERIFY(!w.btn_Properties->isEnabled() && !w.btn_Play->isEnabled());
    QVERIFY(!w.mnu_Preview->isEnabled() && !w.mnu_Properties->isEnabled());
  }

  void headerClicksSortAndFlipTheArrow() {
    Tfrm_Main w;
    w.show();
    AddThree(w);
    QHeaderView *header = w.lw_Files->header();
    emit header->sectionClicked(1);
    QCOMPARE(w.SortColumn, 1);
    QVERIFY(!w.SortDescending);
    QCOMPARE(Captions(w), QStringList({QStringLiteral("alpha.mp4"), QStringLiteral("Clip9.mkv"),
                                       QStringLiteral("clip10.avi")}));
    QCOMPARE(header->sortIndicatorSection(), 1);
    QCOMPARE(header->sortIndicatorOrder(), Tfrm_Main::SortArrowOrder(false));
    emit header->sectionClicked(1);
    QVERIFY(w.SortDescending);
    QCOMPARE(Captions(w), QStringList({QStringLiteral("clip10.avi"), QStringLiteral("Clip9.mkv"),
                                       QStringLiteral("alpha.mp4")}));
    QCOMPARE(header->sortIndicatorOrder(), Tfrm_Main::SortArrowOrder(true));
    emit header->sectionClicked(2);
    QVERIFY(!w.SortDescending);
    QCOMPARE(Captions(w), QStringList({QStringLiteral("Clip9.mkv"), QStringLiteral("alpha.mp4"),
                                       QStringLiteral("clip10.avi")}));
    emit header->sectionClicked(3);
    QCOMPARE(Captions(w), QStringList({QStringLiteral("alpha.mp4"), QStringLiteral("Clip9.mkv"),
                                       QStringLiteral("clip10.avi")}));
    // A new entry lands where the current order puts it.
    w.AppendEntry(Entry(QStringLiteral("/media/a/beta.avi"), 0, 0));
    w.SortList();
    QCOMPARE(w.Entry(1).Caption, QStringLiteral("beta.avi"));
  }

  void darkLookFromTheStyleFileAndBack() {
    Tfrm_Main w;
    w.str_ProgramDir = QStringLiteral(QUILLET_SHELL_RESOURCES);
    QCOMPARE(w.btn_Convert->FaceColor(), TGlassButton::DesignFace);
    w.mnu_Dark->trigger();
    QVERIFY(w.mnu_Dark->isChecked());
    QVERIFY(w.ActiveStyle().has_value());
    const TStyleFile style = *w.ActiveStyle();
    QCOMPARE(QApplication::palette().color(QPalette::Window), style.Window);
    QCOMPARE(w.btn_Convert->FontColor(), style.WindowText);
    QCOMPARE(w.btn_Remove->FaceColor(), style.ButtonHot);
    QCOMPARE(w.btn_Remove->FrameColor(), style.ButtonFocused);
    QCOMPARE(w.btn_Remove->PressedColor(), style.ButtonPressed);
    w.mnu_Dark->trigger();
    QVERIFY(!w.ActiveStyle().has_value());
    QCOMPARE(QApplication::palette().color(QPalette::Window),
             QApplication::style()->standardPalette().color(QPalette::Window));
    QCOMPARE(w.btn_Command->FaceColor(), QColor(232, 239, 247));
    QCOMPARE(w.btn_Command->FrameColor(), QColor(98, 162, 228));
    QCOMPARE(w.btn_Command->PressedColor(), QColor(201, 224, 247));
  }

  // The empty-list hint draws no patch of its own: the list shows through around the text.
  void emptyListHintHasNoPatchInEitherLook() {
    Tfrm_Main w;
    w.str_ProgramDir = QStringLiteral(QUILLET_SHELL_RESOURCES);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    for (int look = 0; look < 2; ++look) {
      QApplication::processEvents();
      const QImage list = w.lw_Files->grab().toImage();
      const QPoint corner = w.pnl_Note->geometry().topLeft() + QPoint(1, 1);
      QCOMPARE(list.pixelColor(corner), w.lw_Files->palette().color(QPalette::Base));
      w.mnu_Dark->trigger();
    }
  }

  // In the dark look the box of a check box and the ring of a radio button stand out from
  // the box's colour, and so does the dot of a checked radio button.
  void indicatorsAreReadableInTheDarkLook_data() {
    QTest::addColumn<int>("element");
    QTest::addColumn<bool>("checked");
    QTest::newRow("check box") << int(QStyle::PE_IndicatorCheckBox) << false;
    QTest::newRow("radio button") << int(QStyle::PE_IndicatorRadioButton) << false;
    QTest::newRow("radio dot") << int(QStyle::PE_IndicatorRadioButton) << true;
  }
  void indicatorsAreReadableInTheDarkLook() {
    QFETCH(int, element);
    QFETCH(bool, checked);
    const auto style = TStyleFile::Load(QStringLiteral(QUILLET_SHELL_RESOURCES "/Dark.vsf"));
    QVERIFY(style.has_value());
    TLookStyle look;
    QStyleOptionButton option;
    option.palette = style->Palette();
    option.state = QStyle::State_Enabled | (checked ? QStyle::State_On : QStyle::State_Off);
    option.rect = QRect(0, 0, 16, 16);
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(style->Window);
    QPainter painter(&image);
    look.drawPrimitive(QStyle::PrimitiveElement(element), &option, &painter);
    painter.end();
    // The ring or box is the brightest part of an unchecked indicator; the dot of a checked
    // one is brighter still, at the centre.
    const int base = style->Base.lightness();
    int brightest = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x)
        brightest = std::max(brightest, image.pixelColor(x, y).lightness());
    QVERIFY2(brightest - base >= 60, qPrintable(QString::number(brightest - base)));
    if (checked)
      QVERIFY(image.pixelColor(8, 8).lightness() - base >= 60);
  }

  // At its smallest size the window still shows every page's labels and combo boxes whole
  // and apart, the toolbar's captions and the status line's text.
  void smallestSizeCutsNothing() {
    Tfrm_Main w;
    AddThree(w);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.resize(w.minimumSize());
    QTRY_COMPARE(w.size(), w.minimumSize());
    QVERIFY(w.minimumWidth() >= 400 && w.minimumHeight() >= 400);
    for (int page = 0; page < w.PageControl1->count(); ++page) {
      w.PageControl1->setCurrentIndex(page);
      QApplication::processEvents();
      const QStringList faults = LayoutFaults(&w);
      QVERIFY2(faults.isEmpty(), qPrintable(w.PageControl1->tabText(page) + QLatin1Char(':') +
                                            faults.join(QStringLiteral("; "))));
    }
  }

  void missingOrInvalidStyleFileChangesNothing() {
    QTemporaryDir program;
    QFile bad(program.path() + QStringLiteral("/Dark.vsf"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("[Style]\nName=Broken\n[Colors]\nWindow=#zzzzzz\n");
    bad.close();
    for (const QString &dir : {QStringLiteral("/nonexistent"), program.path()}) {
      Tfrm_Main w;
      w.str_ProgramDir = dir;
      const QColor window = QApplication::palette().color(QPalette::Window);
      w.mnu_Dark->trigger();
      QVERIFY(w.mnu_Dark->isChecked());
      QVERIFY(!w.ActiveStyle().has_value());
      QCOMPARE(QApplication::palette().color(QPalette::Window), window);
      QCOMPARE(w.btn_Convert->FaceColor(), TGlassButton::DesignFace);
    }
  }

  void helpWithoutManualWarns() {
    Tfrm_Main w;
    w.str_ProgramDir = QStringLiteral("/nonexistent");
    QString shown;
    QTimer::singleShot(0, this, [&shown] {
      if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
        shown = box->windowTitle() + QLatin1Char('|') + box->text();
        box->close();
      }
    });
    w.mnu_Help->trigger();
    QCOMPARE(shown,
             QStringLiteral("Warning|The help file is not found. Please re-install the program."));
  }

  // The open form ("Open with"): every argument, file or folder, reaches the adding window in
  // one drop, relative names made absolute.
  void openFormHandsEveryArgumentToTheAddingWindow_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("paths"); // below the current folder
    QTest::newRow("one file") << QStringList{QStringLiteral("a.mp4")}
                              << QStringList{QStringLiteral("a.mp4")};
    QTest::newRow("three files") << QStringList{QStringLiteral("a.mp4"),
                                                QStringLiteral("sub/b.mkv"),
                                                QStringLiteral("c.avi")}
                                 << QStringList{QStringLiteral("a.mp4"),
                                                QStringLiteral("sub/b.mkv"),
                                                QStringLiteral("c.avi")};
    QTest::newRow("a folder") << QStringList{QStringLiteral("@/sub")}
                              << QStringList{QStringLiteral("sub")};
  }
  void openFormHandsEveryArgumentToTheAddingWindow() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, paths);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    const QString current = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    QStringList line{QStringLiteral("quillet")};
    for (const QString &argument : arguments) // "@" stands for the folder: an absolute path
      line << QString(argument).replace(QLatin1Char('@'), dir.path());
    TRecordingMain w;
    w.CommandLine = ParseCommandLine(line);
    QDir::setCurrent(current);
    QVERIFY(!w.CommandLine.Active);
    w.show();
    for (QString &path : paths)
      path.prepend(dir.path() + QLatin1Char('/'));
    QTRY_COMPARE(w.Calls, QList<QStringList>{paths});
  }

  // A first argument "-v" or "-a" keeps the job form: output folder, files, trailing "x".
  void jobFormIsReadAsBefore() {
    const TCommandLine line =
        ParseCommandLine({QStringLiteral("quillet"), QStringLiteral("-V"), QStringLiteral("/out"),
                          QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("x")});
    QVERIFY(line.Active);
    QCOMPARE(line.Mode, TCommandLine::cmConvert);
    QCOMPARE(line.OutputFolder, QStringLiteral("/out/"));
    QCOMPARE(line.Files,
             (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("x")}));
    QVERIFY(line.SaveLogAndQuit);
  }

  // A second start without a job hands its files, made absolute, to the program that runs
  // (here the test) and ends with status 0.
  void secondStartHandsItsFilesOver() {
    QTemporaryDir runtime;
    TSingleInstance first(runtime.path() + QStringLiteral("/quillet.socket"));
    QList<QStringList> received;
    first.OnFiles = [&received](const QStringList &APaths) { received << APaths; };
    QVERIFY(first.Listen());
    QProcess second;
    StartProgram(second, FConfig->path(), runtime.path(),
                 {QStringLiteral("a.mp4"), QStringLiteral("/media/b c.mkv")});
    QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 30000);
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(received, (QList<QStringList>{{runtime.path() + QStringLiteral("/a.mp4"),
                                            QStringLiteral("/media/b c.mkv")}}));
  }

  // Two programs: the first takes over a socket left by a crash; a second start ends with
  // status 0 while the first runs on; a job started meanwhile runs by itself (its missing
  // file fails it with status 1 instead of being handed over).
  void oneWindowPerUserAndJobsApart() {
    QTemporaryDir runtime;
    const QString socket = runtime.path() + QStringLiteral("/quillet.socket");
    LeaveStaleSocket(socket);
    QProcess first;
    StartProgram(first, FConfig->path(), runtime.path(), {});
    QVERIFY(first.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(TSingleInstance(socket).HandOver({}, 1000) == TSingleInstance::hoDone,
                             30000);
    QProcess second;
    StartProgram(second, FConfig->path(), runtime.path(), {});
    QVERIFY(second.waitForFinished(30000));
    QCOMPARE(second.exitCode(), 0);
    QProcess job;
    StartProgram(
        job, FConfig->path(), runtime.path(),
        {QStringLiteral("-v"), runtime.path(), QStringLiteral("missing.mp4"), QStringLiteral("x")});
    QVERIFY(job.waitForFinished(30000));
    QCOMPARE(job.exitCode(), 1);
    QCOMPARE(first.state(), QProcess::Running);
    first.terminate();
    QVERIFY(first.waitForFinished(30000));
    QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    QCOMPARE(first.exitCode(), 0);
    QVERIFY2(!QFile::exists(socket), first.readAllStandardError().constData());
  }

  // Installed, the program's folder is <prefix>/bin and its style file and manual live in
  // <prefix>/share/quillet: the dark look and the help find them there.
  void styleFileAndManualAreFoundInTheInstalledTree() {
    QTemporaryDir prefix;
    const QString share = prefix.path() + QStringLiteral("/share/quillet");
    QVERIFY(QDir().mkpath(prefix.path() + QStringLiteral("/bin")) && QDir().mkpath(share));
    for (const char *name : {"/Dark.vsf", "/Quillet.html"})
      QVERIFY(QFile::copy(QStringLiteral(QUILLET_SHELL_RESOURCES) + QLatin1String(name),
                          share + QLatin1String(name)));
    // An opener that notes what it was asked to open.
    WriteScript(prefix.path() + QStringLiteral("/xdg-open"),
                "#!/bin/sh\nprintf %s \"$1\" > \"$0.part\" && mv \"$0.part\" \"$0.opened\"\n");
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", prefix.path().toUtf8() + ':' + path);
    Tfrm_Main w;
    w.str_ProgramDir = prefix.path() + QStringLiteral("/bin");
    w.mnu_Dark->trigger();
    QVERIFY(w.ActiveStyle().has_value());
    w.mnu_Help->trigger();
    QFile opened(prefix.path() + QStringLiteral("/xdg-open.opened"));
    QTRY_VERIFY(opened.exists());
    QVERIFY(opened.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(opened.readAll()),
             QStringLiteral("file://") + share + QStringLiteral("/Quillet.html"));
    qputenv("PATH", path);
  }

  // Help and Play with no application to open the file (no opener, or one that finds no
  // application): a message names the file instead of nothing happening.
  void openingWithoutAnApplicationNamesTheFile_data() {
    QTest::addColumn<bool>("openerThere");
    QTest::newRow("no opener") << false;
    QTest::newRow("opener fails") << true;
  }
  void openingWithoutAnApplicationNamesTheFile() {
    QFETCH(bool, openerThere);
    QTemporaryDir bin;
    if (openerThere)
      WriteScript(bin.path() + QStringLiteral("/xdg-open"), "#!/bin/sh\nexit 3\n");
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toUtf8());
    Tfrm_Main w;
    w.str_ProgramDir = QStringLiteral(QUILLET_SHELL_RESOURCES);
    TMessageBoxCatcher catcher;
    w.mnu_Help->trigger();
    QTRY_COMPARE(catcher.Shown.size(), 1);
    QVERIFY(catcher.Shown[0].contains(QStringLiteral(QUILLET_SHELL_RESOURCES "/Quillet.html")));
    w.AppendEntry(Entry(QStringLiteral("/media/a/clip.mp4"), 1000000, 10));
    w.lw_Files->topLevelItem(0)->setSelected(true);
    w.PlaySelected();
    QTRY_COMPARE(catcher.Shown.size(), 2);
    QVERIFY(catcher.Shown[1].contains(QStringLiteral("/media/a/clip.mp4")));
    qputenv("PATH", path);
  }

  // A name or path cut by its column shows whole as a tooltip; a whole one has none.
  void cutNamesShowWholeAsTooltips() {
    Tfrm_Main w;
    w.AppendEntry(
        Entry(QStringLiteral("/media/a/the holiday by the sea, second week.mp4"), 1000000, 10));
    QTreeWidgetItem *item = w.lw_Files->topLevelItem(0);
    for (int column : {int(lcName), int(lcSource)}) {
      w.lw_Files->setColumnWidth(column, 60);
      QCOMPARE(item->data(column, Qt::ToolTipRole).toString(), item->text(column));
      w.lw_Files->setColumnWidth(column, 2000);
      QVERIFY(!item->data(column, Qt::ToolTipRole).isValid());
    }
  }

  void shortcutsReachTheirActions() {
    Tfrm_Main w;
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    AddThree(w);
    w.lw_Files->setFocus();
    QTest::keyClick(&w, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(w.SelectedEntries().size(), 3);
    // With "Use following path:" and no path, Convert and Extract audio stop at the error box;
    // the list gets the focus back afterwards.
    w.PageControl1->chk_Path->click();
    w.PageControl1->txt_Path->clear();
    auto refocus = [&w] {
      w.activateWindow();
      QVERIFY(QTest::qWaitForWindowActive(&w));
      w.lw_Files->setFocus();
    };
    TMessageBoxCatcher boxes;
    QTest::keyClick(&w, Qt::Key_F9);
    refocus();
    QTest::keyClick(&w, Qt::Key_E, Qt::ControlModifier);
    QCOMPARE(boxes.Shown, QStringList(2, QStringLiteral("Error|Output path is not specified.")));
    w.BuildVideoOptions();
    QCOMPARE(w.str_Options, QStringLiteral("-b:a 32k -c:a libmp3lame -c:v mpeg4 -sn "));
    w.BuildAudioOptions();
    QCOMPARE(w.str_Options, QStringLiteral("-b:a 32k -c:a libmp3lame -vn"));
    refocus();
    QTest::keyClick(&w, Qt::Key_Delete);
    QCOMPARE(w.EntryCount(), 0);
  }

  // After the FFmpeg command dialog the encoder lists may still belong to another container;
  // showing and reading the controls must keep that apart.
  void encoderListsOfAnotherContainerRoundTrip() {
    Tfrm_Main w;
    TConversionSettings S;
    S.VideoFormat = 2;       // MKV
    S.EncoderListFormat = 0; // lists still hold AVI's encoders
    S.VideoEncoder = 2;      // "DivX"
    S.AudioEncoder = 1;      // "AC3"
    S.Custom = "1920X816";
    S.VideoFrameSize = 29;
    w.PageControl1->ShowConversionSettings(S);
    QCOMPARE(w.PageControl1->cb_VideoFormat->currentText(), QStringLiteral("MKV"));
    QCOMPARE(w.PageControl1->cb_VideoEncoder->currentText(), QStringLiteral("DivX"));
    QCOMPARE(w.PageControl1->cb_AudioEncoder->currentText(), QStringLiteral("AC3"));
    QCOMPARE(w.PageControl1->cb_VideoFrameSize->currentText(), QStringLiteral("1920X816"));
    QVERIFY(w.PageControl1->ConversionSettings() == S);
    w.BuildVideoOptions();
    QVERIFY(w.str_Options.contains(QStringLiteral("scale=1920:816")));
    QVERIFY(w.str_Options.contains(QStringLiteral(" -c:v mpeg4 -tag:v DIVX")));
  }

  // A copied stream turns off what cannot apply to it (the effects too); the quality slider
  // follows the encoder's scale and starts at its default; the speed needs presets.
  void addedChoicesEnableWhatApplies() {
    Tfrm_Main w;
    TSettingsPanel *p = w.PageControl1;
    const auto choose = [](QComboBox *combo, const char *text) {
      combo->setCurrentIndex(combo->findText(QString::fromUtf8(text)));
      QVERIFY2(combo->currentIndex() >= 0, text);
      emit combo->activated(combo->currentIndex());
    };
    // AVI holds no subtitles, Matroska does; either takes them burned in.
    const auto itemEnabled = [](QComboBox *combo, int index) {
      return qobject_cast<QStandardItemModel *>(combo->model())->item(index)->isEnabled();
    };
    QVERIFY(p->cb_Subtitles->isEnabled());
    QVERIFY(!itemEnabled(p->cb_Subtitles, sbKeep) && itemEnabled(p->cb_Subtitles, sbBurn));
    QCOMPARE(p->cb_Subtitles->toolTip(),
             QStringLiteral("AVI holds no subtitles: they can be burned in, not kept"));
    choose(p->cb_VideoFormat, "MKV");
    QVERIFY(p->cb_Subtitles->isEnabled());
    QVERIFY(itemEnabled(p->cb_Subtitles, sbKeep));
    choose(p->cb_Subtitles, "Burn in first");
    QVERIFY(!p->cb_VideoRateControl->isEnabled()); // MPEG-4: bit rate only
    QVERIFY(!p->cb_VideoSpeed->isEnabled());
    choose(p->cb_VideoEncoder, CopyItem);
    choose(p->cb_AudioEncoder, CopyItem);
    for (QWidget *off : std::initializer_list<QWidget *>{
             p->cb_VideoAspect, p->cb_VideoFrameSize, p->btn_Custom, p->cb_VideoFrameRate,
             p->cb_VideoBitrate, p->cb_VideoRateControl, p->cb_VideoSpeed, p->cb_AudioSampleRate,
             p->cb_AudioChannel, p->cb_AudioBitrate, p->cb_AudioRateControl})
      QVERIFY2(!off->isEnabled(), qPrintable(off->objectName() + off->metaObject()->className()));
    QVERIFY(!w.mnu_Effects->isEnabled());
    // A copied stream cannot be drawn on: burning in is off, and left.
    QVERIFY(!itemEnabled(p->cb_Subtitles, sbBurn));
    QCOMPARE(p->cb_Subtitles->currentIndex(), int(sbNone));
    w.Effects.ef_VFlip = true;
    w.BuildVideoOptions();
    QCOMPARE(w.str_Options, QStringLiteral("-c:a copy -c:v copy -sn "));
    choose(p->cb_VideoEncoder, "H.265");
    QVERIFY(w.mnu_Effects->isEnabled());
    QVERIFY(p->cb_VideoRateControl->isEnabled() && p->cb_VideoSpeed->isEnabled());
    QVERIFY(p->sld_VideoQuality->isHidden());
    choose(p->cb_VideoRateControl, "Quality");
    // The slider takes the bit rate's place.
    QVERIFY(p->cb_VideoBitrate->isHidden());
    QVERIFY(!p->sld_VideoQuality->isHidden());
    QCOMPARE(p->sld_VideoQuality->maximum(), 51);
    QCOMPARE(p->sld_VideoQuality->value(), 28);
    QCOMPARE(p->lbl_VideoQuality->text(), QStringLiteral("28 (lower is better)"));
    p->sld_VideoQuality->setValue(20);
    choose(p->cb_VideoSpeed, "Fastest");
    w.BuildVideoOptions();
    QVERIFY2(w.str_Options.contains(QStringLiteral(" -c:v libx265 -crf 20 -preset ultrafast -vf")),
             qPrintable(w.str_Options));
    // Another encoder starts at its own default.
    choose(p->cb_VideoEncoder, "VP9");
    QCOMPARE(p->sld_VideoQuality->value(), 31);
    QCOMPARE(p->ConversionSettings().VideoQuality, -1);
    choose(p->cb_AudioEncoder, "MP3");
    QVERIFY(p->cb_AudioBitrate->isEnabled() && p->cb_AudioRateControl->isEnabled());
    choose(p->cb_AudioRateControl, "Quality");
    QCOMPARE(p->lbl_AudioQuality->text(), QStringLiteral("4 (lower is better)"));
    QVERIFY(p->cb_AudioBitrate->isHidden());
    // The languages' field applies to "Languages" only and says how its text reads.
    QVERIFY(!p->txt_AudioLanguages->isEnabled());
    choose(p->cb_AudioTracks, "Languages");
    QVERIFY(p->txt_AudioLanguages->isEnabled());
    QTest::keyClicks(p->txt_AudioLanguages, QStringLiteral("fr, xx"));
    QVERIFY2(p->txt_AudioLanguages->toolTip().contains(QStringLiteral("Reads as: fre\n")) &&
                 p->txt_AudioLanguages->toolTip().contains(QStringLiteral("No language code: xx")),
             qPrintable(p->txt_AudioLanguages->toolTip()));
    w.BuildVideoOptions();
    QVERIFY2(w.str_Options.contains(QStringLiteral(" -map 0:V:0? -map 0:a:m:language:fre? ")),
             qPrintable(w.str_Options));
    // Shown settings read back as they were given.
    TConversionSettings S = p->ConversionSettings();
    S.AudioQuality = 7;
    p->ShowConversionSettings(S);
    QVERIFY(p->ConversionSettings() == S);
  }

  // The lists offer only what the libraries have (on this machine no hardware encoder opens);
  // positions stay those of the full lists whatever is left out.
  void encoderListsOfferWhatTheLibrariesHave() {
    Tfrm_Main w;
    QSignalSpy checked(w.findChild<TEncoderCheck *>(), &TEncoderCheck::HardwareChecked);
    w.show(); // the libraries are asked once the window shows
    QVERIFY(checked.wait(10000));
    TSettingsPanel *p = w.PageControl1;
    TConversionSettings S;
    SelectVideoFormat(S, vfMKV);
    S.VideoEncoder = IndexOfItem(VideoEncoderItems(vfMKV), "VP9");
    S.AudioFormat = IndexOfItem(AudioFormatItems(), "Opus");
    p->ShowConversionSettings(S);
    const auto formats = [p] {
      QStringList items;
      for (int i = 0; i < p->cb_AudioFormat->count(); ++i)
        items << p->cb_AudioFormat->itemText(i);
      return items;
    };
    QCOMPARE(formats(), QStringList({"MP3", "WAV", "OGG", "FLAC", "WMA", "M4A", "Opus"}));
    QCOMPARE(p->cb_AudioFormat->currentText(), QStringLiteral("Opus"));
    if (!QFile::exists(QStringLiteral("/dev/dri")) &&
        !QFile::exists(QStringLiteral("/dev/nvidiactl")))
      for (const char *item : {"H.265 (VAAPI)", "H.265 (NVENC)", "H.265 (QSV)", "H.264 (QSV)"})
        QVERIFY2(p->cb_VideoEncoder->findText(QString::fromUtf8(item)) < 0, item);
    for (const char *item : {"H.264", "H.265", "VP9", "AV1", CopyItem})
      QVERIFY2(p->cb_VideoEncoder->findText(QString::fromUtf8(item)) >= 0, item);
    p->SetEncoderFilter([](const std::string &AEncoder) {
      return AEncoder != "libx265" && AEncoder != "libsvtav1" && AEncoder != "libopus" &&
             (AEncoder == "hevc_nvenc" || !IsHardwareEncoder(AEncoder));
    });
    QStringList items;
    for (int i = 0; i < p->cb_VideoEncoder->count(); ++i)
      items << p->cb_VideoEncoder->itemText(i);
    QCOMPARE(items, QStringList({"MPEG4", "H.264", "xVid", "VP9", "H.265 (NVENC)", CopyItem}));
    QCOMPARE(p->cb_VideoEncoder->currentText(), QStringLiteral("VP9"));
    QCOMPARE(p->ConversionSettings().VideoEncoder, S.VideoEncoder);
    QCOMPARE(p->cb_AudioEncoder->findText(QStringLiteral("Opus")), -1);
    // Without libopus the extraction falls back to the first format; M4A keeps its position.
    QCOMPARE(formats(), QStringList({"MP3", "WAV", "OGG", "FLAC", "WMA", "M4A"}));
    QCOMPARE(p->ConversionSettings().AudioFormat, 0);
    p->cb_AudioFormat->setCurrentIndex(p->cb_AudioFormat->findText(QStringLiteral("M4A")));
    QCOMPARE(p->ConversionSettings().AudioFormat, 5);
    w.BuildAudioOptions();
    QCOMPARE(w.str_Options, QStringLiteral("-b:a 32k -c:a aac -vn"));
    p->cb_VideoEncoder->setCurrentIndex(
        p->cb_VideoEncoder->findText(QStringLiteral("H.265 (NVENC)")));
    w.BuildVideoOptions();
    QVERIFY(w.str_Options.contains(QStringLiteral(" -c:v hevc_nvenc ")));
  }

  // Own presets: the current settings saved under a name, applied, renamed, exported, deleted
  // and imported again; the presets file keeps them for the next start.
  void ownPresetsOnTheProfilesPage() {
    TConversionSettings S;
    SelectVideoFormat(S, vfMKV);
    S.VideoEncoder = IndexOfItem(VideoEncoderItems(vfMKV), "H.265");
    S.VideoRateControl = rcQuality;
    S.Custom = "1920x816";
    const QString exported = FConfig->path() + QStringLiteral("/exported.ini");
    {
      Tfrm_Main w;
      TPresetsBox *box = w.PageControl1->box_Presets;
      QCOMPARE(box->cb_Presets->count(), 0);
      QVERIFY(!box->btn_PresetApply->isEnabled());
      w.PageControl1->ShowConversionSettings(S);
      QVERIFY(box->SaveCurrent(QStringLiteral("Small MKV")));
      TMessageBoxCatcher catcher;
      QVERIFY(!box->SaveCurrent(QStringLiteral("[bad]")));
      QCOMPARE(catcher.Shown.size(), 1);
      w.PageControl1->ShowConversionSettings(TConversionSettings());
      box->btn_PresetApply->click();
      QVERIFY(w.PageControl1->ConversionSettings() == S);
      QVERIFY(box->RenameSelected(QStringLiteral("Small")));
      QVERIFY(box->ExportTo(exported));
      box->DeleteSelected();
      QCOMPARE(box->cb_Presets->count(), 0);
      QVERIFY(box->ImportFrom(exported));
      QCOMPARE(box->cb_Presets->currentText(), QStringLiteral("Small"));
    }
    Tfrm_Main w;
    TPresetsBox *box = w.PageControl1->box_Presets;
    QCOMPARE(box->cb_Presets->count(), 1);
    QCOMPARE(box->cb_Presets->currentText(), QStringLiteral("Small"));
    QVERIFY(box->Presets().front().Settings == S);
  }

  void firstStartShowsTheDefaults() {
    Tfrm_Main w;
    TSettingsPanel *p = w.PageControl1;
    QCOMPARE(p->currentIndex(), 0);
    QCOMPARE(p->cb_Type->currentText(), QStringLiteral("General"));
    QCOMPARE(p->cb_Format->currentIndex(), 0);
    QCOMPARE(p->cb_VideoFormat->currentText(), QStringLiteral("AVI"));
    QCOMPARE(p->cb_VideoEncoder->currentText(), QStringLiteral("MPEG4"));
    QCOMPARE(p->cb_AudioEncoder->currentText(), QStringLiteral("MP3"));
    QCOMPARE(p->cb_AudioBitrate->currentText(), QStringLiteral("32"));
    QCOMPARE(p->cb_CPUUsage->currentText(), QStringLiteral("Normal"));
    QVERIFY(p->chk_Specify->isChecked());
    QVERIFY(!p->txt_Path->isEnabled());
    QVERIFY(w.mnu_Update->isChecked());
    QVERIFY(!w.mnu_Dark->isChecked());
    w.BuildVideoOptions();
    QCOMPARE(w.str_Options, QStringLiteral("-b:a 32k -c:a libmp3lame -c:v mpeg4 -sn "));
    w.BuildAudioOptions();
    QCOMPARE(w.str_Options, QStringLiteral("-b:a 32k -c:a libmp3lame -vn"));
  }

  void containerChoiceRefillsEncodersAndProfileApplies() {
    Tfrm_Main w;
    TSettingsPanel *p = w.PageControl1;
    p->cb_VideoFormat->setCurrentIndex(p->cb_VideoFormat->findText(QStringLiteral("MKV")));
    emit p->cb_VideoFormat->activated(p->cb_VideoFormat->currentIndex());
    QCOMPARE(p->cb_VideoEncoder->count(), 7); // four, then VP9, AV1 and the copy
    QCOMPARE(p->cb_VideoEncoder->itemText(3), QStringLiteral("xVid"));
    QCOMPARE(p->cb_VideoEncoder->currentText(), QStringLiteral("MPEG4"));
    QCOMPARE(p->cb_AudioEncoder->itemText(1), QStringLiteral("AAC"));
    // "HD AVC (*.mp4)" with "Original parameters" unchecked; the page says that a choice not
    // applied yet changes nothing.
    QVERIFY(p->lbl_NotApplied->isHidden());
    p->cb_Type->setCurrentIndex(1);
    emit p->cb_Type->activated(1);
    QVERIFY(!p->lbl_NotApplied->isHidden());
    QCOMPARE(p->lbl_NotApplied->text(), QStringLiteral("not applied; press Apply"));
    p->cb_Format->setCurrentIndex(p->cb_Format->findText(QStringLiteral("HD AVC (*.mp4)")));
    p->chk_OriginalSettings->setChecked(false);
    p->btn_Apply->click();
    QVERIFY(p->lbl_NotApplied->isHidden());
    const std::function<void()> choices[] = {
        [p] { emit p->cb_Format->activated(p->cb_Format->currentIndex()); },
        [p] { p->chk_OriginalSettings->click(); }};
    for (const auto &choose : choices) {
      choose();
      QVERIFY(!p->lbl_NotApplied->isHidden());
      p->btn_Apply->click();
      QVERIFY(p->lbl_NotApplied->isHidden());
    }
    p->chk_OriginalSettings->setChecked(false);
    p->btn_Apply->click();
    QCOMPARE(p->cb_VideoFormat->currentText(), QStringLiteral("MP4"));
    QCOMPARE(p->cb_VideoEncoder->currentText(), QStringLiteral("H.264"));
    QCOMPARE(p->cb_VideoFrameSize->currentText(), QStringLiteral("1920x1080"));
    QCOMPARE(p->cb_AudioBitrate->currentText(), QStringLiteral("192"));
    w.Effects.ef_VFlip = true;
    w.BuildVideoOptions();
    QVERIFY(w.str_Options.contains(QStringLiteral(" -vf \"scale=1920:1080,vflip\" ")));
  }

  void settingsSurviveCloseAndRestart() {
    {
      Tfrm_Main w;
      w.show();
      TSettingsPanel *p = w.PageControl1;
      p->chk_Path->setChecked(true);
      p->txt_Path->setText(QStringLiteral("/data/out"));
      p->cb_VideoFormat->setCurrentIndex(4);
      p->cb_VideoFormatChange();
      p->cb_VideoEncoder->setCurrentIndex(2);
      p->cb_VideoFrameSize->setItemText(p->cb_VideoFrameSize->count() - 1,
                                        QStringLiteral("1920x816"));
      p->cb_VideoFrameSize->setCurrentIndex(p->cb_VideoFrameSize->count() - 1);
      p->cb_Threads->setCurrentIndex(3);
      p->setCurrentIndex(3);
      w.mnu_Update->setChecked(false);
      w.str_AddPath = QStringLiteral("/home/me/Videos");
      w.int_AddView = 2;
      w.lw_Files->setColumnWidth(1, 123);
      w.close();
    }
    QVERIFY(QFile::exists(SettingsFile(*FConfig)));
    Tfrm_Main w;
    TSettingsPanel *p = w.PageControl1;
    QVERIFY(p->chk_Path->isChecked());
    QVERIFY(p->txt_Path->isEnabled());
    QCOMPARE(p->txt_Path->text(), QStringLiteral("/data/out"));
    QCOMPARE(p->cb_VideoFormat->currentText(), QStringLiteral("MP4"));
    QCOMPARE(p->cb_VideoEncoder->currentText(), QStringLiteral("H.265"));
    QCOMPARE(p->cb_VideoFrameSize->currentText(), QStringLiteral("1920x816"));
    QCOMPARE(p->cb_Threads->currentText(), QStringLiteral("4"));
    QCOMPARE(p->currentIndex(), 3);
    QVERIFY(!w.mnu_Update->isChecked());
    QCOMPARE(w.str_AddPath, QStringLiteral("/home/me/Videos"));
    QCOMPARE(w.int_AddView, 2);
    QCOMPARE(w.lw_Files->columnWidth(1), 123);
  }

  // The program's folder (here the test's) holds Dark.vsf: a saved dark look is applied at start.
  void darkLookIsRestoredAtStart() {
    {
      Tfrm_Main w;
      w.str_ProgramDir = QStringLiteral(QUILLET_SHELL_RESOURCES);
      w.mnu_Dark->trigger();
      w.show();
      w.close();
    }
    QApplication::setPalette(QApplication::style()->standardPalette());
    Tfrm_Main w;
    QVERIFY(w.mnu_Dark->isChecked());
    QVERIFY(w.ActiveStyle().has_value());
    QCOMPARE(w.btn_Convert->FaceColor(), w.ActiveStyle()->ButtonHot);
    QCOMPARE(QApplication::palette().color(QPalette::Base), w.ActiveStyle()->Base);
  }

  // Sizes the screen cannot show are not applied, and so not saved again either.
  void storedSizesFitTheScreen() {
    WriteSettings(*FConfig, "[Quillet]\nWidth=16000\nHeight=16000\nColumn1=16000\nColumn4=16000\n");
    QRect area;
    {
      Tfrm_Main w;
      w.show();
      area = w.screen()->availableGeometry();
      QVERIFY(area.contains(w.frameGeometry()));
      QVERIFY(w.lw_Files->columnWidth(0) <= area.width());
      w.close();
    }
    QVERIFY(SavedInteger(*FConfig, "Width") <= area.width());
    QVERIFY(SavedInteger(*FConfig, "Height") <= area.height());
    QVERIFY(SavedInteger(*FConfig, "Column1") <= area.width());
    QVERIFY(SavedInteger(*FConfig, "Column4") <= area.width());
  }

  // "Source" fills the rest of the list on screen, but its saved width is the one set: by
  // default a quarter of the list, else what the file or the user gave it.
  void sourceColumnSavesTheSetWidthNotTheFilledOne() {
    int designWidth = 0;
    {
      Tfrm_Main w;
      w.show();
      designWidth = w.DesignWidth;
      w.close();
    }
    QCOMPARE(SavedInteger(*FConfig, "Column4"), designWidth / 4);
    WriteSettings(*FConfig, "[Quillet]\nColumn1=100\nColumn2=100\nColumn3=100\nColumn4=120\n");
    {
      Tfrm_Main w;
      w.show();
      QHeaderView *header = w.lw_Files->header();
      QTRY_COMPARE(header->sectionPosition(3) + header->sectionSize(3),
                   w.lw_Files->viewport()->width());
      QVERIFY(header->sectionSize(3) > 120);
      w.close();
    }
    QCOMPARE(SavedInteger(*FConfig, "Column4"), 120);
    {
      Tfrm_Main w;
      w.show();
      QHeaderView *header = w.lw_Files->header();
      header->resizeSection(3, 150); // as a drag of its edge does
      QCOMPARE(header->sectionPosition(3) + header->sectionSize(3),
               w.lw_Files->viewport()->width());
      w.close();
    }
    QCOMPARE(SavedInteger(*FConfig, "Column4"), 150);
  }

  // A settings file that cannot be read (here a folder in its place; as root even mode 000
  // reads) gives the defaults, one warning, and is left as it is at close.
  void unreadableSettingsAreLeftAloneWithOneWarning() {
    QVERIFY(QDir().mkpath(SettingsFile(*FConfig)));
    TMessageBoxCatcher boxes;
    {
      Tfrm_Main w;
      QCOMPARE(w.PageControl1->cb_VideoFormat->currentText(), QStringLiteral("AVI"));
      w.show();
      QTRY_COMPARE(boxes.Shown.size(), 1);
      w.PageControl1->setCurrentIndex(3);
      w.close();
      QTest::qWait(50);
    }
    QCOMPARE(boxes.Shown.size(), 1);
    QVERIFY2(boxes.Shown[0].startsWith(QStringLiteral("Warning|The settings file %1 cannot be "
                                                      "read (not a regular file).")
                                           .arg(SettingsFile(*FConfig))),
             qPrintable(boxes.Shown[0]));
    QVERIFY(QFileInfo(SettingsFile(*FConfig)).isDir());
  }

  void terminationSignalsCloseTheWindowAndSave_data() {
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
  }

  // The signal arrives while a modal window is open over the main window: both close.
  void terminationSignalsCloseTheWindowAndSave() {
    QFETCH(int, signal);
    std::signal(signal, SIG_DFL); // as at an ordinary start, not under nohup
    {
      Tfrm_Main w;
      TTerminationSignals termination([&w](int) { w.CloseWithModals(); });
      w.show();
      w.PageControl1->setCurrentIndex(3);
      QDialog dialog(&w);
      QTimer::singleShot(0, [signal] { raise(signal); });
      dialog.exec();
      QTRY_VERIFY(!w.isVisible());
    }
    std::signal(signal, SIG_DFL);
    QCOMPARE(SavedInteger(*FConfig, "Tab"), 3);
  }

  // Told to end while the adding window runs (files handed over by a second start, say):
  // the run is cancelled and the windows close once it has ended.
  void endingWhileAddingClosesOnceTheRunHasEnded() {
    Tfrm_Main w;
    w.show();
    QTimer::singleShot(50, &w, [&w] { w.CloseWithModals(); });
    w.DroppedFiles = {QStringLiteral("/nonexistent/a.mp4"), QStringLiteral("/nonexistent/b")};
    w.AddFiles();
    QTRY_VERIFY(!w.isVisible());
  }

  // The program itself: a SIGTERM blocked until the program can handle it closes the window
  // normally (exit status 0) with the settings saved.
  void programEndsNormallyOnSigterm() {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("APPDATA"), FConfig->path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), FConfig->path()); // its own window socket
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.setChildProcessModifier([] {
      sigset_t set;
      sigemptyset(&set);
      sigaddset(&set, SIGTERM);
      sigprocmask(SIG_BLOCK, &set, nullptr);
    });
    program.start(QStringLiteral(QUILLET_PROGRAM), {});
    QVERIFY(program.waitForStarted());
    ::kill(pid_t(program.processId()), SIGTERM);
    const bool finished = program.waitForFinished(30000);
    if (!finished)
      program.kill();
    QVERIFY(finished);
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(QFile::exists(SettingsFile(*FConfig)));
  }

  void restoreDefaultsDeletesTheFileAndResets() {
    Tfrm_Main w;
    w.show();
    w.PageControl1->cb_VideoFormat->setCurrentIndex(2);
    w.PageControl1->cb_VideoFormatChange();
    w.PageControl1->setCurrentIndex(4);
    w.Effects.ef_Rotate = true;
    w.Effects.ef_Degrees = 2;
    w.resize(600, 500);
    w.close();
    QVERIFY(QFile::exists(SettingsFile(*FConfig)));
    w.show();
    w.mnu_Defaults->trigger();
    QVERIFY(!QFile::exists(SettingsFile(*FConfig)));
    QCOMPARE(w.PageControl1->currentIndex(), 0);
    QCOMPARE(w.PageControl1->cb_VideoFormat->currentText(), QStringLiteral("AVI"));
    QVERIFY(w.Effects == TEffects());
    // The design size, as far as the screen has room for it with the window's frame.
    const QRect area = w.screen()->availableGeometry();
    const QSize frame = w.frameGeometry().size() - w.size();
    QCOMPARE(w.size(), QSize(w.DesignWidth, w.DesignHeight).boundedTo(area.size() - frame));
    QVERIFY(area.contains(w.frameGeometry()));
    QCOMPARE(w.lw_Files->columnWidth(1), w.DesignWidth / 5);
  }
};

QTEST_MAIN(Tfrm_MainTest)
#include "Tfrm_MainTest.moc"

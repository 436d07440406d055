// The job windows on real files: every entry converted through the engine, the per-file
// failures reported while the batch goes on, the batch's summary, the overwrite question,
// outputs of one name and a source that would be its own output, Pause/Resume/Stop and audio
// extraction.
#include <gtest/gtest.h>

#include "JobTestSupport.h"
#include "components/encoder/TFFEncoder.h"
#include "jobs/Tfrm_Audio.h"
#include "jobs/Tfrm_Video.h"
#include "media/ui/TPreviewerForm.h"
#include "shell/MainThreadDispatcher.h"
#include "shell/settings/OptionBuilders.h"
#include "shell/settings/SettingsLists.h"

#include <QCheckBox>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QUrl>
#include <QVariantMap>

// Takes the URLs the desktop would open.
class TUrlCatcher : public QObject {
  Q_OBJECT
public:
  QList<QUrl> Urls;
public slots:
  void Open(const QUrl &AUrl) { Urls << AUrl; }
};

// A stand-in for the desktop's notification service.
class TFakeNotifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
  QStringList Bodies;
public slots:
  uint Notify(const QString &, uint, const QString &, const QString &, const QString &ABody,
              const QStringList &, const QVariantMap &, int) {
    Bodies << ABody;
    return uint(Bodies.size());
  }
};

namespace {

class JobWindows : public testing::Test {
protected:
  void SetUp() override { InstallMainThreadDispatcher(qApp); }

  // Shows the window and waits until its job has ended (Close enabled again).
  static void RunToEnd(Tfrm_Video &AWindow, int ASeconds = 120) {
    AWindow.show();
    ASSERT_TRUE(WaitFor([&] { return AWindow.Completed() || AWindow.Cancelled(); }, ASeconds));
    ASSERT_TRUE(WaitFor([&] { return AWindow.btn_Close->isEnabled(); }, ASeconds));
  }
  static QString Log(Tfrm_Video &AWindow) { return AWindow.log_Main->toPlainText(); }

  TJobRecord VideoJob(const QList<TFileEntry> &AEntries, const QString &AOptions,
                      const QString &AFormat) {
    TJobRecord job;
    job.Entries = AEntries;
    job.Options = AOptions;
    job.OutputPath = Out.path() + QLatin1Char('/');
    job.VideoFormat = AFormat;
    return job;
  }
  QTemporaryDir Out;
};

TEST_F(JobWindows, BatchGoesOnPastVanishedAndCorruptSources) {
  QTemporaryDir sources;
  const QString vanished = sources.filePath(QStringLiteral("vanished.mp4"));
  QFile::copy(Fixture("av.mp4"), vanished);
  const QString corrupt = sources.filePath(QStringLiteral("corrupt.mp4"));
  {
    QFile file(corrupt);
    file.open(QIODevice::WriteOnly);
    file.write(QByteArray(4096, '\x5a'));
  }
  TJobRecord job =
      VideoJob({EntryFor(Fixture("av.mp4")), EntryFor(vanished), EntryFor(corrupt),
                EntryFor(Fixture("av.avi"))},
               QStringLiteral("-c:v mpeg4 -b:v 400k -c:a aac -b:a 64k"), QStringLiteral("MKV"));
  // A folder that does not exist yet is created with its parents.
  job.OutputPath = Out.filePath(QStringLiteral("new/deeper/"));
  QFile::remove(vanished);
  // The fourth entry's output has the first one's name: it is numbered, not asked about.
  TBoxAnswerer answerer(QMessageBox::Yes);
  Tfrm_Video window(nullptr, job);
  RunToEnd(window);
  EXPECT_EQ(answerer.Answered, 0);
  EXPECT_TRUE(window.Completed());
  const QString log = Log(window);
  for (const char *name : {"av.mkv", "av (2).mkv"}) {
    const QString output = job.OutputPath + QString::fromLatin1(name);
    EXPECT_EQ(ProbeFacts(output), QStringLiteral("mpeg4,aac")) << name;
    EXPECT_NEAR(ProbeDuration(output), 2.0, 0.2) << name;
  }
  EXPECT_TRUE(log.contains(QStringLiteral("File #4\n") + Fixture("av.avi")));
  EXPECT_TRUE(log.contains(QStringLiteral("File #1\n")));
  EXPECT_EQ(window.FailedFiles(), 2);
  // The vanished source is named and fails; the batch goes on past it.
  EXPECT_TRUE(log.contains(QStringLiteral("File #2\n") + vanished +
                           QStringLiteral("\nLoading file... Error! ")));
  EXPECT_TRUE(log.contains(QStringLiteral("File #3\n") + corrupt +
                           QStringLiteral("\nLoading file... Error! ")));
  EXPECT_TRUE(log.contains(QStringLiteral("Parameters -c:v mpeg4 -b:v 400k -c:a aac -b:a 64k")));
  EXPECT_TRUE(log.contains(QStringLiteral("Applying parameters... OK\nProcessing file...\n") +
                           job.OutputPath + QStringLiteral("av.mkv")));
  // The summary counts each file once, in the log and on the window; the whole batch is done.
  const QString summary = QStringLiteral("2 converted, 2 failed, 0 skipped, 0 stopped");
  EXPECT_TRUE(log.endsWith(QStringLiteral("\n\n") + summary + QStringLiteral("\nDone.")))
      << log.toStdString();
  EXPECT_EQ(window.lbl_Summary->text(), summary);
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Done"));
  EXPECT_EQ(window.lbl_File->text(), QStringLiteral("Done."));
  EXPECT_EQ(window.lbl_Percent->text(), QStringLiteral("100%"));
  EXPECT_EQ(window.lbl_Batch->text(), QStringLiteral("All files: 100%"));
  EXPECT_EQ(window.prg_Batch->value(), 100);
  EXPECT_TRUE(window.lbl_FPS->text().endsWith(QStringLiteral("iB")) ||
              window.lbl_FPS->text().endsWith(QStringLiteral(" bytes")))
      << window.lbl_FPS->text().toStdString();
  // "Open folder" hands the output folder to the desktop.
  TUrlCatcher catcher;
  QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "Open");
  ASSERT_TRUE(window.btn_OpenFolder->isVisible());
  window.btn_OpenFolder->click();
  QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
  ASSERT_EQ(catcher.Urls.size(), 1);
  EXPECT_EQ(QDir(catcher.Urls.first().toLocalFile()), QDir(job.OutputPath));
}

// A file that fails counts toward the batch's progress like any other: the bar moves past it,
// also when its length cannot be known, and reaches 100% at the end of a batch of failures.
TEST_F(JobWindows, TheBatchBarMovesPastAFailedFile) {
  QTemporaryDir sources;
  const QString corrupt = sources.filePath(QStringLiteral("corrupt.mp4"));
  {
    QFile file(corrupt);
    file.open(QIODevice::WriteOnly);
    file.write(QByteArray(4096, '\x5a'));
  }
  {
    Tfrm_Video window(nullptr, VideoJob({EntryFor(corrupt), EntryFor(Fixture("av.mp4"))},
                                        QStringLiteral("-c:v mpeg4 -an"), QStringLiteral("AVI")));
    int atSecond = -1;
    window.show();
    ASSERT_TRUE(WaitFor([&] { return Log(window).contains(QStringLiteral("File #2")); }));
    atSecond = window.prg_Batch->value();
    EXPECT_GE(atSecond, 50) << "the failed first file counts half the batch";
    ASSERT_TRUE(WaitFor([&] { return window.Completed() || window.Cancelled(); }));
    ASSERT_TRUE(WaitFor([&] { return window.btn_Close->isEnabled(); }));
    EXPECT_EQ(window.prg_Batch->value(), 100);
  }
  Tfrm_Video window(nullptr, VideoJob({EntryFor(corrupt), EntryFor(sources.filePath("gone.mp4"))},
                                      QStringLiteral("-c:v mpeg4 -an"), QStringLiteral("AVI")));
  RunToEnd(window);
  EXPECT_EQ(window.FailedFiles(), 2);
  EXPECT_EQ(window.prg_Batch->value(), 100);
  EXPECT_EQ(window.lbl_Batch->text(), QStringLiteral("All files: 100%"));
}

// A task the engine cannot run to its end is reported as failed, never as a success.
TEST_F(JobWindows, AFailedTaskEndsWithFailedNotSuccess) {
  Tfrm_Video window(nullptr, VideoJob({EntryFor(Fixture("av.mp4"))},
                                      QStringLiteral("-s 641x361 -c:v libx264 -c:a aac"),
                                      QStringLiteral("MP4")));
  RunToEnd(window);
  const QString log = Log(window);
  const QString task = log.mid(log.indexOf(QStringLiteral("Processing file...")));
  EXPECT_TRUE(task.contains(QStringLiteral("width or height"))) << log.toStdString();
  EXPECT_TRUE(task.contains(QStringLiteral("\nFailed\n"))) << log.toStdString();
  EXPECT_FALSE(task.contains(QStringLiteral("Success!")));
  EXPECT_EQ(window.FailedFiles(), 1);
  EXPECT_EQ(window.ConvertedFiles(), 0);
  EXPECT_EQ(window.lbl_Summary->text(),
            QStringLiteral("0 converted, 1 failed, 0 skipped, 0 stopped"));
  EXPECT_NE(window.lbl_Percent->text(), QStringLiteral("100%"));
}

// Files that were there before the batch are asked about, one by one or once for all.
TEST_F(JobWindows, OverwriteQuestionAnsweredForOneOrForAll) {
  const QStringList outputs{Out.filePath(QStringLiteral("av.mp4")),
                            Out.filePath(QStringLiteral("audio_first.mp4"))};
  const struct {
    QMessageBox::StandardButton Answer;
    int Questions;
    bool Replaced;
  } cases[] = {{QMessageBox::No, 2, false},
               {QMessageBox::Yes, 2, true},
               {QMessageBox::NoToAll, 1, false},
               {QMessageBox::YesToAll, 1, true}};
  for (const auto &c : cases) {
    for (const QString &output : outputs) {
      QFile file(output);
      file.open(QIODevice::WriteOnly | QIODevice::Truncate);
      file.write("old contents");
    }
    TBoxAnswerer answerer(c.Answer);
    Tfrm_Video window(nullptr,
                      VideoJob({EntryFor(Fixture("av.avi")), EntryFor(Fixture("audio_first.mkv"))},
                               QStringLiteral("-c:v mpeg4 -c:a aac"), QStringLiteral("MP4")));
    RunToEnd(window);
    ASSERT_EQ(answerer.Answered, c.Questions) << c.Answer;
    EXPECT_EQ(answerer.Texts.first(),
              QStringLiteral("File \"av.mp4\" already exists!\r\rOverwrite existing file?"));
    EXPECT_EQ(Log(window).count(QStringLiteral("Skipped!")), c.Replaced ? 0 : 2) << c.Answer;
    EXPECT_EQ(window.SkippedFiles(), c.Replaced ? 0 : 2);
    for (const QString &output : outputs) {
      QFile file(output);
      file.open(QIODevice::ReadOnly);
      EXPECT_EQ(file.readAll() == QByteArray("old contents"), !c.Replaced)
          << output.toStdString() << " " << c.Answer;
    }
  }
}

// Two sources of one base name into one folder: both outputs are kept, the second numbered,
// and nothing is asked.
TEST_F(JobWindows, SourcesOfOneNameGiveNumberedOutputs) {
  QTemporaryDir sources;
  QDir(sources.path()).mkpath(QStringLiteral("a"));
  QDir(sources.path()).mkpath(QStringLiteral("b"));
  const QStringList pairs[] = {
      {QStringLiteral("a/clip1.mp4"), QStringLiteral("b/clip1.mp4")},
      {QStringLiteral("a/clip.mp4"), QStringLiteral("a/clip.mkv")},
  };
  for (const QStringList &pair : pairs) {
    QList<TFileEntry> entries;
    for (const QString &name : pair) {
      QFile::copy(Fixture("av.mp4"), sources.filePath(name));
      entries << EntryFor(sources.filePath(name));
    }
    QTemporaryDir out;
    TJobRecord job =
        VideoJob(entries, QStringLiteral("-c:v mpeg4 -c:a mp3"), QStringLiteral("AVI"));
    job.OutputPath = out.path() + QLatin1Char('/');
    TBoxAnswerer answerer(QMessageBox::Yes);
    Tfrm_Video window(nullptr, job);
    RunToEnd(window);
    EXPECT_EQ(answerer.Answered, 0);
    EXPECT_EQ(window.ConvertedFiles(), 2);
    const QString base = QFileInfo(pair.first()).completeBaseName();
    for (const QString &name : {base + QStringLiteral(".avi"), base + QStringLiteral(" (2).avi")})
      EXPECT_EQ(ProbeFacts(out.filePath(name)), QStringLiteral("mpeg4,mp3")) << name.toStdString();
  }
}

// An output that would be its own source (no output folder, or the source's folder chosen)
// is numbered; the source is never touched.
TEST_F(JobWindows, AnOutputNeverReplacesItsOwnSource) {
  const QString source = Out.filePath(QStringLiteral("clip1.mp4"));
  QFile::copy(Fixture("av.mp4"), source);
  const QByteArray before = Digest(source);
  for (const QString &folder : {QString(), Out.path() + QLatin1Char('/')}) {
    TJobRecord job =
        VideoJob({EntryFor(source)}, QStringLiteral("-c:v mpeg4 -c:a aac"), QStringLiteral("MP4"));
    job.OutputPath = folder;
    TBoxAnswerer answerer(QMessageBox::Yes);
    Tfrm_Video window(nullptr, job);
    RunToEnd(window);
    EXPECT_EQ(answerer.Answered, 0);
    EXPECT_EQ(window.ConvertedFiles(), 1) << Log(window).toStdString();
    const QString output = Out.filePath(QStringLiteral("clip1 (1).mp4"));
    EXPECT_EQ(ProbeFacts(output), QStringLiteral("mpeg4,aac"));
    EXPECT_EQ(Digest(source), before);
    QFile::remove(output);
  }
}

TEST_F(JobWindows, PauseResumeAndStopOnALongerClip) {
  const QString source = Out.filePath(QStringLiteral("long.avi"));
  ASSERT_EQ(MakeClip(source, {QStringLiteral("testsrc=size=320x240:rate=25:duration=60")}), 0);
  TJobRecord job = VideoJob({EntryFor(source)}, QStringLiteral("-c:v libx264 -preset veryslow"),
                            QStringLiteral("MKV"));
  Tfrm_Video window(nullptr, job);
  window.show();
  ASSERT_TRUE(WaitFor([&] { return window.lbl_FPS->text().endsWith(QStringLiteral("iB")); }));
  window.btn_PauseClick();
  EXPECT_EQ(window.btn_Pause->text(), QStringLiteral("Resume"));
  const int elapsed = window.JobSeconds();
  QTest::qWait(2500);
  EXPECT_EQ(window.JobSeconds(), elapsed); // paused time is not counted
  window.btn_PauseClick();
  EXPECT_EQ(window.btn_Pause->text(), QStringLiteral("Pause"));
  QTest::qWait(300);
  window.btn_StopClick();
  // The window answers while the task ends.
  EXPECT_FALSE(window.btn_Stop->isEnabled());
  ASSERT_TRUE(WaitFor([&] { return window.btn_Close->isEnabled(); }));
  // The window and the log say it stopped, where, and what the output holds.
  const QString log = Log(window);
  EXPECT_TRUE(log.contains(QStringLiteral("Paused!\nResumed!\nCancelled by user!\nStopped at 00:")))
      << log.toStdString();
  EXPECT_TRUE(log.contains(QStringLiteral(" of 00:01:00; the output holds what was converted\n"
                                          "0 converted, 0 failed, 0 skipped, 1 stopped\nStopped.")))
      << log.toStdString();
  EXPECT_FALSE(log.section(QStringLiteral("File #1"), 1).contains(QStringLiteral("Success!")));
  EXPECT_FALSE(log.contains(QStringLiteral("Done.")));
  EXPECT_EQ(window.lbl_File->text(), QStringLiteral("Stopped."));
  EXPECT_EQ(window.windowTitle(), QStringLiteral("Stopped"));
  EXPECT_LT(window.prg_Process->value(), 100);
  EXPECT_EQ(window.lbl_Percent->text(), QStringLiteral("%1%").arg(window.prg_Process->value()));
  EXPECT_EQ(window.StoppedFiles(), 1);
  EXPECT_TRUE(window.btn_Stop->isHidden());
  EXPECT_TRUE(window.lbl_FPS->text().isEmpty());
  EXPECT_FALSE(window.Completed());
  // What was written before the stop is a playable file.
  const QString output = job.OutputPath + QStringLiteral("long.mkv");
  EXPECT_EQ(ProbeFacts(output), QStringLiteral("h264"));
  EXPECT_GT(ProbeDuration(output), 0.0);
  EXPECT_LT(ProbeDuration(output), 60.0);
}

// At the end of a job the desktop is told the counts, unless the job window is the one in use.
// The notification service is a stand-in on a bus of the test's own.
TEST_F(JobWindows, TheDesktopHearsOfTheEndWhenTheWindowIsNotInUse) {
  QProcess daemon;
  daemon.start(
      QStringLiteral("dbus-daemon"),
      {QStringLiteral("--session"), QStringLiteral("--print-address"), QStringLiteral("--nofork")});
  ASSERT_TRUE(daemon.waitForReadyRead(30000));
  const QByteArray address = daemon.readLine().trimmed();
  const QByteArray saved = qgetenv("DBUS_SESSION_BUS_ADDRESS");
  qputenv("DBUS_SESSION_BUS_ADDRESS", address);
  const QString serviceName = QStringLiteral("fake-notifications");
  TFakeNotifications fake;
  {
    QDBusConnection service =
        QDBusConnection::connectToBus(QString::fromUtf8(address), serviceName);
    ASSERT_TRUE(service.isConnected());
    ASSERT_TRUE(service.registerService(QStringLiteral("org.freedesktop.Notifications")));
    ASSERT_TRUE(service.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &fake,
                                       QDBusConnection::ExportAllSlots));
  }
  const QString source = Out.filePath(QStringLiteral("four.mkv"));
  ASSERT_EQ(MakeClip(source, {QStringLiteral("testsrc=size=160x120:rate=25:duration=4")}), 0);
  // First in use, then not: a notification of the first would arrive before the second's.
  for (const bool inUse : {true, false}) {
    QTemporaryDir out;
    TJobRecord job = VideoJob({EntryFor(source)}, QStringLiteral("-vf realtime -c:v mpeg4"),
                              QStringLiteral("MKV"));
    job.OutputPath = out.path() + QLatin1Char('/');
    Tfrm_Video window(nullptr, job);
    QWidget other;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(WaitFor([&] { return window.lbl_FPS->text().endsWith(QStringLiteral("iB")); }));
    if (!inUse) {
      // Another window is taken up while the task is paused.
      window.btn_PauseClick();
      other.show();
      other.activateWindow();
      ASSERT_TRUE(WaitFor([&] { return other.isActiveWindow(); }));
      window.btn_PauseClick();
    }
    ASSERT_TRUE(WaitFor([&] { return window.btn_Close->isEnabled(); }));
    EXPECT_TRUE(window.Completed());
    EXPECT_EQ(window.isActiveWindow(), inUse);
  }
  ASSERT_TRUE(WaitFor([&] { return !fake.Bodies.isEmpty(); }));
  EXPECT_EQ(fake.Bodies,
            QStringList{QStringLiteral("1 converted, 0 failed, 0 skipped, 0 stopped")});
  QDBusConnection::disconnectFromBus(serviceName);
  qputenv("DBUS_SESSION_BUS_ADDRESS", saved);
  daemon.kill();
  daemon.waitForFinished();
}

TPreviewerForm *ShownPreview() {
  for (QWidget *w : QApplication::topLevelWidgets())
    if (auto *form = qobject_cast<TPreviewerForm *>(w); form && form->isVisible())
      return form;
  return nullptr;
}

// "Preview" shows the output pictures over the modal job window; closing the preview ends the
// previews of that task while its conversion goes on to the end.
TEST_F(JobWindows, PreviewShowsThePicturesAndClosingItLetsTheConversionGoOn) {
  const QString source = Out.filePath(QStringLiteral("four.mkv"));
  ASSERT_EQ(MakeClip(source, {QStringLiteral("testsrc=size=320x240:rate=25:duration=4"),
                              QStringLiteral("sine=frequency=440:duration=4")}),
            0);
  InstallPreviewerWindows();
  TJobRecord job =
      VideoJob({EntryFor(source)},
               QStringLiteral("-vf realtime -c:v libx264 -c:a aac"), // 4 s on any machine
               QStringLiteral("MP4"));
  job.Preview = true;
  Tfrm_Video window(nullptr, job);
  EXPECT_TRUE(window.chk_Preview->isChecked());
  window.setWindowModality(Qt::ApplicationModal); // as exec() shows it
  window.show();
  ASSERT_TRUE(WaitFor([&] { return ShownPreview() != nullptr; }));
  const QPointer<TPreviewerForm> form = ShownPreview();
  ASSERT_TRUE(WaitFor([&] { return form && !form->Image().isNull(); }));
  EXPECT_EQ(form->Image().size(), QSize(320, 240));
  EXPECT_NE(form->Image().pixelColor(40, 60), form->Image().pixelColor(280, 60)); // test bars
  EXPECT_FALSE(window.Completed());
  ASSERT_FALSE(form.isNull());
  form->close(); // as the user does
  bool shownAgain = false;
  ASSERT_TRUE(WaitFor([&] {
    shownAgain = shownAgain || ShownPreview() != nullptr;
    return window.btn_Close->isEnabled();
  }));
  SetPreviewWindowFactory(nullptr);
  EXPECT_FALSE(shownAgain);
  EXPECT_TRUE(window.Completed());
  EXPECT_FALSE(Log(window).contains(QStringLiteral("Error"))) << Log(window).toStdString();
  const QString output = job.OutputPath + QStringLiteral("four.mp4");
  EXPECT_EQ(ProbeFacts(output), QStringLiteral("h264,aac"));
  EXPECT_NEAR(ProbeDuration(output), 4.0, 0.2);
}

// The choice reaches the encoder; the audio job has none.
TEST_F(JobWindows, PreviewSwitchesTheEncodersPreviews) {
  TJobRecord job = VideoJob({}, QString(), QStringLiteral("MKV"));
  Tfrm_Video video(nullptr, job);
  EXPECT_FALSE(video.chk_Preview->isChecked()); // off unless the record says so
  video.chk_Preview->click();
  EXPECT_TRUE(video.Encoder().PreviewVideo());
  EXPECT_TRUE(video.Encoder().PreviewAudio());
  video.chk_Preview->click();
  EXPECT_FALSE(video.Encoder().PreviewVideo());
  EXPECT_FALSE(video.Encoder().PreviewAudio());
  job.Preview = true;
  Tfrm_Audio audio(nullptr, job);
  EXPECT_TRUE(audio.chk_Preview->isHidden());
  EXPECT_FALSE(audio.Encoder().PreviewVideo());
  EXPECT_FALSE(audio.Encoder().PreviewAudio());
}

// Each format's extension decides the container: MP3, and the added AAC in MP4 (".m4a") and
// Opus in Ogg (".opus") from the settings' own option strings.
TEST_F(JobWindows, AudioExtractionWritesTheFormatsExtension) {
  const auto built = [](const char *AFormat) {
    TConversionSettings S;
    S.AudioFormat = IndexOfItem(AudioFormatItems(), AFormat);
    return QString::fromStdString(BuildAudioOptions(S));
  };
  const struct {
    int Format;
    QString Options;
    const char *Name, *Facts;
  } cases[] = {{0, QStringLiteral("-vn -c:a libmp3lame -b:a 128k"), "av.mp3", "mp3,mp3"},
               {5, built("M4A"), "av.m4a", "aac,\"mov,mp4,m4a,3gp,3g2,mj2\""},
               {6, built("Opus"), "av.opus", "opus,ogg"}};
  for (const auto &c : cases) {
    TJobRecord job = VideoJob({EntryFor(Fixture("av.mp4"))}, c.Options, {});
    job.AudioFormat = c.Format;
    Tfrm_Audio window(nullptr, job);
    EXPECT_EQ(window.lbl_File->text(), QStringLiteral("Saving audio..."));
    RunToEnd(window);
    EXPECT_TRUE(window.Completed()) << c.Name;
    const QString output = job.OutputPath + QString::fromLatin1(c.Name);
    EXPECT_EQ(ProbeFacts(output, QStringLiteral("stream=codec_name:format=format_name")),
              QString::fromLatin1(c.Facts));
    EXPECT_NEAR(ProbeDuration(output), 2.0, 0.2) << c.Name;
  }
  EXPECT_EQ(Tfrm_Audio::AudioExtension(3), QStringLiteral(".flac"));
  EXPECT_EQ(Tfrm_Audio::AudioExtension(7), QString());
}

// Six files three at once: never more than three run, each running file has its row, each
// file's log lines carry its number, and every output is whole.
TEST_F(JobWindows, SixFilesThreeAtOnce) {
  QTemporaryDir sources;
  QList<TFileEntry> entries;
  for (int i = 1; i <= 6; ++i) {
    const QString source = sources.filePath(QStringLiteral("clip%1.mp4").arg(i));
    QFile::copy(Fixture("av.mp4"), source);
    entries << EntryFor(source);
  }
  TJobRecord job = VideoJob(entries, QStringLiteral("-c:v mpeg4 -c:a aac"), QStringLiteral("MKV"));
  job.FilesAtOnce = 3;
  Tfrm_Video window(nullptr, job);
  ASSERT_EQ(window.Rows.size(), 3);
  int most = 0;
  int rowsShown = 0;
  window.show();
  ASSERT_TRUE(WaitFor([&] {
    most = std::max<int>(most, window.Batch().Running().size());
    int shown = 0;
    for (const Tfrm_Video::TFileRow &row : window.Rows)
      shown += row.lbl_Name->isVisible() ? 1 : 0;
    rowsShown = std::max(rowsShown, shown);
    return window.Completed() || window.Cancelled();
  }));
  EXPECT_EQ(most, 3);
  EXPECT_EQ(rowsShown, 3);
  EXPECT_TRUE(window.Completed());
  EXPECT_EQ(window.ConvertedFiles(), 6);
  const QString log = Log(window);
  for (int i = 1; i <= 6; ++i) {
    EXPECT_TRUE(log.contains(QStringLiteral("[%1] File #%1\n").arg(i))) << i;
    EXPECT_TRUE(log.contains(QStringLiteral("[%1] Success!").arg(i))) << i;
    const QString output = job.OutputPath + QStringLiteral("clip%1.mkv").arg(i);
    EXPECT_EQ(ProbeFacts(output), QStringLiteral("mpeg4,aac")) << i;
    EXPECT_NEAR(ProbeDuration(output), 2.0, 0.2) << i;
  }
  EXPECT_TRUE(log.endsWith(QStringLiteral("6 converted, 0 failed, 0 skipped, 0 stopped\nDone.")));
  EXPECT_EQ(window.prg_Batch->value(), 100);
  EXPECT_TRUE(window.btn_RetryFailed->isHidden());
}

// With several files at once the overwrite questions come one at a time: a file ending while a
// question is open starts no other file (nor its question) until the answer.
TEST_F(JobWindows, OverwriteQuestionsComeOneAtATime) {
  QTemporaryDir sources;
  QList<TFileEntry> entries;
  for (const char *name : {"a.mp4", "b.mp4", "c.mp4"}) {
    const QString source = sources.filePath(QString::fromLatin1(name));
    QFile::copy(Fixture("av.mp4"), source);
    entries << EntryFor(source);
  }
  for (const char *name : {"b.mkv", "c.mkv"}) {
    QFile file(Out.filePath(QString::fromLatin1(name)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("old") == 3);
  }
  TJobRecord job = VideoJob(entries, QStringLiteral("-c:v mpeg4 -an"), QStringLiteral("MKV"));
  job.FilesAtOnce = 2;
  Tfrm_Video window(nullptr, job);
  QStringList asked;
  int mostOpen = 0;
  QElapsedTimer sinceFirstEnded;
  QTimer poll;
  // Answers a while after the first file has ended (longer than the job's 100 ms step to the
  // next file), so that its end falls well inside the question.
  poll.callOnTimeout([&] {
    QList<QMessageBox *> open;
    for (QWidget *w : QApplication::topLevelWidgets())
      if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible())
        open << box;
    mostOpen = std::max<int>(mostOpen, open.size());
    if (!sinceFirstEnded.isValid() && window.Batch().File(0).State == TFileState::Done)
      sinceFirstEnded.start();
    if (!open.isEmpty() && sinceFirstEnded.isValid() && sinceFirstEnded.elapsed() > 400) {
      asked << open.first()->text();
      open.first()->button(QMessageBox::Yes)->click();
    }
  });
  poll.start(20);
  RunToEnd(window);
  EXPECT_EQ(mostOpen, 1);
  ASSERT_EQ(asked.size(), 2);
  EXPECT_TRUE(asked[0].contains(QStringLiteral("\"b.mkv\"")));
  EXPECT_TRUE(asked[1].contains(QStringLiteral("\"c.mkv\"")));
  EXPECT_EQ(window.ConvertedFiles(), 3);
  for (const char *name : {"a.mkv", "b.mkv", "c.mkv"})
    EXPECT_EQ(ProbeFacts(Out.filePath(QString::fromLatin1(name))), QStringLiteral("mpeg4")) << name;
}

// Skip on a row stops that file only: the others are converted and the batch ends as done.
TEST_F(JobWindows, SkipStopsOneFileAndTheBatchGoesOn) {
  const QString slow = Out.filePath(QStringLiteral("slow.avi"));
  ASSERT_EQ(MakeClip(slow, {QStringLiteral("testsrc=size=160x90:rate=25:duration=30")}), 0);
  TJobRecord job =
      VideoJob({EntryFor(slow), EntryFor(Fixture("av.mp4")), EntryFor(Fixture("av.avi"))},
               QStringLiteral("-vf realtime -c:v mpeg4 -an"), QStringLiteral("MKV"));
  job.OutputPath = Out.filePath(QStringLiteral("out/"));
  job.FilesAtOnce = 2;
  Tfrm_Video window(nullptr, job);
  window.show();
  ASSERT_TRUE(WaitFor([&] { return !window.Rows[0].lbl_Percent->text().isEmpty(); }));
  EXPECT_TRUE(window.Rows[0].lbl_Name->text().startsWith(QStringLiteral("[1] slow.mkv")));
  window.Rows[0].btn_Skip->click();
  ASSERT_TRUE(WaitFor([&] { return window.Completed() || window.Cancelled(); }));
  EXPECT_TRUE(window.Completed());
  const QString log = Log(window);
  EXPECT_TRUE(log.contains(QStringLiteral("[1] Skipped by user!"))) << log.toStdString();
  EXPECT_TRUE(log.contains(QStringLiteral("[1] Stopped at 00:00:"))) << log.toStdString();
  EXPECT_EQ(window.lbl_Summary->text(),
            QStringLiteral("2 converted, 0 failed, 0 skipped, 1 stopped"));
  EXPECT_LT(ProbeDuration(job.OutputPath + QStringLiteral("slow.mkv")), 30.0);
  for (const char *name : {"av.mkv", "av (2).mkv"})
    EXPECT_NEAR(ProbeDuration(job.OutputPath + QString::fromLatin1(name)), 2.0, 0.2) << name;
}

// "Convert failed again" runs only the failed files, into the outputs they had, unasked.
TEST_F(JobWindows, FailedFilesConvertAgain) {
  QTemporaryDir sources;
  const QString broken = sources.filePath(QStringLiteral("broken.mp4"));
  QFile junk(broken);
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly) && junk.write(QByteArray(4096, 'z')) == 4096);
  junk.close();
  TJobRecord job = VideoJob({EntryFor(Fixture("av.avi")), EntryFor(broken)},
                            QStringLiteral("-c:v mpeg4 -an"), QStringLiteral("MKV"));
  job.FilesAtOnce = 2;
  TBoxAnswerer answerer(QMessageBox::No);
  Tfrm_Video window(nullptr, job);
  RunToEnd(window);
  EXPECT_EQ(window.FailedFiles(), 1);
  ASSERT_TRUE(window.btn_RetryFailed->isVisible());
  const QByteArray converted = Digest(job.OutputPath + QStringLiteral("av.mkv"));
  QFile::remove(broken);
  QFile::copy(Fixture("av.mp4"), broken);
  window.btn_RetryFailed->click();
  EXPECT_FALSE(window.btn_Close->isEnabled());
  ASSERT_TRUE(WaitFor([&] { return window.Completed(); }));
  EXPECT_EQ(answerer.Answered, 0);
  EXPECT_EQ(window.FailedFiles(), 0);
  EXPECT_EQ(window.ConvertedFiles(), 2);
  EXPECT_EQ(Digest(job.OutputPath + QStringLiteral("av.mkv")), converted); // not run again
  EXPECT_EQ(ProbeFacts(job.OutputPath + QStringLiteral("broken.mkv")), QStringLiteral("mpeg4"));
  EXPECT_TRUE(window.btn_RetryFailed->isHidden());
}

// Subtitles to be kept into a container that holds none: a source with subtitles says in the
// log that they are left out, one without says nothing.
TEST_F(JobWindows, SubtitlesLeftOutAreLogged) {
  TJobRecord job = VideoJob({EntryFor(Fixture("tagged.mkv")), EntryFor(Fixture("av.avi"))},
                            QStringLiteral("-c:v mpeg4 -an -sn"), QStringLiteral("AVI"));
  job.SubtitlesDropped = true;
  Tfrm_Video window(nullptr, job);
  RunToEnd(window);
  EXPECT_EQ(window.ConvertedFiles(), 2);
  const QString log = Log(window);
  EXPECT_EQ(log.count(QStringLiteral("Subtitles left out: AVI holds none")), 1)
      << log.toStdString();
  EXPECT_TRUE(log.section(QStringLiteral("File #2"), 0, 0)
                  .contains(QStringLiteral("Subtitles left out: AVI holds none")));
  EXPECT_EQ(ProbeFacts(job.OutputPath + QStringLiteral("tagged.avi")), QStringLiteral("mpeg4"));
}

// A job whose options differ by source: each file's options come from what its source holds,
// a source that cannot do as asked says so in its log and converts anyway.
struct TPerSourceCase {
  const char *Name;
  int Subtitles;
  int AudioTracks;
  const char *Languages;
  const char *First, *Second; // sources
  const char *FirstOptions;   // in the first file's parameters
  const char *SecondNote;     // in the second file's log only
  const char *SecondOptions;  // in the second file's parameters
  const char *FirstFacts, *SecondFacts;
};

void PrintTo(const TPerSourceCase &C, std::ostream *Out) {
  *Out << C.Name;
}

class PerSourceJob : public JobWindows, public ::testing::WithParamInterface<TPerSourceCase> {};

TEST_P(PerSourceJob, BuildsEachFilesOptionsFromItsSource) {
  const TPerSourceCase &c = GetParam();
  TConversionSettings S;
  SelectVideoFormat(S, vfMKV);
  S.Subtitles = c.Subtitles;
  S.AudioTracks = c.AudioTracks;
  S.AudioLanguages = c.Languages;
  TJobRecord job =
      VideoJob({EntryFor(Fixture(c.First)), EntryFor(Fixture(c.Second))},
               QString::fromStdString(BuildVideoOptions(S, TEffects())), QStringLiteral("MKV"));
  job.PerSource = TSourceSettings{S, TEffects()};
  Tfrm_Video window(nullptr, job);
  RunToEnd(window);
  EXPECT_EQ(window.ConvertedFiles(), 2);
  const QString log = Log(window);
  const QString first = log.section(QStringLiteral("File #2"), 0, 0);
  const QString second = log.section(QStringLiteral("File #2"), 1);
  EXPECT_TRUE(first.contains(QString::fromUtf8(c.FirstOptions))) << log.toStdString();
  EXPECT_EQ(log.count(QString::fromUtf8(c.SecondNote)), 1) << log.toStdString();
  EXPECT_TRUE(second.contains(QString::fromUtf8(c.SecondNote)));
  EXPECT_TRUE(second.contains(QString::fromUtf8(c.SecondOptions))) << log.toStdString();
  const auto output = [&](const char *ASource) {
    return job.OutputPath + QFileInfo(QString::fromUtf8(ASource)).completeBaseName() +
           QStringLiteral(".mkv");
  };
  EXPECT_EQ(ProbeFacts(output(c.First)), QString::fromUtf8(c.FirstFacts));
  EXPECT_EQ(ProbeFacts(output(c.Second)), QString::fromUtf8(c.SecondFacts));
}

const TPerSourceCase PerSourceCases[] = {
    // The text subtitles of the first drawn in (no subtitle stream left); the second has none.
    {"BurnIn", sbBurn, atFirst, "", "tagged.mkv", "tiny.mp4", "-vf \"subtitles=filename=\\'/",
     "No subtitles to burn in", "-c:v mpeg4 -sn", "mpeg4", "mpeg4,mp3"},
    // The French track of the first; the second's tracks carry no language.
    {"Languages", sbNone, atLanguages, "fr", "languages.mkv", "av_two_opus.ogg",
     "-map 0:a:m:language:fre?", "No audio track in fre: the first one is converted", "-map 0:a:0?",
     "mpeg4,mp3", "mpeg4,mp3"},
};

INSTANTIATE_TEST_SUITE_P(Table, PerSourceJob, ::testing::ValuesIn(PerSourceCases),
                         [](const auto &Info) { return std::string(Info.param.Name); });

// Points the temporary folder of the program (Qt reads TMPDIR) at a folder of the test while
// it lives.
class TTempFolder {
public:
  TTempFolder() : FOld(qgetenv("TMPDIR")) { qputenv("TMPDIR", Dir.path().toUtf8()); }
  ~TTempFolder() { qputenv("TMPDIR", FOld); }
  bool Empty() const {
    return QDir(Dir.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
  }
  QTemporaryDir Dir;

private:
  QByteArray FOld;
};

// A target size: two passes at the bit rate the source's duration and the sound leave, the rate
// in the log, the output within 3 % of the size, the pass log's folder gone at the end.
TEST_F(JobWindows, TargetSizeReachedInTwoPasses) {
  QTemporaryDir sources;
  const QString source = sources.filePath(QStringLiteral("noisy.mp4"));
  ASSERT_EQ(
      MakeClip(source,
               {QStringLiteral("testsrc2=size=320x240:rate=25:duration=2,noise=alls=40:allf=t"),
                QStringLiteral("sine=frequency=440:sample_rate=44100:duration=2")},
               {QStringLiteral("-q:v"), QStringLiteral("2")}),
      0);
  const struct {
    const char *Options, *Format, *Name, *Codecs;
  } cases[] = {{"-c:v libx264 -c:a aac -b:a 128k", "MP4", "noisy.mp4", "h264,aac"},
               {"-c:v mpeg4 -c:a libmp3lame -b:a 128k", "AVI", "noisy.avi", "mpeg4,mp3"}};
  for (const auto &c : cases) {
    TTempFolder temp;
    TJobRecord job =
        VideoJob({EntryFor(source)}, QString::fromLatin1(c.Options), QString::fromLatin1(c.Format));
    job.TargetSize = 1;
    job.AudioKbps = 128;
    Tfrm_Video window(nullptr, job);
    RunToEnd(window);
    EXPECT_TRUE(window.Completed()) << c.Format;
    const QString log = Log(window);
    EXPECT_TRUE(log.contains(QStringLiteral(
        "Target size 1 MB: video bit rate 3712 kbit/s (audio 128 kbit/s), two passes")))
        << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Pass 1 of 2")) &&
                log.contains(QStringLiteral("Pass 2 of 2")));
    const QString output = job.OutputPath + QString::fromLatin1(c.Name);
    EXPECT_EQ(ProbeFacts(output), QString::fromLatin1(c.Codecs));
    EXPECT_NEAR(QFileInfo(output).size(), 1000000, 30000) << c.Format;
    EXPECT_TRUE(temp.Empty()) << c.Format;
    EXPECT_EQ(window.prg_Process->value(), 100);
  }
}

// Stopped in the first pass: nothing was written, the log says so, and the pass log's folder
// is gone.
TEST_F(JobWindows, TargetSizeStoppedInTheFirstPass) {
  const QString source = Out.filePath(QStringLiteral("long.avi"));
  ASSERT_EQ(MakeClip(source, {QStringLiteral("testsrc=size=160x90:rate=25:duration=30")}), 0);
  TTempFolder temp;
  TJobRecord job = VideoJob({EntryFor(source)}, QStringLiteral("-c:v libx264 -preset veryslow"),
                            QStringLiteral("MKV"));
  job.TargetSize = 5;
  Tfrm_Video window(nullptr, job);
  window.show();
  ASSERT_TRUE(WaitFor([&] { return window.Batch().Counted(TFileState::Running) == 1; }));
  EXPECT_FALSE(temp.Empty()); // the pass log's folder
  window.btn_StopClick();
  ASSERT_TRUE(WaitFor([&] { return window.btn_Close->isEnabled(); }));
  EXPECT_TRUE(
      Log(window).contains(QStringLiteral("Stopped in the first pass; no output was written")))
      << Log(window).toStdString();
  EXPECT_EQ(window.StoppedFiles(), 1);
  EXPECT_FALSE(QFile::exists(job.OutputPath + QStringLiteral("long.mkv")));
  EXPECT_TRUE(temp.Empty());
}

} // namespace

#include "JobWindowsTest.moc"

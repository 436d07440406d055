// The job windows on real files: every entry converted through the engine, the per-file
// failures reported while the batch goes on, the overwrite question, a source that would be
// its own output, Pause/Resume/Stop and audio extraction.
#include <gtest/gtest.h>

#include "JobTestSupport.h"
#include "components/TFFEncoder.h"
#include "jobs/Tfrm_Audio.h"
#include "jobs/Tfrm_Video.h"
#include "media/ui/TPreviewerForm.h"
#include "shell/MainThreadDispatcher.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>

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
  // The fourth entry's output is the first one's name: the question comes once.
  TBoxAnswerer answerer(QMessageBox::Yes);
  Tfrm_Video window(nullptr, job);
  RunToEnd(window);
  EXPECT_EQ(answerer.Answered, 1);
  EXPECT_TRUE(window.Completed());
  const QString log = Log(window);
  const QString output = job.OutputPath + QStringLiteral("av.mkv");
  EXPECT_EQ(ProbeFacts(output), QStringLiteral("mpeg4,aac"));
  EXPECT_NEAR(ProbeDuration(output), 2.0, 0.2);
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
  EXPECT_TRUE(log.endsWith(QStringLiteral("\n\nDone.")));
  EXPECT_EQ(window.lbl_File->text(), QStringLiteral("Done."));
  EXPECT_EQ(window.lbl_Percent->text(), QStringLiteral("100%"));
  EXPECT_TRUE(window.lbl_FPS->text().endsWith(QStringLiteral(" KB")));
}

TEST_F(JobWindows, OverwriteQuestionNoKeepsTheFileYesReplacesIt) {
  const QString output = Out.filePath(QStringLiteral("av.mp4"));
  for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
    {
      QFile file(output);
      file.open(QIODevice::WriteOnly | QIODevice::Truncate);
      file.write("old contents");
    }
    TBoxAnswerer answerer(answer);
    Tfrm_Video window(nullptr,
                      VideoJob({EntryFor(Fixture("av.avi"))}, QStringLiteral("-c:v mpeg4 -c:a aac"),
                               QStringLiteral("MP4")));
    RunToEnd(window);
    ASSERT_EQ(answerer.Answered, 1);
    EXPECT_EQ(answerer.Texts.first(),
              QStringLiteral("File \"av.mp4\" already exists!\r\rOverwrite existing file?"));
    if (answer == QMessageBox::No) {
      EXPECT_TRUE(Log(window).contains(QStringLiteral("Skipped!")));
      QFile file(output);
      file.open(QIODevice::ReadOnly);
      EXPECT_EQ(file.readAll(), QByteArray("old contents"));
    } else {
      EXPECT_FALSE(Log(window).contains(QStringLiteral("Skipped!")));
      EXPECT_EQ(ProbeFacts(output), QStringLiteral("mpeg4,aac"));
    }
  }
}

TEST_F(JobWindows, OriginalPathNeverWritesOverItsOwnSource) {
  const QString source = Out.filePath(QStringLiteral("clip.avi"));
  QFile::copy(Fixture("av.avi"), source);
  const QByteArray before = Digest(source);
  TJobRecord job =
      VideoJob({EntryFor(source)}, QStringLiteral("-c:v mpeg4 -c:a mp3"), QStringLiteral("AVI"));
  job.OutputPath.clear();
  TBoxAnswerer answerer(QMessageBox::Yes);
  Tfrm_Video window(nullptr, job);
  RunToEnd(window);
  EXPECT_EQ(answerer.Answered, 1);
  EXPECT_TRUE(Log(window).contains(QStringLiteral("Applying parameters... Error! ")));
  EXPECT_EQ(Digest(source), before);
}

TEST_F(JobWindows, PauseResumeAndStopOnALongerClip) {
  const QString source = Out.filePath(QStringLiteral("long.avi"));
  ASSERT_EQ(MakeClip(source, {QStringLiteral("testsrc=size=320x240:rate=25:duration=60")}), 0);
  TJobRecord job = VideoJob({EntryFor(source)}, QStringLiteral("-c:v libx264 -preset veryslow"),
                            QStringLiteral("MKV"));
  Tfrm_Video window(nullptr, job);
  window.show();
  ASSERT_TRUE(WaitFor([&] { return window.lbl_FPS->text().endsWith(QStringLiteral("KB")); }));
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
  const QString log = Log(window);
  EXPECT_TRUE(log.contains(QStringLiteral("Paused!\nResumed!\nCancelled by user!\nDone.")))
      << log.toStdString();
  EXPECT_FALSE(log.contains(QStringLiteral("Success!\n\nDone.")));
  EXPECT_TRUE(window.btn_Stop->isHidden());
  EXPECT_TRUE(window.lbl_FPS->text().isEmpty());
  EXPECT_FALSE(window.Completed());
  // What was written before the stop is a playable file.
  const QString output = job.OutputPath + QStringLiteral("long.mkv");
  EXPECT_EQ(ProbeFacts(output), QStringLiteral("h264"));
  EXPECT_GT(ProbeDuration(output), 0.0);
  EXPECT_LT(ProbeDuration(output), 60.0);
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

TEST_F(JobWindows, AudioExtractionWritesTheFormatsExtension) {
  TJobRecord job =
      VideoJob({EntryFor(Fixture("av.mp4"))}, QStringLiteral("-vn -c:a libmp3lame -b:a 128k"), {});
  job.AudioFormat = 0;
  Tfrm_Audio window(nullptr, job);
  EXPECT_EQ(window.lbl_File->text(), QStringLiteral("Saving audio..."));
  RunToEnd(window);
  EXPECT_TRUE(window.Completed());
  const QString output = job.OutputPath + QStringLiteral("av.mp3");
  EXPECT_EQ(ProbeFacts(output), QStringLiteral("mp3"));
  EXPECT_NEAR(ProbeDuration(output), 2.0, 0.2);
  EXPECT_EQ(Tfrm_Audio::AudioExtension(3), QStringLiteral(".flac"));
  EXPECT_EQ(Tfrm_Audio::AudioExtension(6), QString());
}

} // namespace

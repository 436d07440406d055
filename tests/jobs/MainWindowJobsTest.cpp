// Jobs as a user starts them from the main window: Convert with the default settings and with
// a profile, Extract audio, the FFmpeg command, the three output choices with their error
// boxes, list documents; and the program itself run from the command line without a display.
#include <gtest/gtest.h>

#include "JobTestSupport.h"
#include "components/filelist/LocalPath.h"
#include "jobs/TBatchQueue.h"
#include "jobs/Tfrm_Video.h"
#include "shell/ListDocument.h"
#include "shell/MainThreadDispatcher.h"
#include "shell/TPresetsBox.h"
#include "shell/TSettingsPanel.h"
#include "shell/Tfrm_Main.h"
#include "shell/dialogs/Tfrm_Command.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTreeWidget>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class TTestMain : public Tfrm_Main {
public:
  QString Folder;   // what the folder dialog returns
  QString Document; // what the list-document dialogs return
  int FolderDialogs = 0;

protected:
  QString ChooseOutputFolder() override {
    ++FolderDialogs;
    return Folder;
  }
  QString ChooseOpenDocument() override { return Document; }
  QString ChooseSaveDocument() override { return Document; }
};

// Closes every job window once its job has ended; keeps their logs.
class TJobCloser : public QObject {
public:
  TJobCloser() {
    FTimer.callOnTimeout([this] {
      for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *job = qobject_cast<Tfrm_Video *>(w); job && job->isVisible() &&
                                                       (job->Completed() || job->Cancelled()) &&
                                                       job->btn_Close->isEnabled()) {
          Logs << job->log_Main->toPlainText();
          job->btn_Close->click();
        }
    });
    FTimer.start(50);
  }
  QStringList Logs;

private:
  QTimer FTimer;
};

class MainWindowJobs : public testing::Test {
protected:
  void SetUp() override {
    InstallMainThreadDispatcher(qApp);
    qputenv("APPDATA", Config.path().toUtf8());
    Form = std::make_unique<TTestMain>();
  }
  void Add(const QStringList &APaths) {
    Form->DroppedFiles = APaths;
    Form->AddFiles();
    ASSERT_EQ(Form->EntryCount(), APaths.size());
  }
  void UseFollowingPath(const QString &APath) {
    Form->PageControl1->chk_Path->click();
    Form->PageControl1->txt_Path->setText(APath);
  }
  QTemporaryDir Config, Out;
  std::unique_ptr<TTestMain> Form;
};

TEST_F(MainWindowJobs, ConvertWithDefaultsAndWithAProfileThenExtractAudio) {
  Add({Fixture("av.mp4"), Fixture("audio_first.mkv")});
  UseFollowingPath(Out.path()); // no trailing "/": one is added
  const QString format = Form->PageControl1->cb_VideoFormat->currentText().toLower();
  {
    TJobCloser closer;
    Form->btn_ConvertClick();
    ASSERT_EQ(closer.Logs.size(), 1);
    EXPECT_TRUE(closer.Logs[0].contains(QStringLiteral("Parameters ") + Form->str_Options))
        << closer.Logs[0].toStdString();
    EXPECT_FALSE(closer.Logs[0].contains(QStringLiteral("Error!"))) << closer.Logs[0].toStdString();
  }
  for (const char *name : {"av", "audio_first"}) {
    const QString output = Out.filePath(QString::fromLatin1(name) + QLatin1Char('.') + format);
    EXPECT_FALSE(ProbeFacts(output).isEmpty()) << output.toStdString();
    EXPECT_NEAR(ProbeDuration(output), 2.0, 0.3) << output.toStdString();
  }

  // The iPhone profile "MPEG4": an MP4 with H.264 and AAC.
  Form->PageControl1->cb_Type->setCurrentIndex(3);
  Form->PageControl1->cb_Format->setCurrentIndex(1);
  Form->PageControl1->btn_Apply->click();
  const QString profileFormat = Form->PageControl1->cb_VideoFormat->currentText().toLower();
  QTemporaryDir profileOut;
  UseFollowingPath(profileOut.path());
  {
    TJobCloser closer;
    Form->btn_ConvertClick();
    ASSERT_EQ(closer.Logs.size(), 1);
    EXPECT_FALSE(closer.Logs[0].contains(QStringLiteral("Error!"))) << closer.Logs[0].toStdString();
  }
  const QString output = profileOut.filePath(QStringLiteral("av.") + profileFormat);
  EXPECT_EQ(ProbeFacts(output), QStringLiteral("h264,aac")) << output.toStdString();
  EXPECT_NEAR(ProbeDuration(output), 2.0, 0.3);

  Form->PageControl1->cb_AudioFormat->setCurrentIndex(0); // MP3
  {
    TJobCloser closer;
    Form->btn_ExtractClick();
    ASSERT_EQ(closer.Logs.size(), 1);
  }
  for (const char *name : {"av.mp3", "audio_first.mp3"}) {
    EXPECT_EQ(ProbeFacts(profileOut.filePath(QString::fromLatin1(name))), QStringLiteral("mp3"))
        << name;
  }
}

// The settings' target size and the subtitles AVI cannot hold reach the job: each file in two
// passes at its own rate, and the source with subtitles named in the log.
TEST_F(MainWindowJobs, TargetSizeAndSubtitlesLeftOutReachTheJob) {
  Add({Fixture("tiny.mp4"), Fixture("tagged.mkv")});
  UseFollowingPath(Out.path());
  TConversionSettings S = Form->PageControl1->ConversionSettings();
  S.Subtitles = sbKeep;
  S.TargetSize = 1;
  Form->PageControl1->ShowConversionSettings(S);
  TJobCloser closer;
  Form->btn_ConvertClick();
  ASSERT_EQ(closer.Logs.size(), 1);
  const QString log = closer.Logs[0];
  EXPECT_EQ(log.count(QStringLiteral("Target size 1 MB: video bit rate ")), 2) << log.toStdString();
  EXPECT_EQ(log.count(QStringLiteral("Pass 2 of 2")), 2);
  EXPECT_EQ(log.count(QStringLiteral("Subtitles left out: AVI holds none")), 1);
  EXPECT_EQ(ProbeFacts(Out.filePath(QStringLiteral("tiny.avi"))), QStringLiteral("mpeg4,mp3"));
  EXPECT_EQ(ProbeFacts(Out.filePath(QStringLiteral("tagged.avi"))), QStringLiteral("mpeg4"));
}

// The job window's "Preview" comes from the settings file through the job record, and the
// user's change comes back to be saved at exit.
TEST_F(MainWindowJobs, ThePreviewChoiceIsRemembered) {
  const QString ini = Config.filePath(QStringLiteral("Sablewick/Quillet/quillet.ini"));
  QDir().mkpath(QFileInfo(ini).path());
  {
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Settings]\nPreview=1\n");
  }
  Form = std::make_unique<TTestMain>();
  EXPECT_TRUE(Form->bool_Preview);
  Add({Fixture("av.mp4")});
  UseFollowingPath(Out.path());
  bool shownChecked = false;
  QTimer untick;
  untick.callOnTimeout([&] {
    for (QWidget *w : QApplication::topLevelWidgets())
      if (auto *job = qobject_cast<Tfrm_Video *>(w); job && job->isVisible()) {
        shownChecked = shownChecked || job->chk_Preview->isChecked();
        job->chk_Preview->setChecked(false);
      }
  });
  untick.start(10);
  {
    TJobCloser closer;
    Form->btn_ConvertClick();
    ASSERT_EQ(closer.Logs.size(), 1);
  }
  EXPECT_TRUE(shownChecked);
  EXPECT_FALSE(Form->bool_Preview);
  Form->close();
  QFile file(ini);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().contains("\nPreview=0\n"));
}

// A queue left by a batch that was cut off is offered at the next start: "Yes" converts the
// files it had not converted, with its option string and output folder; "No" forgets it.
TEST_F(MainWindowJobs, TheStartOffersToResumeABatchThatWasCutOff) {
  const QString queue = Config.filePath(QStringLiteral("Sablewick/Quillet/batch-1-1.json"));
  QProcess owner; // a batch whose program still runs is not offered
  owner.start(QStringLiteral("sleep"), {QStringLiteral("60")});
  ASSERT_TRUE(owner.waitForStarted());
  for (const QMessageBox::StandardButton answer :
       {QMessageBox::Ignore, QMessageBox::No, QMessageBox::Yes}) {
    TSavedBatch saved{false,
                      0,
                      QStringLiteral("-c:v mpeg4 -an"),
                      Out.path() + QLatin1Char('/'),
                      QStringLiteral("MKV"),
                      0,
                      {}};
    saved.Files = {{Fixture("av.mp4"), Out.filePath(QStringLiteral("av.mkv")), false, false},
                   {Fixture("av.avi"), QString(), false, true}};
    if (answer == QMessageBox::Ignore)
      saved.Owner = owner.processId();
    ASSERT_TRUE(SaveBatchQueue(queue, saved));
    TBoxAnswerer answerer(answer);
    TJobCloser closer;
    TTestMain form;
    form.show();
    if (answer == QMessageBox::Ignore) {
      for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
      EXPECT_EQ(answerer.Answered, 0);
      EXPECT_TRUE(QFileInfo::exists(queue));
      continue;
    }
    ASSERT_TRUE(WaitFor([&] { return !QFileInfo::exists(queue); }));
    EXPECT_EQ(answerer.Answered, 1);
    EXPECT_TRUE(answerer.Texts.value(0).contains(QStringLiteral("1 of its files")));
    if (answer == QMessageBox::Yes) {
      ASSERT_TRUE(WaitFor([&] { return !closer.Logs.isEmpty(); }));
      EXPECT_TRUE(closer.Logs.first().contains(QStringLiteral("Parameters -c:v mpeg4 -an")));
    }
    // Only the file that was not done is converted.
    EXPECT_EQ(ProbeFacts(Out.filePath(QStringLiteral("av (2).mkv"))).isEmpty() &&
                  ProbeFacts(Out.filePath(QStringLiteral("av.mkv"))) == QStringLiteral("mpeg4"),
              answer == QMessageBox::Yes);
  }
  owner.kill();
  owner.waitForFinished();
}

QString FileText(const QString &APath) {
  QFile file(APath);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A queue left by a batch of AOwner: ASource still to convert with AOptions into MKV in AOut
// (to ATargetSize MB in two passes, when given).
void SaveOneFileQueue(const QString &APath, qint64 AOwner, const QString &ASource,
                      const QString &AOptions, const QString &AOut, int ATargetSize = 0) {
  TSavedBatch saved{false, AOwner, AOptions, AOut + QLatin1Char('/'), QStringLiteral("MKV"), 0, {}};
  saved.Files = {{ASource, QString(), false, true}};
  saved.TargetSize = ATargetSize;
  ASSERT_TRUE(SaveBatchQueue(APath, saved));
}

// The id of a process that has ended.
qint64 GoneProcess() {
  QProcess gone;
  gone.start(QStringLiteral("true"));
  gone.waitForFinished();
  return gone.processId();
}

void WriteFile(const QString &APath, const QByteArray &AText) {
  QFile file(APath);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(AText);
}

// Several programs cut off (two batches of programs now gone, besides the old shared queue
// file) are offered in one question and resumed one batch after the other, each with its own
// options; the queue of a batch still running is not offered, and a file that is no queue is
// named, kept, and keeps none of the others from being offered.
TEST_F(MainWindowJobs, TheQueuesOfSeveralCutOffBatchesAreOfferedInOneQuestion) {
  const QString folder = Config.filePath(QStringLiteral("Sablewick/Quillet"));
  QProcess running;
  running.start(QStringLiteral("sleep"), {QStringLiteral("60")});
  ASSERT_TRUE(running.waitForStarted());
  const qint64 gone = GoneProcess();
  const QString first = folder + QStringLiteral("/batch-1-1.json");
  const QString second = folder + QStringLiteral("/batch-2-2.json");
  const QString other = folder + QStringLiteral("/batch-3-3.json");
  const QString corrupt = folder + QStringLiteral("/batch-4-4.json");
  SaveOneFileQueue(first, gone, Fixture("av.mp4"), QStringLiteral("-c:v mpeg4 -an"), Out.path());
  SaveOneFileQueue(second, gone, Fixture("audio_first.mkv"),
                   QStringLiteral("-c:v mpeg4 -q:v 5 -an"), Out.path());
  SaveOneFileQueue(other, running.processId(), Fixture("av.avi"), QStringLiteral("-an"),
                   Out.path());
  WriteFile(corrupt, "{\"files\": [");
  TBoxAnswerer answerer(QMessageBox::Yes);
  TJobCloser closer;
  TTestMain form;
  form.show();
  ASSERT_TRUE(WaitFor([&] { return closer.Logs.size() == 2; }));
  ASSERT_EQ(answerer.Texts.size(), 2);
  EXPECT_TRUE(answerer.Texts[0].contains(QStringLiteral("batch-4-4.json")));
  EXPECT_FALSE(answerer.Texts[0].contains(QStringLiteral("batch-3-3.json")));
  EXPECT_TRUE(answerer.Texts[1].contains(QStringLiteral("2 batches")));
  EXPECT_TRUE(answerer.Texts[1].contains(QStringLiteral("2 of their files")));
  EXPECT_TRUE(closer.Logs[0].contains(QStringLiteral("Parameters -c:v mpeg4 -an")));
  EXPECT_TRUE(closer.Logs[1].contains(QStringLiteral("Parameters -c:v mpeg4 -q:v 5 -an")));
  EXPECT_EQ(ProbeFacts(Out.filePath(QStringLiteral("av.mkv"))), QStringLiteral("mpeg4"));
  EXPECT_EQ(ProbeFacts(Out.filePath(QStringLiteral("audio_first.mkv"))), QStringLiteral("mpeg4"));
  ASSERT_TRUE(WaitFor([&] { return !QFileInfo::exists(second); }));
  EXPECT_FALSE(QFileInfo::exists(first));
  EXPECT_TRUE(QFileInfo::exists(other));
  EXPECT_EQ(FileText(corrupt), QStringLiteral("{\"files\": ["));
  running.kill();
  running.waitForFinished();
}

// Told to end while a job converts (a logout, Ctrl+C): the job is stopped as Stop does, then
// the job window and the main window close; the job never outlives what the main window owns.
TEST_F(MainWindowJobs, EndingTheProgramDuringAJobStopsItFirst) {
  const QString source = Out.filePath(QStringLiteral("long.mkv"));
  ASSERT_EQ(MakeClip(source, {QStringLiteral("testsrc=size=320x240:rate=25:duration=60")}), 0);
  QTemporaryDir jobOut;
  Form->show();
  Add({source});
  UseFollowingPath(jobOut.path());
  QString log;
  QTimer signal;
  signal.callOnTimeout([&] {
    for (QWidget *w : QApplication::topLevelWidgets())
      if (auto *job = qobject_cast<Tfrm_Video *>(w);
          job && job->isVisible() && job->lbl_FPS->text().endsWith(QStringLiteral("iB"))) {
        signal.stop();
        QObject::connect(job, &QDialog::finished, job,
                         [&log, job] { log = job->log_Main->toPlainText(); });
        Form->CloseWithModals();
      }
  });
  signal.start(10);
  TJobCloser closer; // only a job left to run to its end needs it
  Form->btn_ConvertClick();
  EXPECT_TRUE(log.contains(QStringLiteral("Cancelled by user!\nStopped at ")) &&
              log.endsWith(QStringLiteral("\nStopped.")))
      << log.toStdString();
  QTRY_VERIFY(!Form->isVisible());
  const QString output = jobOut.filePath(
      QStringLiteral("long.") + Form->PageControl1->cb_VideoFormat->currentText().toLower());
  EXPECT_FALSE(ProbeFacts(output).isEmpty());
  EXPECT_LT(ProbeDuration(output), 60.0);
}

TEST_F(MainWindowJobs, OutputChoicesAndTheirErrors) {
  Add({Fixture("av.mp4")});
  // "Use following path:" with an empty path: an error box, the Output tab, no job.
  UseFollowingPath({});
  Form->PageControl1->setCurrentIndex(TSettingsPanel::tsProfiles);
  {
    TBoxAnswerer boxes(QMessageBox::Ok);
    TJobCloser closer;
    Form->btn_ConvertClick();
    EXPECT_EQ(boxes.Texts, QStringList{QStringLiteral("Output path is not specified.")});
    EXPECT_TRUE(closer.Logs.isEmpty());
    EXPECT_EQ(Form->PageControl1->currentIndex(), int(TSettingsPanel::tsOutput));
  }
  // "Specify output path": the dialog at every start; a folder that cannot be written to and
  // a cancelled dialog start nothing.
  Form->PageControl1->chk_Specify->click();
  Form->Folder = Out.filePath(QStringLiteral("missing/folder"));
  {
    TBoxAnswerer boxes(QMessageBox::Ok);
    TJobCloser closer;
    Form->btn_ConvertClick();
    EXPECT_EQ(boxes.Texts, QStringList{QStringLiteral(
                               "Access is denied. Unable to save to the selected directory.")});
    Form->Folder.clear();
    Form->btn_ExtractClick();
    EXPECT_EQ(boxes.Answered, 1);
    EXPECT_TRUE(closer.Logs.isEmpty());
  }
  EXPECT_EQ(Form->FolderDialogs, 2);
  EXPECT_EQ(QDir(Out.path()).entryList(QDir::Files | QDir::Hidden), QStringList());

  // "Use original path": the output next to its source.
  const QString source = Out.filePath(QStringLiteral("copy.mp4"));
  QFile::copy(Fixture("av.mp4"), source);
  Form->btn_RemoveClick();
  Form->SelectAll();
  Form->btn_RemoveClick();
  Add({source});
  Form->PageControl1->chk_Original->click();
  Form->PageControl1->cb_AudioFormat->setCurrentIndex(1); // WAV
  {
    TJobCloser closer;
    Form->btn_ExtractClick();
    ASSERT_EQ(closer.Logs.size(), 1);
  }
  EXPECT_EQ(ProbeFacts(Out.filePath(QStringLiteral("copy.wav"))), QStringLiteral("pcm_s16le"));
}

TEST_F(MainWindowJobs, FFmpegCommandRunsTheTypedTextWithTheDialogsContainer) {
  Add({Fixture("av.mp4")});
  UseFollowingPath(Out.path());
  QTimer::singleShot(50, [] {
    for (QWidget *w : QApplication::topLevelWidgets())
      if (auto *dialog = qobject_cast<Tfrm_Command *>(w); dialog && dialog->isVisible()) {
        dialog->txt_Command->setText(QStringLiteral("-c:v mpeg4 -an"));
        dialog->cb_VideoFormat->setCurrentText(QStringLiteral("MKV"));
        dialog->accept();
      }
  });
  TJobCloser closer;
  Form->btn_CommandClick();
  ASSERT_EQ(closer.Logs.size(), 1);
  EXPECT_TRUE(closer.Logs[0].contains(QStringLiteral("Parameters -c:v mpeg4 -an\n")));
  EXPECT_EQ(ProbeFacts(Out.filePath(QStringLiteral("av.mkv"))), QStringLiteral("mpeg4"));
  EXPECT_EQ(Form->PageControl1->cb_VideoFormat->currentText(), QStringLiteral("MKV"));
}

// The typed text goes through the engine's option parser before any job starts: a refused text
// keeps the dialog open with the parser's reason and starts nothing; the accepted one runs and
// heads the drop-down, which the settings file keeps.
TEST_F(MainWindowJobs, FFmpegCommandRefusedByTheParserBeforeTheBatchStarts) {
  Add({Fixture("av.mp4")});
  UseFollowingPath(Out.path());
  QStringList errors;
  bool stillOpen = false;
  QTimer::singleShot(50, [&] {
    for (QWidget *w : QApplication::topLevelWidgets())
      if (auto *dialog = qobject_cast<Tfrm_Command *>(w); dialog && dialog->isVisible()) {
        for (const char *text : {"-c:v mpeg4 -foo bar", "-an -vf", "-an -re"}) {
          dialog->txt_Command->setText(QString::fromLatin1(text));
          dialog->accept();
          errors << (dialog->lbl_Error->isVisible() ? dialog->lbl_Error->text() : QString());
        }
        stillOpen = dialog->isVisible();
        dialog->txt_Command->setText(QStringLiteral("-c:v mpeg4 -an"));
        dialog->accept();
      }
  });
  TJobCloser closer;
  Form->btn_CommandClick();
  EXPECT_TRUE(stillOpen);
  ASSERT_EQ(errors.size(), 3);
  EXPECT_EQ(errors[0], QStringLiteral("Unrecognized option \"foo\"."));
  EXPECT_EQ(errors[1], QStringLiteral("Missing argument for option \"vf\"."));
  EXPECT_TRUE(errors[2].startsWith(QStringLiteral("Option re ")));
  EXPECT_TRUE(errors[2].contains(QStringLiteral("cannot be applied to output file output.avi")))
      << errors[2].toStdString();
  ASSERT_EQ(closer.Logs.size(), 1); // one job, with the accepted text
  EXPECT_TRUE(closer.Logs[0].contains(QStringLiteral("Parameters -c:v mpeg4 -an\n")));
  EXPECT_EQ(Form->str_Commands, QStringList{QStringLiteral("-c:v mpeg4 -an")});
  Form->close();
  QFile ini(Config.filePath(QStringLiteral("Sablewick/Quillet/quillet.ini")));
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  EXPECT_TRUE(ini.readAll().contains("\nCommand1=-c:v mpeg4 -an\n"));
  // The next window offers it in the drop-down.
  TTestMain again;
  EXPECT_EQ(again.str_Commands, QStringList{QStringLiteral("-c:v mpeg4 -an")});
}

// "Save as preset..." in the FFmpeg command dialog keeps the checked text with the dialog's
// container as an own preset (a text the parser refuses is not kept); its "Run" on the
// Profiles page converts the list with the text into that container, as the dialog's OK does.
// An imported command the parser refuses is named in an error box and runs nothing.
TEST_F(MainWindowJobs, CommandPresetSavedFromTheDialogRunsItsText) {
  Add({Fixture("av.mp4")});
  UseFollowingPath(Out.path());
  bool refusedSaved = true, saved = false;
  QTimer::singleShot(50, [&] {
    for (QWidget *w : QApplication::topLevelWidgets())
      if (auto *dialog = qobject_cast<Tfrm_Command *>(w); dialog && dialog->isVisible()) {
        dialog->txt_Command->setText(QStringLiteral("-c:v mpeg4 -foo bar"));
        refusedSaved = dialog->SaveAsPreset(QStringLiteral("Refused"));
        dialog->txt_Command->setText(QStringLiteral("-c:v mpeg4 -an"));
        dialog->cb_VideoFormat->setCurrentText(QStringLiteral("MKV"));
        saved = dialog->SaveAsPreset(QStringLiteral("Mkv video"));
        dialog->reject();
      }
  });
  Form->btn_CommandClick();
  EXPECT_FALSE(refusedSaved);
  EXPECT_TRUE(saved);
  TPresetsBox *box = Form->PageControl1->box_Presets;
  ASSERT_EQ(box->cb_Presets->count(), 1);
  EXPECT_EQ(box->btn_PresetApply->text(), QStringLiteral("Run"));
  EXPECT_EQ(Form->PageControl1->cb_VideoFormat->currentText(), QStringLiteral("AVI"));
  {
    TJobCloser closer;
    box->btn_PresetApply->click();
    ASSERT_EQ(closer.Logs.size(), 1);
    EXPECT_TRUE(closer.Logs[0].contains(QStringLiteral("Parameters -c:v mpeg4 -an\n")));
  }
  EXPECT_EQ(ProbeFacts(Out.filePath(QStringLiteral("av.mkv"))), QStringLiteral("mpeg4"));
  const QString imported = Config.filePath(QStringLiteral("imported.ini"));
  WriteFile(imported, "[Old]\nCommand=-c:v mpeg4 -nosuchoption 1\n");
  ASSERT_TRUE(box->ImportFrom(imported));
  TBoxAnswerer answerer(QMessageBox::Ok);
  TJobCloser closer;
  box->btn_PresetApply->click();
  EXPECT_EQ(answerer.Texts, QStringList{QStringLiteral("Unrecognized option \"nosuchoption\".")});
  EXPECT_TRUE(closer.Logs.isEmpty());
}

TEST_F(MainWindowJobs, ListDocumentRoundTripKeepsTheDisplayOrder) {
  Add({Fixture("av.mp4"), Fixture("av.avi"), Fixture("audio_first.mkv")});
  Form->lw_FilesColumnClick(lcSize);
  Form->lw_FilesColumnClick(lcSize); // size, descending
  const QStringList shown = Form->ListedPaths();
  Form->Document = Out.filePath(QStringLiteral("list.fls"));
  Form->Save1Click();
  QFile file(Form->Document);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), shown.join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
  Form->New1Click();
  EXPECT_EQ(Form->EntryCount(), 0);
  Form->Open1Click();
  EXPECT_EQ(Form->EntryCount(), 3);
  // A document that does not exist leaves the list alone.
  Form->Document = Out.filePath(QStringLiteral("none.fls"));
  Form->Open1Click();
  EXPECT_EQ(Form->EntryCount(), 3);
}

// Opening a document adds its files (relative lines from its folder), says which folder lines
// it left out, and leaves the list alone when the document cannot be read.
TEST_F(MainWindowJobs, OpenedDocumentsAddTheirFilesButNotFolders) {
  const QString docs = Out.filePath(QStringLiteral("docs"));
  ASSERT_TRUE(QDir().mkpath(docs));
  ASSERT_TRUE(QFile::copy(Fixture("av.mp4"), docs + QStringLiteral("/clip.mp4")));
  Form->Document = docs + QStringLiteral("/list.fls");
  {
    QFile file(Form->Document);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("clip.mp4\r\n.\r\n");
  }
  {
    TBoxAnswerer boxes(QMessageBox::Ok);
    Form->Open1Click();
    EXPECT_EQ(boxes.Texts, QStringList{FolderLinesText({docs})});
  }
  ASSERT_EQ(Form->EntryCount(), 1);
  EXPECT_EQ(Form->Entry(0).SubItems[siSource], docs + QStringLiteral("/clip.mp4"));

  Form->Document = Out.filePath(QStringLiteral("fifo.fls"));
  ASSERT_EQ(mkfifo(QFile::encodeName(Form->Document).constData(), 0600), 0);
  TBoxAnswerer boxes(QMessageBox::Ok);
  Form->Open1Click();
  ASSERT_EQ(boxes.Texts.size(), 1);
  EXPECT_TRUE(boxes.Texts[0].startsWith("Cannot open the file list " + Form->Document))
      << boxes.Texts[0].toStdString();
}

// A name with a line break comes in from the command line as it does by dropping: listed when
// only loading, and converted under its own name.
TEST_F(MainWindowJobs, CommandLineNamesWithALineBreakAreAddedAndConverted) {
  const QString source = Out.filePath(QStringLiteral("in/a\nb.mp4"));
  ASSERT_TRUE(QDir().mkpath(Out.filePath(QStringLiteral("in"))));
  ASSERT_TRUE(QFile::copy(Fixture("av.mp4"), source));
  const QString video = Out.filePath(QStringLiteral("video"));
  const QString format = Form->PageControl1->cb_VideoFormat->currentText().toLower();
  for (const QString &mode : {QStringLiteral("-l"), QStringLiteral("-v")}) {
    Form->New1Click();
    Form->CommandLine = ParseCommandLine({QStringLiteral("quillet"), mode, video, source});
    TJobCloser closer;
    Form->tmr_ParamTimer();
    ASSERT_EQ(Form->EntryCount(), 1) << mode.toStdString();
    EXPECT_EQ(Form->Entry(0).Caption, QStringLiteral("a\nb.mp4"));
    EXPECT_EQ(Form->Entry(0).SubItems[siSource], source);
    EXPECT_EQ(closer.Logs.size(), mode == QStringLiteral("-v") ? 1 : 0) << mode.toStdString();
  }
  EXPECT_FALSE(ProbeFacts(video + QStringLiteral("/a\nb.") + format).isEmpty());
}

TEST(ListDocument, ByteOrderMarksLineEndsAndBlankLines) {
  const struct {
    QByteArray Bytes;
    QStringList Lines;
  } cases[] = {
      {"/a.mp4\r\n/b.mp4\r\n", {"/a.mp4", "/b.mp4"}},
      {"\xEF\xBB\xBF/\xC3\xA9.mp4\r\n\r\n/b.mp4", {"/\u00e9.mp4", "", "/b.mp4"}},
      {QByteArray("\xFF\xFE/\0a\0\r\0\n\0", 10), {"/a"}},
      {QByteArray("\xFE\xFF\0/\0b", 6), {"/b"}},
      {"/unix\n/mac\r/last", {"/unix", "/mac", "/last"}},
      {"", {}},
  };
  for (const auto &c : cases)
    EXPECT_EQ(ListDocumentLines(c.Bytes), c.Lines) << c.Bytes.toHex().toStdString();
  // A name that is not UTF-8 comes back with its exact bytes.
  const QStringList odd = ListDocumentLines("/clip\xE9.avi\r\n");
  EXPECT_EQ(ListDocumentBytes(odd), QByteArray("/clip\xE9.avi\r\n"));

  QStringList many;
  for (int i = 0; i < 10000; ++i)
    many << QStringLiteral("/media/clip%1.mp4").arg(i);
  EXPECT_EQ(ListDocumentLines(ListDocumentBytes(many)), many);
}

TEST(ListDocument, ReadsADocumentByItsExactBytes) {
  QTemporaryDir folder;
  const QByteArray name = QFile::encodeName(folder.path()) + "/list\xE9.fls";
  {
    std::ofstream file(name.toStdString(), std::ios::binary);
    file << "/a.mp4\r\n/b\xE9.mp4\r\n";
  }
  QStringList lines;
  QString error;
  ASSERT_TRUE(ReadListDocument(LocalPathText(name), lines, error)) << error.toStdString();
  EXPECT_EQ(ListDocumentBytes(lines), QByteArray("/a.mp4\r\n/b\xE9.mp4\r\n"));
  // A missing document and a folder are errors with a reason.
  for (const QString &bad : {folder.filePath(QStringLiteral("none.fls")), folder.path()}) {
    error.clear();
    EXPECT_FALSE(ReadListDocument(bad, lines, error));
    EXPECT_FALSE(error.isEmpty());
  }
  std::filesystem::remove(name.toStdString());
}

// Only a regular file of bounded size is read: a link to a device, a FIFO (without blocking)
// and an oversized file are refused with a message naming the document.
TEST(ListDocument, ReadsOnlyABoundedRegularFile) {
  QTemporaryDir folder;
  const QString zero = folder.filePath(QStringLiteral("zero.fls"));
  const QString fifo = folder.filePath(QStringLiteral("fifo.fls"));
  const QString big = folder.filePath(QStringLiteral("big.fls"));
  ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
  ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  {
    QFile file(big);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(MaxListDocumentSize + 1));
  }
  for (const auto &[name, reason] : {std::pair{zero, "not a regular file"},
                                     {fifo, "not a regular file"},
                                     {big, "larger than"}}) {
    QStringList lines{QStringLiteral("kept")};
    QString error;
    EXPECT_FALSE(ReadListDocument(name, lines, error)) << name.toStdString();
    EXPECT_TRUE(error.startsWith("Cannot open the file list " + name + ": " + reason))
        << error.toStdString();
    EXPECT_EQ(lines, QStringList{QStringLiteral("kept")});
  }
}

// Relative lines name files beside the document, wherever the program runs; folder lines are
// taken out to be reported instead of added.
TEST(ListDocument, RelativeLinesAreBesideTheDocumentAndFoldersAreTakenOut) {
  QTemporaryDir folder;
  ASSERT_TRUE(QDir(folder.path()).mkpath(QStringLiteral("sub/inner")));
  const QString sub = folder.filePath(QStringLiteral("sub"));
  const QString name = sub + QStringLiteral("/list.fls");
  {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("clip.mp4\r\n../other.mp4\r\n/abs.mp4\r\n\r\n.\r\ninner\r\n");
  }
  QStringList lines;
  QString error;
  ASSERT_TRUE(ReadListDocument(name, lines, error)) << error.toStdString();
  EXPECT_EQ(lines, QStringList({sub + "/clip.mp4", folder.filePath("other.mp4"), "/abs.mp4", "",
                                sub, sub + "/inner"}));
  EXPECT_EQ(TakeFolderLines(lines), QStringList({sub, sub + "/inner"}));
  EXPECT_EQ(lines, QStringList({sub + "/clip.mp4", folder.filePath("other.mp4"), "/abs.mp4", ""}));
  EXPECT_EQ(FolderLinesText({sub, LocalPathText("/caf\xE9")}),
            "The file list names folders; they were not added:\n\n" + sub +
                "\n/caf\uFFFD\n\nA file list names files only. To add the files in a folder, "
                "drop the folder on the window.");
}

// The program's environment without a display, its settings in AConfig.
QProcessEnvironment WithoutDisplay(const QString &AConfig) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove(QStringLiteral("DISPLAY"));
  env.remove(QStringLiteral("WAYLAND_DISPLAY"));
  env.remove(QStringLiteral("QT_QPA_PLATFORM"));
  env.insert(QStringLiteral("APPDATA"), AConfig);
  return env;
}

// The log the program saves next to itself after a job ending in "x".
QString ProgramLogFile() {
  return QFileInfo(QStringLiteral(QUILLET_PROGRAM)).dir().filePath(QStringLiteral("log.txt"));
}

QString ProgramLog() {
  QFile log(ProgramLogFile());
  return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

// The program without a display: converts (or extracts) the given files into the folder,
// saves log.txt next to itself and ends.
TEST(CommandLine, ConvertsHeadlesslyWritesTheLogAndExits) {
  QTemporaryDir config, out;
  const QString program = QStringLiteral(QUILLET_PROGRAM);
  const QString logFile = ProgramLogFile();
  const QString list = out.filePath(QStringLiteral("list.fls"));
  {
    QFile file(list);
    file.open(QIODevice::WriteOnly);
    file.write(ListDocumentBytes({Fixture("av.avi"), Fixture("audio_first.mkv")}));
  }
  const QString lineBreak = out.filePath(QStringLiteral("a\nb.mp4"));
  ASSERT_TRUE(QFile::copy(Fixture("av.mp4"), lineBreak));
  const struct {
    QStringList Arguments;
    QStringList Outputs;
  } cases[] = {
      {{QStringLiteral("-v"), out.filePath(QStringLiteral("video")), Fixture("av.mp4"),
        Fixture("audio_first.mkv"), QStringLiteral("x")},
       {QStringLiteral("video/av.avi"),
        QStringLiteral("video/audio_first.avi")}}, // the default AVI
      {{QStringLiteral("-A"), out.filePath(QStringLiteral("audio")) + QLatin1Char('/'), list,
        QStringLiteral("X")},
       {QStringLiteral("audio/av.mp3"), QStringLiteral("audio/audio_first.mp3")}},
      // A name with a line break is one argument, one file.
      {{QStringLiteral("-v"), out.filePath(QStringLiteral("lines")), lineBreak, Fixture("av.avi"),
        QStringLiteral("x")},
       {QStringLiteral("lines/a\nb.avi"), QStringLiteral("lines/av.avi")}},
  };
  for (const auto &c : cases) {
    QFile::remove(logFile);
    QProcess run;
    run.setProcessEnvironment(WithoutDisplay(config.path()));
    run.start(program, c.Arguments);
    ASSERT_TRUE(run.waitForFinished(180000)) << c.Arguments.join(' ').toStdString();
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    for (const QString &output : c.Outputs) {
      const QString path = out.filePath(output);
      EXPECT_FALSE(ProbeFacts(path).isEmpty()) << path.toStdString();
    }
    QFile log(logFile);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly)) << logFile.toStdString();
    const QString text = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("Loading AV components...")));
    EXPECT_TRUE(text.contains(QStringLiteral("File #2")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nParameters -")));
    EXPECT_TRUE(text.trimmed().endsWith(QStringLiteral("Done.")));
  }
  QFile::remove(logFile);
}

// Runs the program without a display; its exit code, or -1 when it has not ended in time.
int RunHeadless(const QString &AConfig, const QStringList &AArguments, int ASeconds) {
  QProcess run;
  run.setProcessEnvironment(WithoutDisplay(AConfig));
  run.start(QStringLiteral(QUILLET_PROGRAM), AArguments);
  if (!run.waitForFinished(ASeconds * 1000)) {
    run.kill();
    run.waitForFinished();
    return -1;
  }
  return run.exitStatus() == QProcess::NormalExit ? run.exitCode() : -1;
}

// Without a display no one can answer the overwrite question: a second run into the same folder
// keeps the first output, says so and ends at once, successfully.
TEST(CommandLine, ASecondRunIntoTheSameFolderKeepsTheFirstOutput) {
  QTemporaryDir config, out;
  const QStringList arguments{QStringLiteral("-v"), out.path(), Fixture("av.mp4"),
                              QStringLiteral("x")};
  ASSERT_EQ(RunHeadless(config.path(), arguments, 180), 0) << ProgramLog().toStdString();
  const QString output = out.filePath(QStringLiteral("av.avi"));
  const QByteArray first = Digest(output);
  ASSERT_FALSE(ProbeFacts(output).isEmpty());
  EXPECT_EQ(RunHeadless(config.path(), arguments, 30), 0);
  EXPECT_EQ(Digest(output), first);
  const QString log = ProgramLog();
  EXPECT_TRUE(log.contains(QStringLiteral("Skipped!"))) << log.toStdString();
  EXPECT_FALSE(log.contains(QStringLiteral("Processing file...")));
  EXPECT_TRUE(log.trimmed().endsWith(QStringLiteral("Done.")));
  QFile::remove(ProgramLogFile());
}

// Outputs of one name in one folder and an output that would be its own source are numbered, not
// skipped as if they had been there before.
TEST(CommandLine, OutputsOfOneNameAreAllKept) {
  QTemporaryDir config, in, out;
  QDir(in.path()).mkpath(QStringLiteral("a"));
  QDir(in.path()).mkpath(QStringLiteral("b"));
  for (const char *name : {"a/clip1.mp4", "b/clip1.mp4"})
    QFile::copy(Fixture("av.mp4"), in.filePath(QString::fromLatin1(name)));
  const QString own = out.filePath(QStringLiteral("own.avi"));
  QFile::copy(Fixture("av.avi"), own);
  const QByteArray ownBefore = Digest(own);
  EXPECT_EQ(
      RunHeadless(config.path(),
                  {QStringLiteral("-v"), out.path(), in.filePath(QStringLiteral("a/clip1.mp4")),
                   in.filePath(QStringLiteral("b/clip1.mp4")), own, QStringLiteral("x")},
                  180),
      0);
  const QString log = ProgramLog();
  EXPECT_FALSE(log.contains(QStringLiteral("Skipped!"))) << log.toStdString();
  EXPECT_TRUE(log.contains(QStringLiteral("\n3 converted, 0 failed, 0 skipped, 0 stopped\nDone.")))
      << log.toStdString();
  for (const char *name : {"clip1.avi", "clip1 (2).avi", "own (1).avi"})
    EXPECT_EQ(ProbeFacts(out.filePath(QString::fromLatin1(name))), QStringLiteral("mpeg4,mp3"))
        << name;
  EXPECT_EQ(Digest(own), ownBefore);
  QFile::remove(ProgramLogFile());
}

// A copy of AMedia (an MP4 with its index at the end) whose coded data is garbage: it is listed
// like any media file, and its conversion fails.
QString CorruptCopy(const QString &AMedia, const QString &ACopy) {
  QFile source(AMedia);
  source.open(QIODevice::ReadOnly);
  QByteArray bytes = source.readAll();
  const qsizetype data = bytes.indexOf("mdat") + 4;
  const qsizetype index = bytes.indexOf("moov") - 4;
  bytes.replace(data, index - data, QByteArray(index - data, '\x5a'));
  QFile copy(ACopy);
  copy.open(QIODevice::WriteOnly);
  copy.write(bytes);
  return ACopy;
}

// A job ending in "x" tells a script through its exit status whether a file of it failed; the
// good files are converted all the same.
TEST(CommandLine, ExitStatusIsOneWhenAFileOfTheJobFailed) {
  QTemporaryDir config, in, out;
  // Listed first by name, so the batch goes on past it.
  const QString corrupt =
      CorruptCopy(Fixture("av.mp4"), in.filePath(QStringLiteral("a corrupt.mp4")));
  EXPECT_EQ(RunHeadless(
                config.path(),
                {QStringLiteral("-v"), out.path(), Fixture("av.mp4"), corrupt, QStringLiteral("x")},
                180),
            1);
  const QString log = ProgramLog();
  EXPECT_TRUE(log.contains(QStringLiteral("File #1\n") + corrupt)) << log.toStdString();
  EXPECT_TRUE(log.contains(QStringLiteral("File #2\n") + Fixture("av.mp4")));
  // The failed file is never called a success.
  const QString failed =
      log.section(QStringLiteral("File #1"), 1).section(QStringLiteral("File #2"), 0, 0);
  EXPECT_FALSE(failed.contains(QStringLiteral("Success!"))) << log.toStdString();
  EXPECT_TRUE(failed.contains(QStringLiteral("\nFailed\n")));
  EXPECT_TRUE(log.contains(QStringLiteral("1 converted, 1 failed, 0 skipped, 0 stopped")));
  const QString output = out.filePath(QStringLiteral("av.avi"));
  EXPECT_EQ(ProbeFacts(output), QStringLiteral("mpeg4,mp3"));
  EXPECT_NEAR(ProbeDuration(output), 2.0, 0.2);
  QFile::remove(ProgramLogFile());
}

// Media libraries that cannot be loaded: a run ending in "x" says why and fails at once rather
// than wait for an error box no one can close.
TEST(CommandLine, LibrariesThatCannotBeLoadedFailTheJobAtOnce) {
  QTemporaryDir config, folder, out;
  const QString program = folder.filePath(QStringLiteral("quillet"));
  ASSERT_TRUE(QFile::copy(QStringLiteral(QUILLET_PROGRAM), program));
  {
    QFile broken(folder.filePath(QStringLiteral("libavutil.so.57")));
    broken.open(QIODevice::WriteOnly);
    broken.write("not a library\n");
  }
  QProcess run;
  run.setProcessEnvironment(WithoutDisplay(config.path()));
  run.start(program, {QStringLiteral("-v"), out.path(), Fixture("av.mp4"), QStringLiteral("x")});
  const bool ended = run.waitForFinished(30000);
  if (!ended)
    run.kill();
  ASSERT_TRUE(ended);
  EXPECT_EQ(run.exitCode(), 1);
  const QString said = QString::fromUtf8(run.readAllStandardError());
  EXPECT_TRUE(said.contains(QStringLiteral("libavutil.so.57"))) << said.toStdString();
  EXPECT_TRUE(said.contains(QStringLiteral("No media file to work on")));
  EXPECT_TRUE(QDir(out.path()).isEmpty());
}

// A file name that is not UTF-8 reaches the program as bytes (QProcess would re-encode it, so
// a shell glob passes it) and is converted under the same bytes.
TEST(CommandLine, ConvertsAFileWhoseNameIsNotUtf8) {
  QTemporaryDir config, in, out;
  const std::string latin1Name = "caf\xE9 clip.mp4";
  std::filesystem::copy_file(Fixture("av.mp4").toStdString(),
                             QFile::encodeName(in.path()).toStdString() + '/' + latin1Name);
  QProcess run;
  run.setProcessEnvironment(WithoutDisplay(config.path()));
  run.start(QStringLiteral("sh"),
            {QStringLiteral("-c"), QStringLiteral("exec \"$0\" -v \"$1\" \"$2\"/caf*.mp4 x"),
             QStringLiteral(QUILLET_PROGRAM), out.path(), in.path()});
  ASSERT_TRUE(run.waitForFinished(180000));
  EXPECT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
  const std::string output = QFile::encodeName(out.path()).toStdString() + "/caf\xE9 clip.avi";
  ASSERT_TRUE(std::filesystem::exists(output)) << ProgramLog().toStdString();
  // Probed under a plain name.
  std::filesystem::rename(output, out.filePath(QStringLiteral("plain.avi")).toStdString());
  EXPECT_FALSE(ProbeFacts(out.filePath(QStringLiteral("plain.avi"))).isEmpty());
  EXPECT_TRUE(ProgramLog().trimmed().endsWith(QStringLiteral("Done.")));
  // QTemporaryDir cannot remove a name it cannot encode.
  std::filesystem::remove_all(QFile::encodeName(in.path()).toStdString());
}

// A job ending in "x" with nothing to work on ends at once with a failure status and says why
// (it would otherwise wait for the Add Files dialog with no one to answer it); without the
// "x" the program stays open for the user to add files.
TEST(CommandLine, AJobEndingInXWithoutUsableFilesFailsAtOnce) {
  QTemporaryDir config, out;
  const QString empty = out.filePath(QStringLiteral("empty.fls"));
  QFile(empty).open(QIODevice::WriteOnly);
  const QString missing = out.filePath(QStringLiteral("missing.mp4"));
  const QStringList runs[] = {
      {QStringLiteral("-v"), out.path(), missing, QStringLiteral("x")},
      {QStringLiteral("-a"), out.path(), QStringLiteral("X")},
      {QStringLiteral("-v"), out.path(), empty, QStringLiteral("x")},
      {QStringLiteral("-v"), out.path(), Fixture("not_media.mp4"), out.path(), QStringLiteral("x")},
  };
  for (const QStringList &arguments : runs) {
    QProcess run;
    run.setProcessEnvironment(WithoutDisplay(config.path()));
    run.start(QStringLiteral(QUILLET_PROGRAM), arguments);
    const bool ended = run.waitForFinished(30000);
    if (!ended)
      run.kill();
    ASSERT_TRUE(ended) << arguments.join(' ').toStdString();
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 1);
    const QString said = QString::fromUtf8(run.readAllStandardError());
    EXPECT_TRUE(said.contains(QStringLiteral("No media file to work on"))) << said.toStdString();
    EXPECT_TRUE(ProgramLog().startsWith(QStringLiteral("No media file to work on")));
  }
  QProcess open;
  open.setProcessEnvironment(WithoutDisplay(config.path()));
  open.start(QStringLiteral(QUILLET_PROGRAM), {QStringLiteral("-v"), out.path(), missing});
  EXPECT_FALSE(open.waitForFinished(3000));
  ::kill(pid_t(open.processId()), SIGTERM);
  EXPECT_TRUE(open.waitForFinished(30000));
  EXPECT_EQ(open.exitCode(), 0);
  QFile::remove(ProgramLogFile());
}

// The program copied into a folder of its own, so that its log.txt is the test's alone.
QString ProgramCopy(const QTemporaryDir &AFolder) {
  const QString program = AFolder.filePath(QStringLiteral("quillet"));
  QFile::copy(QStringLiteral(QUILLET_PROGRAM), program);
  return program;
}

// A job ending in "x" that a signal stops mid-batch has not done what it was asked: the program
// says so, saves the log with the files it did not convert and ends with the shells' status for
// the signal. The stopped file is finished properly.
TEST(CommandLine, ASignalStopsTheJobWithItsStatusAndTheLog) {
  QTemporaryDir config, in;
  const QString clip = in.filePath(QStringLiteral("a.mkv"));
  ASSERT_EQ(MakeClip(clip, {QStringLiteral("testsrc=size=320x240:rate=25:duration=60")}), 0);
  for (const char *name : {"b.mkv", "c.mkv"})
    ASSERT_TRUE(QFile::link(clip, in.filePath(QString::fromLatin1(name))));
  const struct {
    int Signal;
    const char *Name;
  } cases[] = {{SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}};
  for (const auto &c : cases) {
    QTemporaryDir folder, out;
    const QString program = ProgramCopy(folder);
    QProcess run;
    run.setProcessEnvironment(WithoutDisplay(config.path()));
    run.start(program,
              {QStringLiteral("-v"), out.path(), clip, in.filePath(QStringLiteral("b.mkv")),
               in.filePath(QStringLiteral("c.mkv")), QStringLiteral("x")});
    const QString first = out.filePath(QStringLiteral("a.avi"));
    QDeadlineTimer deadline(120000);
    while (!QFileInfo::exists(first) && !deadline.hasExpired() && !run.waitForFinished(10)) {
    }
    ASSERT_TRUE(QFileInfo::exists(first)) << c.Name;
    ::kill(pid_t(run.processId()), c.Signal);
    const bool ended = run.waitForFinished(120000);
    if (!ended)
      run.kill();
    ASSERT_TRUE(ended) << c.Name;
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 128 + c.Signal) << c.Name;
    const QString stopped = QStringLiteral("Stopped by %1.").arg(QLatin1String(c.Name));
    const QString undone =
        QStringLiteral("File #1 of 3 was stopped; files #2 to #3 were not converted.");
    const QString said = QString::fromUtf8(run.readAllStandardError());
    EXPECT_TRUE(said.contains(stopped)) << said.toStdString();
    EXPECT_TRUE(said.contains(undone)) << said.toStdString();
    const QString log = FileText(folder.filePath(QStringLiteral("log.txt")));
    EXPECT_TRUE(log.contains(QStringLiteral("File #1\n") + clip)) << log.toStdString();
    EXPECT_TRUE(log.contains(stopped + QStringLiteral("\nStopped at 00:"))) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral(" of 00:01:00; the output holds what was converted\n") +
                             undone))
        << log.toStdString();
    EXPECT_FALSE(log.contains(QStringLiteral("File #2")));
    EXPECT_FALSE(ProbeFacts(first).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(out.filePath(QStringLiteral("c.avi"))));
  }
}

// A batch killed mid-way (SIGKILL: nothing of the program runs after it) leaves its queue; "-r"
// converts what it had not finished, the file it was writing included: that unfinished output is
// replaced, where an output from before the batch would have been kept (no one to ask). Two
// files at once, from the saved settings.
TEST(CommandLine, AKilledBatchIsResumedWithItsUnfinishedOutputReplaced) {
  QTemporaryDir config, in, out;
  const QString settings = config.filePath(QStringLiteral("Sablewick/Quillet"));
  QDir().mkpath(settings);
  {
    QFile ini(settings + QStringLiteral("/quillet.ini"));
    ini.open(QIODevice::WriteOnly);
    ini.write("[Settings]\nThreads=1\n");
  }
  const QString slow = in.filePath(QStringLiteral("slow.mkv"));
  ASSERT_EQ(MakeClip(slow, {QStringLiteral("testsrc=size=320x240:rate=25:duration=60")}), 0);
  const QStringList sources{slow, Fixture("av.mp4"), Fixture("audio_first.mkv")};
  QProcess run;
  run.setProcessEnvironment(WithoutDisplay(config.path()));
  run.start(QStringLiteral(QUILLET_PROGRAM),
            QStringList{QStringLiteral("-v"), out.path()} + sources + QStringList{"x"});
  const QString first = out.filePath(QStringLiteral("slow.avi"));
  // The job's own queue file.
  const auto queue = [&] { return QueueFiles(settings).value(0); };
  QDeadlineTimer deadline(120000);
  while (!(QFileInfo::exists(first) && FileText(queue()).contains(QStringLiteral("slow.avi"))) &&
         !deadline.hasExpired() && !run.waitForFinished(10)) {
  }
  ASSERT_TRUE(QFileInfo::exists(first));
  ASSERT_EQ(QueueFiles(settings).size(), 1);
  const std::optional<TSavedBatch> saved = ParseBatchQueue(FileText(queue()).toUtf8());
  ASSERT_TRUE(saved);
  EXPECT_TRUE(OwnerRunning(*saved)) << "its owner runs, by its id and its start";
  ::kill(pid_t(run.processId()), SIGKILL);
  ASSERT_TRUE(run.waitForFinished(30000));
  ASSERT_FALSE(queue().isEmpty());
  EXPECT_LT(QFileInfo(first).size(), 1000000) << "killed before the slow file was done";
  ASSERT_EQ(RunHeadless(config.path(), {QStringLiteral("-r"), QStringLiteral("x")}, 180), 0);
  EXPECT_NEAR(ProbeDuration(first), 60.0, 0.5);
  for (const char *name : {"av.avi", "audio_first.avi"})
    EXPECT_FALSE(ProbeFacts(out.filePath(QString::fromLatin1(name))).isEmpty()) << name;
  const QString log = ProgramLog();
  EXPECT_FALSE(log.contains(QStringLiteral("Skipped!"))) << log.toStdString();
  EXPECT_TRUE(log.contains(slow)) << log.toStdString();
  EXPECT_TRUE(QueueFiles(settings).isEmpty());
  // Nothing is left to resume now.
  EXPECT_EQ(RunHeadless(config.path(), {QStringLiteral("-r"), QStringLiteral("x")}, 60), 1);
  QFile::remove(ProgramLogFile());
}

// "-r" resumes every batch a gone program left, one after the other, and the log holds each
// one's (a target size's two passes too); a queue file that cannot be read is named on stderr
// and kept.
TEST(CommandLine, ResumeRunsEveryCutOffBatchInTurn) {
  QTemporaryDir config, out;
  const QString settings = config.filePath(QStringLiteral("Sablewick/Quillet"));
  QDir().mkpath(settings);
  const qint64 gone = GoneProcess();
  SaveOneFileQueue(settings + QStringLiteral("/batch-1-0.json"), gone, Fixture("av.mp4"),
                   QStringLiteral("-c:v mpeg4 -an"), out.path(), 1);
  SaveOneFileQueue(settings + QStringLiteral("/batch-1-1.json"), gone, Fixture("audio_first.mkv"),
                   QStringLiteral("-c:v mpeg4 -q:v 5 -an"), out.path());
  const QString corrupt = settings + QStringLiteral("/batch-2-2.json");
  WriteFile(corrupt, "not a queue");
  QProcess run;
  run.setProcessEnvironment(WithoutDisplay(config.path()));
  run.start(QStringLiteral(QUILLET_PROGRAM), {QStringLiteral("-r"), QStringLiteral("x")});
  ASSERT_TRUE(run.waitForFinished(180000));
  EXPECT_EQ(run.exitCode(), 0);
  EXPECT_TRUE(run.readAllStandardError().contains("batch-2-2.json"));
  EXPECT_EQ(ProbeFacts(out.filePath(QStringLiteral("av.mkv"))), QStringLiteral("mpeg4"));
  EXPECT_EQ(ProbeFacts(out.filePath(QStringLiteral("audio_first.mkv"))), QStringLiteral("mpeg4"));
  const QString log = ProgramLog();
  EXPECT_TRUE(log.contains(QStringLiteral("Parameters -c:v mpeg4 -an"))) << log.toStdString();
  EXPECT_TRUE(log.contains(
      QStringLiteral("Target size 1 MB: video bit rate 3840 kbit/s (audio 0 kbit/s), two passes")))
      << log.toStdString();
  EXPECT_EQ(log.count(QStringLiteral("Pass 2 of 2")), 1);
  EXPECT_TRUE(log.contains(QStringLiteral("Parameters -c:v mpeg4 -q:v 5 -an")))
      << log.toStdString();
  EXPECT_EQ(QueueFiles(settings), QStringList{corrupt});
  QFile::remove(ProgramLogFile());
}

// A reader of stderr that went away is no reason to die: the program ends as it would have,
// with its status and its log.
TEST(CommandLine, AClosedStderrIsNoReasonToDie) {
  QTemporaryDir config, folder, out;
  const QString program = ProgramCopy(folder);
  QProcess run;
  run.setProcessEnvironment(WithoutDisplay(config.path()));
  run.setChildProcessModifier([] {
    int ends[2];
    if (::pipe(ends) == 0) {
      ::close(ends[0]);
      ::dup2(ends[1], STDERR_FILENO);
    }
  });
  run.start(program, {QStringLiteral("-v"), out.path(), out.filePath(QStringLiteral("missing.mp4")),
                      QStringLiteral("x")});
  const bool ended = run.waitForFinished(30000);
  if (!ended)
    run.kill();
  ASSERT_TRUE(ended);
  EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(run.exitCode(), 1);
  EXPECT_TRUE(FileText(folder.filePath(QStringLiteral("log.txt")))
                  .startsWith(QStringLiteral("No media file to work on")));
}

} // namespace

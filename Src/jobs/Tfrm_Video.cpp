#include "jobs/Tfrm_Video.h"

#include "components/encoder/TFFEncoder.h"
#include "components/filelist/LocalPath.h"
#include "jobs/DesktopNotification.h"
#include "jobs/JobTexts.h"
#include "jobs/TSessionPower.h"
#include "jobs/taskbar/TWin7TaskProgressBar.h"
#include "media/TFFDecoder.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

namespace {

QTimer *NewTimer(QObject *AOwner, int AInterval) {
  auto *timer = new QTimer(AOwner);
  timer->setInterval(AInterval);
  return timer;
}

TThreadPriority PriorityOf(int ACPUUsage, TThreadPriority ACurrent) {
  switch (ACPUUsage) {
  case 0:
    return tpIdle;
  case 1:
    return tpLowest;
  case 2:
    return tpNormal;
  case 3:
    return tpHighest;
  default:
    return ACurrent;
  }
}

QString FolderOf(const QString &APath) {
  return APath.left(APath.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

Tfrm_Video::Tfrm_Video(QWidget *AOwner, TJobRecord AJob)
    : QDialog(AOwner), FJob(std::move(AJob)), FFDecoder(std::make_unique<TFFDecoder>()),
      FFEncoder(std::make_unique<TFFEncoder>()), FOutputs(LocalPathExists) {
  setWindowTitle(QStringLiteral("Saving..."));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint);
  CreateControls();
  FFEncoder->OnProgress = [this](TObject *, TProgressInfo *AInfo) { FFEncoderProgress(*AInfo); };
  FFEncoder->OnTerminate = [this](TObject *, const TTerminateInfo &AInfo) {
    FFEncoderTerminate(AInfo);
  };
  chk_Preview->setChecked(FJob.Preview);
  chk_PreviewClick(FJob.Preview);
}

Tfrm_Video::~Tfrm_Video() {
  // The encoder waits for its tasks; their events must not reach a half-destroyed window.
  FFEncoder->OnProgress = nullptr;
  FFEncoder->OnTerminate = nullptr;
  FFEncoder.reset();
}

TJobOutcome Tfrm_Video::Execute(QWidget *AOwner, const TJobRecord &AJob) {
  Tfrm_Video window(AOwner, AJob);
  window.exec();
  return {window.Completed(), window.chk_Preview->isChecked(), window.FailedFiles()};
}

QString Tfrm_Video::OutputFolder() const {
  return FJob.OutputPath.isEmpty() ? FolderOf(FLastOutput) : FJob.OutputPath;
}

void Tfrm_Video::CreateControls() {
  lbl_File = new QLabel(QStringLiteral("Saving video..."));
  lbl_Percent = new QLabel;
  lbl_Percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  prg_Process = new QProgressBar;
  prg_Process->setRange(0, 100);
  prg_Process->setTextVisible(false);
  lbl_ElapsedValue = new QLabel(QStringLiteral("00:00:00"));
  lbl_RemainingValue = new QLabel;
  lbl_FPS = new QLabel;
  lbl_FPS->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  // The whole batch by duration, beside the current file's bar.
  prg_Batch = new QProgressBar;
  prg_Batch->setRange(0, 100);
  prg_Batch->setTextVisible(false);
  prg_Batch->setFixedWidth(120);
  lbl_Batch = new QLabel;
  lbl_Batch->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lbl_Summary = new QLabel;

  auto *top = new QWidget;
  top->setFixedHeight(135);
  auto *grid = new QGridLayout(top);
  grid->addWidget(lbl_File, 0, 0, 1, 2);
  grid->addWidget(lbl_Percent, 0, 2);
  grid->addWidget(prg_Process, 1, 0, 1, 2);
  grid->addWidget(prg_Batch, 1, 2);
  grid->addWidget(new QLabel(QStringLiteral("Time elapsed:")), 2, 0);
  grid->addWidget(lbl_ElapsedValue, 2, 1);
  grid->addWidget(lbl_Batch, 2, 2);
  grid->addWidget(new QLabel(QStringLiteral("Time remaining:")), 3, 0);
  grid->addWidget(lbl_RemainingValue, 3, 1);
  grid->addWidget(lbl_FPS, 3, 2);
  grid->addWidget(lbl_Summary, 4, 0, 1, 3);
  grid->setColumnStretch(1, 1);

  log_Main = new QTextEdit;
  log_Main->setReadOnly(true);
  log_Main->setFrameShape(QFrame::NoFrame);
  log_Main->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  log_Main->setContentsMargins(4, 0, 4, 0);

  btn_Pause = new QPushButton(QStringLiteral("Pause"));
  btn_Stop = new QPushButton(QStringLiteral("Stop"));
  btn_Close = new QPushButton(QStringLiteral("Close"));
  btn_OpenFolder = new QPushButton(QStringLiteral("Open folder"));
  btn_OpenFolder->hide();
  btn_Pause->setEnabled(false);
  btn_Stop->setEnabled(false);
  chk_Preview = new QCheckBox(QStringLiteral("Preview"));
  FSessionPower = new TSessionPower(this);
  cb_WhenDone = FSessionPower->CreateChoice(this);
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(btn_Pause);
  buttons->addWidget(btn_Stop);
  buttons->addSpacing(12);
  buttons->addWidget(chk_Preview);
  buttons->addWidget(new QLabel(QStringLiteral("When done:")));
  buttons->addWidget(cb_WhenDone);
  buttons->addStretch();
  buttons->addWidget(btn_OpenFolder);
  buttons->addWidget(btn_Close);

  auto *layout = new QVBoxLayout(this);
  layout->addWidget(top);
  layout->addWidget(log_Main, 1);
  layout->addLayout(buttons);
  resize(494, 427);

  tmr_Start = NewTimer(this, 100);
  tmr_Elapsed = NewTimer(this, 1000);
  tmr_Process = NewTimer(this, 100);
  connect(tmr_Start, &QTimer::timeout, this, [this] { tmr_StartTimer(); });
  connect(tmr_Elapsed, &QTimer::timeout, this, [this] { tmr_ElapsedTimer(); });
  connect(tmr_Process, &QTimer::timeout, this, [this] { tmr_ProcessTimer(); });
  connect(btn_Pause, &QPushButton::clicked, this, [this] { btn_PauseClick(); });
  connect(btn_Stop, &QPushButton::clicked, this, [this] { btn_StopClick(); });
  connect(btn_Close, &QPushButton::clicked, this, [this] { close(); });
  connect(btn_OpenFolder, &QPushButton::clicked, this, [this] { btn_OpenFolderClick(); });
  connect(chk_Preview, &QCheckBox::toggled, this, [this](bool AOn) { chk_PreviewClick(AOn); });
}

// Reaches a running task too; without a window system the engine logs that the preview is
// unavailable and converts on.
void Tfrm_Video::chk_PreviewClick(bool AChecked) {
  FFEncoder->SetPreviewVideo(AChecked);
  FFEncoder->SetPreviewAudio(AChecked);
}

void Tfrm_Video::AddLog(const QString &AText, TLogColor AColor, bool ABold) {
  QTextCharFormat format;
  format.setForeground(LogColor(AColor, FJob.DarkText));
  format.setFontWeight(ABold ? QFont::Bold : QFont::Normal);
  QTextCursor cursor(log_Main->document());
  cursor.movePosition(QTextCursor::End);
  if (!log_Main->document()->isEmpty())
    cursor.insertBlock();
  cursor.insertText(AText, format);
  log_Main->verticalScrollBar()->setValue(log_Main->verticalScrollBar()->maximum());
}

void Tfrm_Video::ErrorLog(const QString &AText) {
  AddLog(AText, clRed);
  QApplication::beep();
}

void Tfrm_Video::FileFailed(const QString &AText) {
  ++FFailedFiles;
  ErrorLog(AText);
}

void Tfrm_Video::SetTaskbar(int AValue, int AMax) {
  if (!FJob.Win7)
    return;
  if (AMax >= 0)
    FJob.Win7->SetMax(AMax);
  FJob.Win7->SetProgress(AValue < 0 ? FJob.Win7->Max() : AValue);
}

void Tfrm_Video::showEvent(QShowEvent *event) {
  QDialog::showEvent(event);
  if (FShown)
    return;
  FShown = true;
  FileCount = int(FJob.Entries.size());
  setWindowTitle(QStringLiteral("Saving... [1/%1]").arg(FileCount));
  lbl_RemainingValue->setText(QStringLiteral("calculation..."));
  if (!FJob.OutputPath.isEmpty())
    QDir().mkpath(FJob.OutputPath);
  tmr_Elapsed->start();
  tmr_Start->start();
}

void Tfrm_Video::tmr_StartTimer() {
  tmr_Start->stop();
  if (FJob.Win7) {
    FJob.Win7->SetVisible(true);
    FJob.Win7->SetStyle(tbpsNormal);
  }
  AddLog(QStringLiteral("Loading AV components..."), clBlack);
  if (!FFEncoder->AVLibLoaded() &&
      !FFEncoder->LoadAVLib(QCoreApplication::applicationDirPath().toStdString())) {
    ErrorLog(QString::fromStdString(FFEncoder->LastErrMsg()));
    tmr_Elapsed->stop();
    return;
  }
  if (!FFDecoder->AVLibLoaded())
    FFDecoder->LoadAVLib(QCoreApplication::applicationDirPath().toStdString());
  TFFBaseComponent::DisableFPUExceptions();
  AddLog(QStringLiteral("Success!"), clGreen);
  FSessionPower->JobStarted(FileCount);
  btn_Close->setEnabled(false);
  MeasureBatch();
  ProcessFile(CurrentFile);
}

// The sources' durations for the batch's progress. One whose duration is not known (it cannot
// be opened, or does not say) weighs as much as the average of the others, one second when
// none is known: the bar moves past it whether it converts or fails.
void Tfrm_Video::MeasureBatch() {
  int64_t known = 0;
  int measured = 0;
  for (const TFileEntry &entry : FJob.Entries) {
    int64_t duration = 0;
    if (FFDecoder->LoadFile(LocalPathString(entry.SubItems[siSource]))) {
      duration = std::max<int64_t>(FFDecoder->FileStreamInfo().Duration, 0);
      FFDecoder->CloseFile();
    }
    FDurations << duration;
    known += duration;
    measured += duration > 0 ? 1 : 0;
  }
  const int64_t stand_in = measured > 0 ? known / measured : 1000000;
  for (int64_t &duration : FDurations) {
    if (duration <= 0)
      duration = stand_in;
    FBatchTotal += duration;
  }
}

void Tfrm_Video::ShowBatchProgress() {
  int64_t done = FBatchDone;
  if (CurrentFile < FDurations.size())
    done += std::clamp<int64_t>(ProgressCurrent, 0, FDurations[CurrentFile]);
  const int percent = ProgressPercent(done, FBatchTotal);
  prg_Batch->setValue(percent < 0 && FBatchTotal > 0 ? 100 : std::max(percent, 0));
  lbl_Batch->setText(BatchProgressText(done, FBatchTotal, FJobSeconds));
}

void Tfrm_Video::ProcessFile(int AIndex) {
  if (AIndex >= FileCount) {
    FinishJob();
    return;
  }
  FileSeconds = 0;
  lbl_RemainingValue->setText(QStringLiteral("calculation..."));
  setWindowTitle(QStringLiteral("Saving... [%1/%2]").arg(CurrentFile + 1).arg(FileCount));
  const TFileEntry &entry = FJob.Entries[AIndex];
  const QString source = entry.SubItems[siSource];
  AddLog(QString(), clGreen);
  lbl_File->setText(DisplayPath(entry.Caption));
  AddLog(QStringLiteral("File #%1").arg(AIndex + 1), clBlack, true);
  AddLog(DisplayPath(source), clBlack);
  // A source gone since it was added fails with the decoder's message rather than being
  // passed over in silence, so the batch never looks complete when it is not.
  if (!LocalPathExists(source)) {
    LoadSource(source);
    return;
  }
  const QString folder = FJob.OutputPath.isEmpty() ? FolderOf(source) : FJob.OutputPath;
  // Named after the source file's exact bytes; the caption shows kept bytes replaced.
  const QString name = OutputFileName(LocalFileName(source), QString());
  const TBatchOutputs::TChoice output = FOutputs.Choose(source, folder, name, OutputExtension());
  if (output.Existing && !OverwriteAnswered(LocalFileName(output.Path))) {
    FileSkipped();
    return;
  }
  FOutputs.Claim(output.Path);
  FLastOutput = output.Path;
  ConvertFile(source, output.Path);
}

void Tfrm_Video::FileSkipped() {
  ++FSkippedFiles;
  AddLog(QStringLiteral("Skipped!"), clRed);
  tmr_Process->start();
}

// Asks whether a file that was there before the batch may be replaced; the time spent asking is
// not counted. Without a display no one could answer, so the file is kept.
bool Tfrm_Video::OverwriteAnswered(const QString &AName) {
  if (FJob.Headless || FOverwriteAll != oaAsk)
    return FOverwriteAll == oaYes;
  tmr_Elapsed->stop();
  const auto answer = QMessageBox::warning(
      this, QStringLiteral("Warning"),
      QStringLiteral("File \"%1\" already exists!\r\rOverwrite existing file?")
          .arg(DisplayPath(AName)),
      QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::NoToAll,
      QMessageBox::No);
  tmr_Elapsed->start();
  if (answer == QMessageBox::YesToAll)
    FOverwriteAll = oaYes;
  else if (answer == QMessageBox::NoToAll)
    FOverwriteAll = oaNo;
  return answer == QMessageBox::Yes || answer == QMessageBox::YesToAll;
}

// Loads the source for its facts; a failure is logged and the job goes on with the next file.
bool Tfrm_Video::LoadSource(const QString &ASource) {
  if (!FFDecoder->LoadFile(LocalPathString(ASource))) {
    FileFailed(QStringLiteral("Loading file... Error! ") +
               QString::fromStdString(FFDecoder->LastErrMsg()));
    tmr_Process->start();
    return false;
  }
  SourceLoaded(*FFDecoder);
  FFDecoder->CloseFile();
  AddLog(QStringLiteral("Loading file... OK"), clGreen);
  return true;
}

void Tfrm_Video::ConvertFile(const QString &ASource, const QString &AOutput) {
  prg_Process->setValue(0);
  lbl_Percent->clear();
  ProgressTotal = 0;
  ProgressCurrent = 0;
  FTaskFinished = false;
  FTaskFailed = false;
  if (!LoadSource(ASource))
    return;
  btn_Stop->setEnabled(true);
  btn_Pause->setEnabled(true);
  FFEncoder->ClearTasks();
  TInputOptions input;
  input.FileName = LocalPathString(ASource);
  const int task = FFEncoder->AddTask(input.FileName, &input);
  if (task < 0) {
    FileFailed(QStringLiteral("Adding task... Error! ") +
               QString::fromStdString(FFEncoder->LastErrMsg()));
    tmr_Process->start();
    return;
  }
  AddLog(QStringLiteral("Adding task... OK"), clGreen);
  AddLog(QStringLiteral("Parameters ") + FJob.Options, clGrey);
  TOutputOptions output;
  output.Options = FJob.Options.toStdString();
  if (FFEncoder->SetOutput(task, LocalPathString(AOutput), &output) < 0) {
    FFEncoder->RemoveTask(task);
    FileFailed(QStringLiteral("Applying parameters... Error! ") +
               QString::fromStdString(FFEncoder->LastErrMsg()));
    tmr_Process->start();
    return;
  }
  AddLog(QStringLiteral("Applying parameters... OK"), clGreen);
  AddLog(QStringLiteral("Processing file..."), clGreen);
  lbl_File->setText(DisplayPath(LocalFileName(AOutput)));
  AddLog(DisplayPath(AOutput), clBlack);
  FFEncoder->SetThreadPriority(PriorityOf(FJob.CPUUsage, FFEncoder->ThreadPriority()));
  FFEncoder->Start(FJob.Threads);
}

int64_t Tfrm_Video::ProgressTotalOf(const TProgressInfo &AInfo) const {
  return AInfo.TotalDuration;
}

void Tfrm_Video::FFEncoderProgress(const TProgressInfo &AInfo) {
  ProgressTotal = ProgressTotalOf(AInfo);
  ProgressCurrent = AInfo.CurrentDuration;
  const int percent = ProgressPercent(ProgressCurrent, ProgressTotal);
  if (percent >= 0) {
    prg_Process->setValue(percent);
    lbl_Percent->setText(QStringLiteral("%1%").arg(percent));
    if (FileCount == 1)
      SetTaskbar(percent);
  }
  lbl_FPS->setText(JobSizeText(AInfo.CurrentSize));
  ShowBatchProgress();
}

// The task's own event says how it ended; the closing event (-1) reports the file once:
// "Success!" only for a task that finished, a red "Failed" for one that failed.
void Tfrm_Video::FFEncoderTerminate(const TTerminateInfo &AInfo) {
  if (AInfo.TaskIndex != -1) {
    FTaskFinished = AInfo.Finished && !AInfo.Exception;
    FTaskFailed = AInfo.Exception;
    if (AInfo.Exception)
      AddLog(QString::fromStdString(AInfo.ExceptionMsg), clRed);
  } else
    TaskEnded();
  tmr_Process->start();
}

void Tfrm_Video::TaskEnded() {
  lbl_RemainingValue->setText(QStringLiteral("00:00:00"));
  if (FTaskFinished) {
    ++FConvertedFiles;
    prg_Process->setValue(100);
    lbl_Percent->setText(QStringLiteral("100%"));
    SetTaskbar(-1);
    AddLog(QStringLiteral("Success!"), clGreen);
  } else if (FCancelled && !FTaskFailed)
    FileStopped();
  else
    FileFailed(QStringLiteral("Failed"));
}

// What the stopped file's output holds; the bar keeps the percent reached.
void Tfrm_Video::FileStopped() {
  ++FStoppedFiles;
  AddLog(StoppedAtText(ProgressCurrent, ProgressTotal), clRed);
}

void Tfrm_Video::tmr_ProcessTimer() {
  tmr_Process->stop();
  // A task still ending after Stop: its termination events start this timer again.
  if (FFEncoder->Working() && !FFEncoder->Terminated())
    return;
  if (FCancelled) {
    if (FJob.SaveLogAndQuit)
      ReportStop();
    FinishCancelled();
    if (FJob.SaveLogAndQuit)
      SaveLog();
    return;
  }
  if (CurrentFile < FDurations.size())
    FBatchDone += FDurations[CurrentFile];
  ++CurrentFile;
  ProgressCurrent = 0;
  ShowBatchProgress();
  if (FileCount == 1)
    SetTaskbar(0, 100);
  else
    SetTaskbar(CurrentFile, FileCount);
  btn_Stop->setEnabled(false);
  btn_Pause->setEnabled(false);
  ProcessFile(CurrentFile);
}

void Tfrm_Video::StopRunning(const QString &AEnd) {
  tmr_Elapsed->stop();
  const QString summary =
      BatchSummaryText(FConvertedFiles, FFailedFiles, FSkippedFiles, FStoppedFiles);
  AddLog(summary, clBlack);
  AddLog(AEnd + QLatin1Char('.'), clBlue);
  setWindowTitle(AEnd);
  lbl_File->setText(AEnd + QLatin1Char('.'));
  lbl_Summary->setText(summary);
  lbl_RemainingValue->setText(QStringLiteral("00:00:00"));
  btn_OpenFolder->setVisible(!OutputFolder().isEmpty());
  btn_Close->setEnabled(true);
  // Someone working in another window learns of the end from the desktop.
  if (!FJob.Headless && !isActiveWindow())
    NotifyDesktop(QStringLiteral("Quillet: ") + AEnd, summary);
  QApplication::beep();
  FSessionPower->JobEnded(FCancelled);
}

void Tfrm_Video::FinishCancelled() {
  lbl_FPS->clear();
  btn_Stop->hide();
  btn_Pause->hide();
  StopRunning(QStringLiteral("Stopped"));
}

void Tfrm_Video::FinishJob() {
  AddLog(QString(), clGreen);
  SetTaskbar(-1);
  btn_Stop->setEnabled(false);
  btn_Pause->setEnabled(false);
  StopRunning(QStringLiteral("Done"));
  FCompleted = true;
  if (FJob.SaveLogAndQuit) {
    SaveLog();
    accept();
  }
}

void Tfrm_Video::SaveLog() {
  WriteCommandLineLog(log_Main->toPlainText());
}

void Tfrm_Video::ReportStop() {
  const QString text = StoppedJobText(CurrentFile, FileCount);
  AddLog(text, clRed);
  std::fprintf(stderr, "%s The job log is %s.\n", qPrintable(text),
               qPrintable(CommandLineLogFile()));
}

void Tfrm_Video::tmr_ElapsedTimer() {
  ++FileSeconds;
  ++FJobSeconds;
  lbl_ElapsedValue->setText(ClockText(FJobSeconds));
  ShowBatchProgress();
  if (FileSeconds > 5)
    lbl_RemainingValue->setText(RemainingText(ProgressCurrent, ProgressTotal, FileSeconds));
}

void Tfrm_Video::btn_PauseClick() {
  if (btn_Pause->text() == QStringLiteral("Pause")) {
    btn_Pause->setText(QStringLiteral("Resume"));
    AddLog(QStringLiteral("Paused!"), clMaroon);
    tmr_Elapsed->stop();
    FFEncoder->Pause();
    return;
  }
  btn_Pause->setText(QStringLiteral("Pause"));
  AddLog(QStringLiteral("Resumed!"), clMaroon);
  tmr_Elapsed->start();
  FFEncoder->Resume();
}

void Tfrm_Video::btn_OpenFolderClick() {
  QDesktopServices::openUrl(QUrl::fromLocalFile(OutputFolder()));
}

void Tfrm_Video::btn_StopClick() {
  Stop(QStringLiteral("Cancelled by user!"));
}

void Tfrm_Video::Stop(const QString &AReason) {
  btn_Stop->setEnabled(false);
  btn_Pause->setEnabled(false);
  FCancelled = true;
  ErrorLog(AReason);
  if (FFEncoder->Paused())
    FFEncoder->Resume();
  FFEncoder->Stop(false);
  tmr_Process->start();
}

void Tfrm_Video::closeEvent(QCloseEvent *event) {
  if (!btn_Close->isEnabled()) {
    event->ignore();
    return;
  }
  if (FJob.Win7) {
    FJob.Win7->SetProgress(0);
    FJob.Win7->SetVisible(false);
  }
  QDialog::closeEvent(event);
}

void Tfrm_Video::reject() {
  if (btn_Close->isEnabled())
    QDialog::reject();
}

QString Tfrm_Video::OutputExtension() const {
  return QLatin1Char('.') + FJob.VideoFormat.toLower();
}

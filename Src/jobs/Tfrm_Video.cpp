#include "jobs/Tfrm_Video.h"

#include "components/encoder/TFFEncoder.h"
#include "components/filelist/LocalPath.h"
#include "jobs/DesktopNotification.h"
#include "jobs/JobTexts.h"
#include "jobs/TBatchQueue.h"
#include "jobs/TQueueWriter.h"
#include "jobs/TSessionPower.h"
#include "jobs/taskbar/TWin7TaskProgressBar.h"
#include "media/TFFDecoder.h"
#include "shell/settings/OptionBuilders.h"
#include "shell/settings/TargetSize.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
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

QStringList SourcesOf(const TJobRecord &AJob) {
  QStringList sources;
  for (const TFileEntry &entry : AJob.Entries)
    sources << entry.SubItems[siSource];
  return sources;
}

TOverwriteAnswer AnswerOf(QMessageBox::StandardButton AButton) {
  switch (AButton) {
  case QMessageBox::Yes:
    return TOverwriteAnswer::Yes;
  case QMessageBox::YesToAll:
    return TOverwriteAnswer::YesToAll;
  case QMessageBox::NoToAll:
    return TOverwriteAnswer::NoToAll;
  default:
    return TOverwriteAnswer::No;
  }
}

// Output written per second of work: "2.4x".
QString SpeedText(int64_t AConverted, int ASeconds) {
  if (ASeconds <= 0 || AConverted <= 0)
    return QString();
  return QStringLiteral("%1x").arg(double(AConverted) / 1e6 / ASeconds, 0, 'f', 1);
}

} // namespace

Tfrm_Video::Tfrm_Video(QWidget *AOwner, TJobRecord AJob)
    : QDialog(AOwner), FJob(std::move(AJob)),
      FBatch(SourcesOf(FJob), FJob.FilesAtOnce, LocalPathExists),
      FFDecoder(std::make_unique<TFFDecoder>()) {
  setWindowTitle(QStringLiteral("Saving..."));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint);
  for (int i = 0; i < FBatch.AtOnce(); ++i) {
    TRunSlot slot;
    slot.Encoder = std::make_unique<TFFEncoder>();
    slot.Encoder->OnProgress = [this, i](TObject *, TProgressInfo *AInfo) {
      FFEncoderProgress(i, *AInfo);
    };
    slot.Encoder->OnTerminate = [this, i](TObject *, const TTerminateInfo &AInfo) {
      FFEncoderTerminate(i, AInfo);
    };
    FSlots.push_back(std::move(slot));
  }
  for (int i = 0; i < FJob.PartialOutputs.size() && i < FBatch.Count(); ++i)
    if (!FJob.PartialOutputs[i].isEmpty())
      FBatch.SetPartialOutput(i, FJob.PartialOutputs[i]);
  if (!FJob.QueueFile.isEmpty()) {
    FQueueWriter = std::make_unique<TQueueWriter>(FJob.QueueFile);
    FBatch.OnChange = [this] { SaveQueue(); };
  }
  CreateControls();
  chk_Preview->setChecked(FJob.Preview);
  chk_PreviewClick(FJob.Preview);
}

Tfrm_Video::~Tfrm_Video() {
  // The encoders wait for their tasks; their events must not reach a half-destroyed window.
  for (TRunSlot &slot : FSlots) {
    slot.Encoder->OnProgress = nullptr;
    slot.Encoder->OnTerminate = nullptr;
  }
  FSlots.clear();
  FBatch.OnChange = nullptr;
}

TJobOutcome Tfrm_Video::Execute(QWidget *AOwner, const TJobRecord &AJob) {
  Tfrm_Video window(AOwner, AJob);
  window.exec();
  return {window.Completed(), window.chk_Preview->isChecked(), window.FailedFiles()};
}

QString Tfrm_Video::OutputFolder() const {
  return FJob.OutputPath.isEmpty() ? FolderOf(FLastOutput) : FJob.OutputPath;
}

bool Tfrm_Video::ManyAtOnce() const {
  return FBatch.AtOnce() > 1 && FBatch.Count() > 1;
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
  // The newest line stays in view also when the log's height changes (rows come and go).
  QScrollBar *scroll = log_Main->verticalScrollBar();
  connect(scroll, &QScrollBar::rangeChanged, this,
          [scroll](int, int AMax) { scroll->setValue(AMax); });

  btn_Pause = new QPushButton(QStringLiteral("Pause"));
  btn_Stop = new QPushButton(QStringLiteral("Stop"));
  btn_Close = new QPushButton(QStringLiteral("Close"));
  btn_OpenFolder = new QPushButton(QStringLiteral("Open folder"));
  btn_OpenFolder->hide();
  btn_RetryFailed = new QPushButton(QStringLiteral("Convert failed again"));
  btn_RetryFailed->hide();
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
  buttons->addWidget(btn_RetryFailed);
  buttons->addWidget(btn_OpenFolder);
  buttons->addWidget(btn_Close);

  auto *layout = new QVBoxLayout(this);
  layout->addWidget(top);
  if (ManyAtOnce())
    layout->addWidget(CreateRows());
  layout->addWidget(log_Main, 1);
  layout->addLayout(buttons);
  resize(494, 427 + (ManyAtOnce() ? FBatch.AtOnce() * 30 : 0));

  // The pause before the work lets the window paint; without a screen no one would see it.
  tmr_Start = NewTimer(this, FJob.Headless ? 0 : 100);
  tmr_Elapsed = NewTimer(this, 1000);
  // One file at a time, the next starts a tick after the last ended; with several at once a
  // freed slot is filled as soon as the event loop is free again, so short files do not leave
  // a core idle between them.
  tmr_Process = NewTimer(this, ManyAtOnce() ? 0 : 100);
  connect(tmr_Start, &QTimer::timeout, this, [this] { tmr_StartTimer(); });
  connect(tmr_Elapsed, &QTimer::timeout, this, [this] { tmr_ElapsedTimer(); });
  connect(tmr_Process, &QTimer::timeout, this, [this] { tmr_ProcessTimer(); });
  connect(btn_Pause, &QPushButton::clicked, this, [this] { btn_PauseClick(); });
  connect(btn_Stop, &QPushButton::clicked, this, [this] { btn_StopClick(); });
  connect(btn_Close, &QPushButton::clicked, this, [this] { close(); });
  connect(btn_OpenFolder, &QPushButton::clicked, this, [this] { btn_OpenFolderClick(); });
  connect(btn_RetryFailed, &QPushButton::clicked, this, [this] { btn_RetryFailedClick(); });
  connect(chk_Preview, &QCheckBox::toggled, this, [this](bool AOn) { chk_PreviewClick(AOn); });
}

// A row per place a file can run in, hidden while the place is free.
QWidget *Tfrm_Video::CreateRows() {
  auto *rows = new QWidget;
  auto *grid = new QGridLayout(rows);
  grid->setContentsMargins(9, 0, 9, 0);
  for (int i = 0; i < FBatch.AtOnce(); ++i) {
    TFileRow row{};
    row.lbl_Name = new QLabel;
    row.lbl_Name->setMinimumWidth(150);
    row.prg_File = new QProgressBar;
    row.prg_File->setRange(0, 100);
    row.prg_File->setTextVisible(false);
    row.lbl_Percent = new QLabel;
    row.lbl_Percent->setMinimumWidth(36);
    row.lbl_Percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row.lbl_Speed = new QLabel;
    row.lbl_Speed->setMinimumWidth(36);
    row.lbl_Speed->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row.btn_Skip = new QPushButton(QStringLiteral("Skip"));
    row.btn_Skip->setAutoDefault(false); // Enter must not stop a file
    const QList<QWidget *> cells{row.lbl_Name, row.prg_File, row.lbl_Percent, row.lbl_Speed,
                                 row.btn_Skip};
    for (int column = 0; column < cells.size(); ++column) {
      grid->addWidget(cells[column], i, column);
      cells[column]->setVisible(false);
    }
    row.Box = rows;
    connect(row.btn_Skip, &QPushButton::clicked, this, [this, i] { SkipRow(i); });
    Rows << row;
  }
  grid->setColumnStretch(1, 1);
  return rows;
}

// Reaches a running task too; without a window system the engine logs that the preview is
// unavailable and converts on. One place shows its pictures: several previews at once would
// stand on one another and play their sound together.
void Tfrm_Video::chk_PreviewClick(bool AChecked) {
  FSlots.front().Encoder->SetPreviewVideo(AChecked);
  FSlots.front().Encoder->SetPreviewAudio(AChecked);
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

void Tfrm_Video::FileLog(int AFile, const QString &AText, TLogColor AColor, bool ABold) {
  AddLog(ManyAtOnce() ? QStringLiteral("[%1] ").arg(AFile + 1) + AText : AText, AColor, ABold);
}

void Tfrm_Video::ErrorLog(const QString &AText) {
  AddLog(AText, clRed);
  QApplication::beep();
}

void Tfrm_Video::FileFailed(int AFile, const QString &AText) {
  FileLog(AFile, AText, clRed);
  QApplication::beep();
  FileEnded(AFile, TFileState::Failed);
}

void Tfrm_Video::FileEnded(int AFile, TFileState AState) {
  FBatch.Ended(AFile, AState);
  tmr_Process->start();
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
  TFFEncoder &encoder = *FSlots.front().Encoder;
  if (!encoder.AVLibLoaded() &&
      !encoder.LoadAVLib(QCoreApplication::applicationDirPath().toStdString())) {
    ErrorLog(QString::fromStdString(encoder.LastErrMsg()));
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
  SaveQueue();
  StartFiles();
}

// The sources' durations weigh the files in the batch's progress: the list's probe already
// measured them; only entries without one (a resumed queue's) are opened here.
void Tfrm_Video::MeasureBatch() {
  QList<int64_t> durations;
  for (const TFileEntry &entry : FJob.Entries) {
    int64_t duration = RawValue(entry.SubItems.value(siRawDuration));
    if (duration <= 0 && FFDecoder->LoadFile(LocalPathString(entry.SubItems[siSource]))) {
      duration = FFDecoder->FileStreamInfo().Duration;
      FFDecoder->CloseFile();
    }
    durations << duration;
  }
  FBatch.SetDurations(durations);
}

void Tfrm_Video::ShowBatchProgress() {
  const int64_t done = FBatch.DoneDuration();
  const int64_t total = FBatch.TotalDuration();
  const int percent = ProgressPercent(done, total);
  const int shown = percent < 0 && total > 0 ? 100 : std::max(percent, 0);
  prg_Batch->setValue(shown);
  lbl_Batch->setText(BatchProgressText(done, total, FJobSeconds));
  if (ManyAtOnce() && !FEnded) {
    prg_Process->setValue(shown);
    lbl_Percent->setText(QStringLiteral("%1%").arg(shown));
    SetTaskbar(shown, 100);
  }
}

// Starts every file the batch lets start now; ends the job when nothing is left.
void Tfrm_Video::StartFiles() {
  for (int next = FBatch.Next(); next >= 0; next = FBatch.Next())
    ProcessFile(next);
  UpdateRunButtons();
  ShowBatchProgress();
  if (FEnded || !FBatch.Finished())
    return;
  if (FBatch.Stopping()) {
    if (FJob.SaveLogAndQuit)
      ReportStop();
    FEnded = true;
    FinishCancelled();
    if (FJob.SaveLogAndQuit)
      SaveLog();
    return;
  }
  FinishJob();
}

void Tfrm_Video::UpdateRunButtons() {
  const bool running = !FBatch.Running().isEmpty() && !FBatch.Stopping();
  btn_Stop->setEnabled(running);
  btn_Pause->setEnabled(running);
}

void Tfrm_Video::ProcessFile(int AIndex) {
  setWindowTitle(QStringLiteral("Saving... [%1/%2]").arg(AIndex + 1).arg(FileCount));
  const TFileEntry &entry = FJob.Entries[AIndex];
  const QString source = entry.SubItems[siSource];
  AddLog(QString(), clGreen);
  if (!ManyAtOnce()) {
    lbl_RemainingValue->setText(QStringLiteral("calculation..."));
    lbl_File->setText(DisplayPath(entry.Caption));
  }
  FileLog(AIndex, QStringLiteral("File #%1").arg(AIndex + 1), clBlack, true);
  FileLog(AIndex, DisplayPath(source), clBlack);
  // A source gone since it was added fails with the decoder's message rather than being
  // passed over in silence, so the batch never looks complete when it is not.
  if (!LocalPathExists(source)) {
    LoadSource(AIndex, source);
    return;
  }
  const QString folder = FJob.OutputPath.isEmpty() ? FolderOf(source) : FJob.OutputPath;
  // Named after the source file's exact bytes; the caption shows kept bytes replaced.
  const QString name = OutputFileName(LocalFileName(source), QString());
  const TBatch::TOutput output = FBatch.ChooseOutput(AIndex, folder, name, OutputExtension());
  const bool write = output.Decision == TBatch::TWrite::Write ||
                     (output.Decision == TBatch::TWrite::Ask &&
                      FBatch.Answer(OverwriteAnswer(LocalFileName(output.Path))));
  if (!write) {
    FileLog(AIndex, QStringLiteral("Skipped!"), clRed);
    FileEnded(AIndex, TFileState::Skipped);
    return;
  }
  FLastOutput = output.Path;
  ConvertFile(AIndex, source, output.Path);
}

// Asks whether a file that was there before the batch may be replaced; the time spent asking is
// not counted. Without a display no one could answer, so the file is kept.
TOverwriteAnswer Tfrm_Video::OverwriteAnswer(const QString &AName) {
  if (FJob.Headless)
    return TOverwriteAnswer::No;
  tmr_Elapsed->stop();
  const auto answer = QMessageBox::warning(
      this, QStringLiteral("Warning"),
      QStringLiteral("File \"%1\" already exists!\r\rOverwrite existing file?")
          .arg(DisplayPath(AName)),
      QMessageBox::Yes | QMessageBox::YesToAll | QMessageBox::No | QMessageBox::NoToAll,
      QMessageBox::No);
  if (!FBatch.Paused())
    tmr_Elapsed->start();
  return AnswerOf(answer);
}

// Loads the source for its facts; a failure is logged and the job goes on with the next file.
bool Tfrm_Video::LoadSource(int AFile, const QString &ASource) {
  if (!FFDecoder->LoadFile(LocalPathString(ASource))) {
    FileFailed(AFile, QStringLiteral("Loading file... Error! ") +
                          QString::fromStdString(FFDecoder->LastErrMsg()));
    return false;
  }
  SourceLoaded(*FFDecoder, AFile);
  FSourceDuration = FFDecoder->FileStreamInfo().Duration;
  const bool subtitles = FFDecoder->SubtitleStreamCount() > 0;
  std::optional<TSourceFacts> facts;
  if (FJob.PerSource)
    facts = SourceFacts(LocalPathString(ASource),
                        subtitles ? FFDecoder->FirstSubtitleStreamInfo().SubFormat : -1,
                        FFDecoder->AudioLanguages());
  FFDecoder->CloseFile();
  FileLog(AFile, QStringLiteral("Loading file... OK"), clGreen);
  if (subtitles && FJob.SubtitlesDropped)
    FileLog(AFile, QStringLiteral("Subtitles left out: %1 holds none").arg(FJob.VideoFormat),
            clMaroon);
  FSourceOptions = FileOptions(AFile, facts);
  return true;
}

QString Tfrm_Video::FileOptions(int AFile, const std::optional<TSourceFacts> &AFacts) {
  if (!AFacts)
    return FJob.Options;
  const TSourceSettings &settings = *FJob.PerSource;
  for (const std::string &note : SourceNotes(settings.Settings, *AFacts))
    FileLog(AFile, QString::fromStdString(note), clMaroon);
  return QString::fromStdString(BuildVideoOptions(settings.Settings, settings.Effects, &*AFacts));
}

int Tfrm_Video::FreeSlot() const {
  for (size_t i = 0; i < FSlots.size(); ++i)
    if (FSlots[i].File < 0)
      return int(i);
  return -1;
}

void Tfrm_Video::ConvertFile(int AFile, const QString &ASource, const QString &AOutput) {
  if (!LoadSource(AFile, ASource))
    return;
  const int place = FreeSlot();
  TRunSlot &slot = FSlots[place];
  std::unique_ptr<TFFEncoder> encoder = std::move(slot.Encoder);
  slot = TRunSlot();
  slot.Encoder = std::move(encoder);
  slot.Source = ASource;
  slot.Output = AOutput;
  slot.Options = FSourceOptions;
  if (FJob.TargetSize > 0 && !PrepareTwoPass(slot, AFile))
    return;
  if (!ManyAtOnce()) {
    prg_Process->setValue(0);
    lbl_Percent->clear();
  }
  if (!StartTask(slot, AFile))
    return;
  slot.File = AFile;
  FBatch.Started(AFile);
  if (ManyAtOnce()) {
    const TFileRow &row = Rows[place];
    row.lbl_Name->setText(QStringLiteral("[%1] ").arg(AFile + 1) +
                          DisplayPath(LocalFileName(AOutput)));
    row.prg_File->setValue(0);
    row.lbl_Percent->clear();
    row.lbl_Speed->clear();
    ShowRow(place, true);
    row.btn_Skip->setEnabled(true);
  } else
    lbl_File->setText(DisplayPath(LocalFileName(AOutput)));
  slot.Encoder->Start(1);
}

// The bit rate that fills the target size, and the folder of the first pass's log.
bool Tfrm_Video::PrepareTwoPass(TRunSlot &ASlot, int AFile) {
  ASlot.VideoKbps = TargetVideoKbps(FJob.TargetSize, FSourceDuration, FJob.AudioKbps);
  if (ASlot.VideoKbps <= 0) {
    FileFailed(AFile, FSourceDuration > 0
                          ? QStringLiteral("Target size %1 MB is too small for the sound alone!")
                                .arg(FJob.TargetSize)
                          : QStringLiteral("Target size: the duration of the file is unknown!"));
    return false;
  }
  ASlot.PassLogs = std::make_unique<QTemporaryDir>();
  if (!ASlot.PassLogs->isValid()) {
    FileFailed(AFile, QStringLiteral("Target size: no temporary folder for the pass log! ") +
                          ASlot.PassLogs->errorString());
    ASlot.PassLogs.reset();
    return false;
  }
  ASlot.Pass = 1;
  FileLog(AFile,
          QString::fromStdString(TargetSizeNote(FJob.TargetSize, ASlot.VideoKbps, FJob.AudioKbps)),
          clBlack);
  return true;
}

// Adds the task of the slot's file (or of its pass) to the slot's encoder.
bool Tfrm_Video::StartTask(TRunSlot &ASlot, int AFile) {
  TFFEncoder &encoder = *ASlot.Encoder;
  encoder.ClearTasks();
  TInputOptions input;
  input.FileName = LocalPathString(ASlot.Source);
  const int task = encoder.AddTask(input.FileName, &input);
  if (task < 0) {
    FileFailed(AFile, QStringLiteral("Adding task... Error! ") +
                          QString::fromStdString(encoder.LastErrMsg()));
    return false;
  }
  FileLog(AFile, QStringLiteral("Adding task... OK"), clGreen);
  QString options = ASlot.Options;
  QString target = ASlot.Output;
  if (ASlot.Pass > 0) {
    const QString prefix = ASlot.PassLogs->filePath(QStringLiteral("x"));
    options +=
        QString::fromStdString(PassOptions(ASlot.Pass, ASlot.VideoKbps, prefix.toStdString()));
    if (ASlot.Pass == 1) // the null muxer writes no file
      target = ASlot.PassLogs->filePath(QStringLiteral("pass1.null"));
    FileLog(AFile, QStringLiteral("Pass %1 of 2").arg(ASlot.Pass), clBlack);
  }
  FileLog(AFile, QStringLiteral("Parameters ") + options, clGrey);
  TOutputOptions output;
  output.Options = options.toStdString();
  if (encoder.SetOutput(task, LocalPathString(target), &output) < 0) {
    encoder.RemoveTask(task);
    FileFailed(AFile, QStringLiteral("Applying parameters... Error! ") +
                          QString::fromStdString(encoder.LastErrMsg()));
    return false;
  }
  FileLog(AFile, QStringLiteral("Applying parameters... OK"), clGreen);
  FileLog(AFile, QStringLiteral("Processing file..."), clGreen);
  FileLog(AFile, DisplayPath(target), clBlack);
  encoder.SetThreadPriority(PriorityOf(FJob.CPUUsage, encoder.ThreadPriority()));
  return true;
}

// After the first pass: the second, unless the file was stopped or skipped meanwhile.
void Tfrm_Video::StartSecondPass(int ASlot) {
  TRunSlot &slot = FSlots[ASlot];
  slot.Finished = false;
  if (FBatch.Stopping() || slot.Skipped) {
    TaskEnded(ASlot);
    return;
  }
  slot.Pass = 2;
  if (!StartTask(slot, slot.File)) {
    slot.File = -1;
    ShowRow(ASlot, false);
    slot.PassLogs.reset();
    return;
  }
  slot.Encoder->Start(1);
  if (FBatch.Paused()) // paused as the first pass ended
    slot.Encoder->Pause();
}

int64_t Tfrm_Video::ProgressTotalOf(const TProgressInfo &AInfo, int) const {
  return AInfo.TotalDuration;
}

void Tfrm_Video::FFEncoderProgress(int ASlot, const TProgressInfo &AInfo) {
  TRunSlot &slot = FSlots[ASlot];
  if (slot.File < 0)
    return;
  slot.Total = ProgressTotalOf(AInfo, slot.File);
  slot.Current = AInfo.CurrentDuration;
  const int64_t progress = FileProgress(slot);
  FBatch.Progress(slot.File, progress);
  const int percent = ProgressPercent(progress, slot.Total);
  if (ManyAtOnce()) {
    const TFileRow &row = Rows[ASlot];
    if (percent >= 0) {
      row.prg_File->setValue(percent);
      row.lbl_Percent->setText(QStringLiteral("%1%").arg(percent));
    }
    row.lbl_Speed->setText(SpeedText(progress, slot.Seconds));
  } else if (percent >= 0) {
    prg_Process->setValue(percent);
    lbl_Percent->setText(QStringLiteral("%1%").arg(percent));
    if (FileCount == 1)
      SetTaskbar(percent);
  }
  // The size written is one file's; with several running, the rows speak for each.
  if (!ManyAtOnce())
    lbl_FPS->setText(JobSizeText(AInfo.CurrentSize));
  ShowBatchProgress();
}

// The task's own event says how it ended; the closing event (-1) reports the file once:
// "Success!" only for a task that finished, a red "Failed" for one that failed.
void Tfrm_Video::FFEncoderTerminate(int ASlot, const TTerminateInfo &AInfo) {
  TRunSlot &slot = FSlots[ASlot];
  if (slot.File < 0)
    return;
  if (AInfo.TaskIndex != -1) {
    slot.Finished = AInfo.Finished && !AInfo.Exception;
    slot.Failed = AInfo.Exception;
    if (AInfo.Exception)
      FileLog(slot.File, QString::fromStdString(AInfo.ExceptionMsg), clRed);
  } else
    TaskEnded(ASlot);
}

int64_t Tfrm_Video::FileProgress(const TRunSlot &ASlot) const {
  if (ASlot.Pass == 0)
    return ASlot.Current;
  return (ASlot.Pass - 1) * ASlot.Total / 2 + ASlot.Current / 2;
}

void Tfrm_Video::TaskEnded(int ASlot) {
  TRunSlot &slot = FSlots[ASlot];
  if (slot.Finished && slot.Pass == 1) {
    // Started from the event loop: this runs inside the encoder's own termination event.
    QTimer::singleShot(0, this, [this, ASlot] { StartSecondPass(ASlot); });
    return;
  }
  slot.PassLogs.reset();
  const int file = slot.File;
  slot.File = -1;
  ShowRow(ASlot, false);
  if (!ManyAtOnce())
    lbl_RemainingValue->setText(QStringLiteral("00:00:00"));
  if (slot.Finished) {
    if (!ManyAtOnce()) {
      prg_Process->setValue(100);
      lbl_Percent->setText(QStringLiteral("100%"));
      SetTaskbar(-1);
    }
    FileLog(file, QStringLiteral("Success!"), clGreen);
    FileEnded(file, TFileState::Done);
  } else if ((FBatch.Stopping() || slot.Skipped) && !slot.Failed) {
    // What the stopped file's output holds; the bar keeps the percent reached.
    FileLog(file,
            slot.Pass == 1 ? QStringLiteral("Stopped in the first pass; no output was written")
                           : StoppedAtText(slot.Current, slot.Total),
            clRed);
    FileEnded(file, TFileState::Stopped);
  } else
    FileFailed(file, QStringLiteral("Failed"));
}

void Tfrm_Video::ShowRow(int ARow, bool AShown) {
  if (ARow >= Rows.size())
    return;
  const TFileRow &row = Rows[ARow];
  for (QWidget *cell :
       QList<QWidget *>{row.lbl_Name, row.prg_File, row.lbl_Percent, row.lbl_Speed, row.btn_Skip})
    cell->setVisible(AShown);
}

void Tfrm_Video::tmr_ProcessTimer() {
  tmr_Process->stop();
  // A finished task's engine goes before the next is opened (not from inside its own events).
  for (TRunSlot &slot : FSlots)
    if (slot.File < 0)
      slot.Encoder->ClearTasks();
  if (!FBatch.Stopping() && !ManyAtOnce()) {
    const int done = FileCount - FBatch.Counted(TFileState::Pending);
    if (FileCount == 1)
      SetTaskbar(0, 100);
    else
      SetTaskbar(done, FileCount);
  }
  StartFiles();
}

void Tfrm_Video::StopRunning(const QString &AEnd) {
  tmr_Elapsed->stop();
  const QString summary =
      BatchSummaryText(ConvertedFiles(), FailedFiles(), SkippedFiles(), StoppedFiles());
  AddLog(summary, clBlack);
  AddLog(AEnd + QLatin1Char('.'), clBlue);
  setWindowTitle(AEnd);
  lbl_File->setText(AEnd + QLatin1Char('.'));
  lbl_Summary->setText(summary);
  lbl_RemainingValue->setText(QStringLiteral("00:00:00"));
  btn_OpenFolder->setVisible(!OutputFolder().isEmpty());
  // After Stop the files never started would run too: only a batch that went to its end offers
  // its failed files again.
  btn_RetryFailed->setVisible(FailedFiles() > 0 && !FBatch.Stopping() && !FJob.SaveLogAndQuit);
  btn_Close->setEnabled(true);
  // Someone working in another window learns of the end from the desktop.
  if (!FJob.Headless && !isActiveWindow())
    NotifyDesktop(QStringLiteral("Quillet: ") + AEnd, summary);
  QApplication::beep();
  FSessionPower->JobEnded(Cancelled());
}

void Tfrm_Video::FinishCancelled() {
  lbl_FPS->clear();
  btn_Stop->hide();
  btn_Pause->hide();
  StopRunning(QStringLiteral("Stopped"));
}

void Tfrm_Video::FinishJob() {
  FEnded = true;
  AddLog(QString(), clGreen);
  SetTaskbar(-1);
  btn_Stop->setEnabled(false);
  btn_Pause->setEnabled(false);
  StopRunning(QStringLiteral("Done"));
  FCompleted = true;
  if (FQueueWriter)
    FQueueWriter->Remove();
  if (FJob.SaveLogAndQuit) {
    SaveLog();
    accept();
  }
}

void Tfrm_Video::SaveLog() {
  // A blank line between the logs of one run's jobs.
  const QString gap = FJob.AppendLog ? QStringLiteral("\n\n") : QString();
  WriteCommandLineLog(gap + log_Main->toPlainText(), FJob.AppendLog);
}

// The queue of a batch the user stopped goes with the batch; one the program's end stopped
// stays for the next start.
void Tfrm_Video::SaveQueue() {
  if (!FQueueWriter)
    return;
  if (FBatch.Stopping() && !FBatch.StoppedResumably())
    FQueueWriter->Remove();
  else
    FQueueWriter->Save(QueueOf(FJob, FBatch, IsAudioJob()));
}

void Tfrm_Video::ReportStop() {
  const QString text = ManyAtOnce() || FStoppedFiles.size() != 1
                           ? StoppedFilesText(FStoppedFiles, FNotConverted, FileCount)
                           : StoppedJobText(FStoppedFiles.first(), FileCount);
  AddLog(text, clRed);
  std::fprintf(stderr, "%s The job log is %s.\n", qPrintable(text),
               qPrintable(CommandLineLogFile()));
}

// Counts the running files' time only (a paused job stops the timer).
void Tfrm_Video::tmr_ElapsedTimer() {
  ++FJobSeconds;
  for (TRunSlot &slot : FSlots)
    slot.Seconds += slot.File >= 0 ? 1 : 0;
  lbl_ElapsedValue->setText(ClockText(FJobSeconds));
  ShowBatchProgress();
  ShowRemaining();
}

// One file at a time: the current file's time left; several: the batch's by duration.
void Tfrm_Video::ShowRemaining() {
  if (ManyAtOnce()) {
    if (FJobSeconds > 5)
      lbl_RemainingValue->setText(
          RemainingText(FBatch.DoneDuration(), FBatch.TotalDuration(), FJobSeconds));
    return;
  }
  const TRunSlot &slot = FSlots.front();
  if (slot.File >= 0 && slot.Seconds > 5)
    lbl_RemainingValue->setText(RemainingText(slot.Current, slot.Total, slot.Seconds));
}

void Tfrm_Video::btn_PauseClick() {
  if (btn_Pause->text() == QStringLiteral("Pause")) {
    btn_Pause->setText(QStringLiteral("Resume"));
    AddLog(QStringLiteral("Paused!"), clMaroon);
    tmr_Elapsed->stop();
    FBatch.Pause();
    for (TRunSlot &slot : FSlots)
      slot.Encoder->Pause();
    return;
  }
  btn_Pause->setText(QStringLiteral("Pause"));
  AddLog(QStringLiteral("Resumed!"), clMaroon);
  tmr_Elapsed->start();
  FBatch.Resume();
  for (TRunSlot &slot : FSlots)
    slot.Encoder->Resume();
  tmr_Process->start();
}

void Tfrm_Video::btn_OpenFolderClick() {
  QDesktopServices::openUrl(QUrl::fromLocalFile(OutputFolder()));
}

void Tfrm_Video::btn_StopClick() {
  Stop(QStringLiteral("Cancelled by user!"));
}

void Tfrm_Video::Stop(const QString &AReason, bool AResumable) {
  btn_Stop->setEnabled(false);
  btn_Pause->setEnabled(false);
  FStoppedFiles = FBatch.Running();
  for (int i = 0; i < FBatch.Count(); ++i)
    if (FBatch.File(i).State == TFileState::Pending)
      FNotConverted << i;
  FBatch.Stop(AResumable);
  ErrorLog(AReason);
  for (TRunSlot &slot : FSlots) {
    if (slot.Encoder->Paused())
      slot.Encoder->Resume();
    if (slot.File >= 0)
      slot.Encoder->Stop(false);
  }
  tmr_Process->start();
}

void Tfrm_Video::SkipRow(int ARow) {
  TRunSlot &slot = FSlots[ARow];
  if (slot.File < 0 || slot.Skipped)
    return;
  slot.Skipped = true;
  Rows[ARow].btn_Skip->setEnabled(false);
  FileLog(slot.File, QStringLiteral("Skipped by user!"), clRed);
  if (slot.Encoder->Paused())
    slot.Encoder->Resume();
  slot.Encoder->Stop(false);
}

void Tfrm_Video::btn_RetryFailedClick() {
  const int retried = FBatch.RetryFailed();
  if (retried == 0)
    return;
  FSessionPower->JobStarted(retried);
  FEnded = false;
  FCompleted = false;
  btn_RetryFailed->hide();
  btn_Close->setEnabled(false);
  lbl_Summary->clear();
  AddLog(QString(), clGreen);
  AddLog(QStringLiteral("Converting the failed files again..."), clBlack, true);
  tmr_Elapsed->start();
  StartFiles();
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

bool Tfrm_Video::IsAudioJob() const {
  return false;
}

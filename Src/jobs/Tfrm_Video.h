// The modal window of a conversion job: converts every entry of the job record, up to the
// record's FilesAtOnce at a time, each file through one task of an encoder component with the
// record's option string; shows percent, size written, elapsed and remaining time and a
// coloured log, and offers Pause/Resume and Stop. With more than one file at once, each running
// file has a row (name, percent, speed, Skip) and its log lines start with its number ("[3] ").
// The batch's state is a TBatch; when the record names a queue file, it is saved there on every
// change, so that a batch cut off by a crash or the program's end can be resumed.
// Tfrm_Audio differs only where its virtual members say.
//
// "Preview" (from the job record) shows the output pictures of the running task in the
// engine's preview window and plays its sound; it can be switched while a task runs.
//
// Stop does not wait inside the click: it asks the task to end and the job ends when the
// task's termination events arrive through the ordinary event loop, so the window keeps
// painting meanwhile and no event loop runs inside another.
#pragma once

#include "jobs/TBatch.h"
#include "jobs/TJobRecord.h"
#include "jobs/taskbar/LogColors.h"

#include <QDialog>
#include <QTemporaryDir>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class TQueueWriter;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTextEdit;
class QTimer;
class TFFDecoder;
class TFFEncoder;
class TSessionPower;
struct TProgressInfo;
struct TSourceFacts;
struct TTerminateInfo;

class Tfrm_Video : public QDialog {
  Q_OBJECT
public:
  Tfrm_Video(QWidget *AOwner, TJobRecord AJob);
  ~Tfrm_Video() override;

  // Runs the job modally.
  static TJobOutcome Execute(QWidget *AOwner, const TJobRecord &AJob);

  QLabel *lbl_File, *lbl_Percent, *lbl_ElapsedValue, *lbl_RemainingValue, *lbl_FPS;
  QLabel *lbl_Batch, *lbl_Summary;
  QProgressBar *prg_Process, *prg_Batch;
  QTextEdit *log_Main;
  QPushButton *btn_Pause, *btn_Stop, *btn_OpenFolder, *btn_Close, *btn_RetryFailed;
  // One row per running file, shown with more than one file at once.
  struct TFileRow {
    QWidget *Box;
    QLabel *lbl_Name, *lbl_Percent, *lbl_Speed;
    QProgressBar *prg_File;
    QPushButton *btn_Skip;
  };
  QList<TFileRow> Rows;
  QCheckBox *chk_Preview;
  QComboBox *cb_WhenDone; // nothing, close, suspend or power off once done
  QTimer *tmr_Start, *tmr_Elapsed, *tmr_Process;

  bool Cancelled() const { return FBatch.Stopping(); }
  bool Completed() const { return FCompleted; }
  // Files that could not be converted (skipped ones are not counted).
  int FailedFiles() const { return FBatch.Counted(TFileState::Failed); }
  int ConvertedFiles() const { return FBatch.Counted(TFileState::Done); }
  int SkippedFiles() const { return FBatch.Counted(TFileState::Skipped); }
  int StoppedFiles() const { return FBatch.Counted(TFileState::Stopped); }
  const TBatch &Batch() const { return FBatch; }
  // The folder "Open folder" shows: the job's output folder, or that of the last output.
  QString OutputFolder() const;
  int JobSeconds() const { return FJobSeconds; }
  // The encoder of the first running place (the one "Preview" shows), for inspection.
  const TFFEncoder &Encoder() const { return *FSlots.front().Encoder; }

  void btn_PauseClick();
  void btn_StopClick();
  void btn_OpenFolderClick();
  // Runs the failed files once more, each into its own output.
  void btn_RetryFailedClick();
  // Stops the job as the Stop button does, with AReason in the log. AResumable: the program is
  // ending, so the saved queue keeps what was not converted for the next start.
  void Stop(const QString &AReason, bool AResumable = false);
  // Stops the file of row ARow only; the batch goes on.
  void SkipRow(int ARow);

protected:
  // Extension of the outputs (".mp4").
  virtual QString OutputExtension() const;
  // Called once the decoder has opened the source of file AFile (the audio job keeps its
  // duration).
  virtual void SourceLoaded(TFFDecoder &, int /*AFile*/) {}
  // The expected total of file AFile from a progress report.
  virtual int64_t ProgressTotalOf(const TProgressInfo &AInfo, int AFile) const;
  // The end after Stop.
  virtual void FinishCancelled();
  // The saved queue names the window that resumes it.
  virtual bool IsAudioJob() const;

  void AddLog(const QString &AText, TLogColor AColor, bool ABold = false);
  // A log line of file AFile (from 0): "[n] " first while more than one file runs at once.
  void FileLog(int AFile, const QString &AText, TLogColor AColor, bool ABold = false);
  // Ends the job: the batch summary, AEnd ("Done", "Stopped") in the log, caption and title.
  void StopRunning(const QString &AEnd);
  void SetTaskbar(int AValue, int AMax = -1);

  const TJobRecord FJob;

  void showEvent(QShowEvent *event) override;
  void closeEvent(QCloseEvent *event) override;
  void reject() override;

private:
  // One place a file runs in: its own encoder component, the file, and how its task ended.
  struct TRunSlot {
    std::unique_ptr<TFFEncoder> Encoder;
    int File = -1;
    bool Finished = false;
    bool Failed = false;
    bool Skipped = false;
    int64_t Total = 0;
    int64_t Current = 0;
    int Seconds = 0;
    // A conversion to a target size runs in two passes (1, then 2; 0: one ordinary run) at
    // VideoKbps, the first pass's log in PassLogs, removed when the file ends.
    int Pass = 0;
    int VideoKbps = 0;
    std::unique_ptr<QTemporaryDir> PassLogs;
    QString Source, Output;
    QString Options; // the option string of the file's task
  };

  void CreateControls();
  QWidget *CreateRows();
  bool ManyAtOnce() const;
  void tmr_StartTimer();
  void tmr_ElapsedTimer();
  void tmr_ProcessTimer();
  void StartFiles();
  void ProcessFile(int AIndex);
  bool LoadSource(int AFile, const QString &ASource);
  // The option string of file AFile: the job's, or the one built for its source.
  QString FileOptions(int AFile, const std::optional<TSourceFacts> &AFacts);
  void ConvertFile(int AFile, const QString &ASource, const QString &AOutput);
  bool PrepareTwoPass(TRunSlot &ASlot, int AFile);
  bool StartTask(TRunSlot &ASlot, int AFile);
  void StartSecondPass(int ASlot);
  // How far file AFile has come, both passes of a target size counted as halves.
  int64_t FileProgress(const TRunSlot &ASlot) const;
  int FreeSlot() const;
  void FinishJob();
  void MeasureBatch();
  void ShowBatchProgress();
  void ShowRow(int ARow, bool AShown);
  void ShowRemaining();
  void UpdateRunButtons();
  void TaskEnded(int ASlot);
  void FileEnded(int AFile, TFileState AState);
  void SaveLog();
  void SaveQueue();
  // A stopped command-line job: what it left undone goes to the log and to stderr.
  void ReportStop();
  void FFEncoderProgress(int ASlot, const TProgressInfo &AInfo);
  void FFEncoderTerminate(int ASlot, const TTerminateInfo &AInfo);
  void ErrorLog(const QString &AText);
  void chk_PreviewClick(bool AChecked);
  void FileFailed(int AFile, const QString &AText);
  TOverwriteAnswer OverwriteAnswer(const QString &AName);

  TBatch FBatch;
  std::unique_ptr<TFFDecoder> FFDecoder;
  int64_t FSourceDuration = 0; // of the source loaded last, microseconds
  QString FSourceOptions;      // the option string for the source loaded last
  std::vector<TRunSlot> FSlots;
  int FileCount = 0;
  int FJobSeconds = 0;
  bool FCompleted = false;
  bool FEnded = false;
  // The files running, and those not started, when Stop was given.
  QList<int> FStoppedFiles, FNotConverted;
  TSessionPower *FSessionPower;               // child object
  std::unique_ptr<TQueueWriter> FQueueWriter; // when the record names a queue file
  QString FLastOutput;
  bool FShown = false;
};

// The modal window of a conversion job: converts every entry of the job record, one after
// another, each through one task of its own encoder component with the record's option string;
// shows percent, size written, elapsed and remaining time and a coloured log, and offers
// Pause/Resume and Stop. Tfrm_Audio differs only where its virtual members say.
//
// "Preview" (from the job record) shows the output pictures of the running task in the
// engine's preview window and plays its sound; it can be switched while a task runs.
//
// Stop does not wait inside the click: it asks the task to end and the job ends when the
// task's termination events arrive through the ordinary event loop, so the window keeps
// painting meanwhile and no event loop runs inside another.
#pragma once

#include "jobs/TBatchOutputs.h"
#include "jobs/TJobRecord.h"
#include "jobs/taskbar/LogColors.h"

#include <QDialog>
#include <memory>

class QCheckBox;
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
  QPushButton *btn_Pause, *btn_Stop, *btn_OpenFolder, *btn_Close;
  QCheckBox *chk_Preview;
  QComboBox *cb_WhenDone; // nothing, close, suspend or power off once done
  QTimer *tmr_Start, *tmr_Elapsed, *tmr_Process;

  bool Cancelled() const { return FCancelled; }
  bool Completed() const { return FCompleted; }
  // Files that could not be converted (skipped ones are not counted).
  int FailedFiles() const { return FFailedFiles; }
  int ConvertedFiles() const { return FConvertedFiles; }
  int SkippedFiles() const { return FSkippedFiles; }
  int StoppedFiles() const { return FStoppedFiles; }
  // The folder "Open folder" shows: the job's output folder, or that of the last output.
  QString OutputFolder() const;
  int JobSeconds() const { return FJobSeconds; }
  // The encoder that runs the tasks (its settings, for inspection).
  const TFFEncoder &Encoder() const { return *FFEncoder; }

  void btn_PauseClick();
  void btn_StopClick();
  void btn_OpenFolderClick();
  // Stops the job as the Stop button does, with AReason in the log.
  void Stop(const QString &AReason);

protected:
  // Extension of the outputs (".mp4").
  virtual QString OutputExtension() const;
  // Called once the decoder has opened a source (the audio job keeps its duration).
  virtual void SourceLoaded(TFFDecoder &) {}
  // The expected total of the current file from a progress report.
  virtual int64_t ProgressTotalOf(const TProgressInfo &AInfo) const;
  // The end after Stop.
  virtual void FinishCancelled();

  void AddLog(const QString &AText, TLogColor AColor, bool ABold = false);
  // Ends the job: the batch summary, AEnd ("Done", "Stopped") in the log, caption and title.
  void StopRunning(const QString &AEnd);
  void SetTaskbar(int AValue, int AMax = -1);

  const TJobRecord FJob;

  void showEvent(QShowEvent *event) override;
  void closeEvent(QCloseEvent *event) override;
  void reject() override;

private:
  void CreateControls();
  void tmr_StartTimer();
  void tmr_ElapsedTimer();
  void tmr_ProcessTimer();
  void ProcessFile(int AIndex);
  bool LoadSource(const QString &ASource);
  void ConvertFile(const QString &ASource, const QString &AOutput);
  void FinishJob();
  void MeasureBatch();
  void ShowBatchProgress();
  void TaskEnded();
  void FileStopped();
  void SaveLog();
  // A stopped command-line job: what it left undone goes to the log and to stderr.
  void ReportStop();
  void FFEncoderProgress(const TProgressInfo &AInfo);
  void FFEncoderTerminate(const TTerminateInfo &AInfo);
  void ErrorLog(const QString &AText);
  void chk_PreviewClick(bool AChecked);
  void FileFailed(const QString &AText);
  bool OverwriteAnswered(const QString &AName);
  void FileSkipped();

  std::unique_ptr<TFFDecoder> FFDecoder;
  std::unique_ptr<TFFEncoder> FFEncoder;
  int FileCount = 0;
  int CurrentFile = 0;
  int FJobSeconds = 0;
  int FileSeconds = 0;
  bool FCancelled = false;
  bool FCompleted = false;
  int FFailedFiles = 0;
  int FConvertedFiles = 0;
  int FSkippedFiles = 0;
  int FStoppedFiles = 0;
  TBatchOutputs FOutputs;
  TSessionPower *FSessionPower; // child object
  QString FLastOutput;
  // The overwrite question's "to all" answer, once given.
  enum { oaAsk, oaYes, oaNo } FOverwriteAll = oaAsk;
  // The running task's own termination event: it finished, or it failed.
  bool FTaskFinished = false;
  bool FTaskFailed = false;
  // Durations of the sources (microseconds, 0 when unknown) and of the files done.
  QList<int64_t> FDurations;
  int64_t FBatchTotal = 0;
  int64_t FBatchDone = 0;
  bool FShown = false;
  int64_t ProgressTotal = 0;
  int64_t ProgressCurrent = 0;
};

// Tfrm_Adding: the modal window every file passes through on its way into the file list. It
// expands the pending folders with the folder scan, keeps the accepted media files, drops
// paths already listed, probes each remaining file once with its own decoder and appends one
// entry per file, then re-sorts the list and closes itself.
//
// The run is a chain of small steps driven by a zero-interval timer (one pending path, one
// scanned folder or one candidate per step), so the window repaints and "Cancel" gets through
// between any two steps without spinning the event loop. Everything runs on the UI thread.
#pragma once

#include <QDialog>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

#include "shell/FileListUtils.h"
#include "shell/adding/TFindFile.h"

class QLabel;
class QPushButton;
class TFFDecoder;

class Tfrm_Adding : public QDialog {
  Q_OBJECT

public:
  // What the run needs of the list it fills (the main window binds these to lw_Files).
  struct TFileListAccess {
    std::function<bool(const QString &APath)> IsInFileList; // exact, case-sensitive path
    std::function<void(const TFileEntry &AEntry)> AddEntry;
    std::function<void()> SortList; // re-sort by the list's current order
  };

  Tfrm_Adding(QWidget *AOwner, const QStringList &ADroppedFiles, TFileListAccess AFileList);
  ~Tfrm_Adding() override;

  // Runs the adding window modally over the pending paths; returns when it has closed.
  static void Execute(QWidget *AOwner, const QStringList &ADroppedFiles, TFileListAccess AFileList);

  QLabel *lbl_Path;
  QPushButton *btn_Cancel;

  const QStringList &CandidateList() const { return FCandidateList; }
  bool StopAdding() const { return FStopAdding; }
  int AddedCount() const { return FAddedCount; }

signals:
  // After candidate AIndex has been probed or skipped.
  void CandidateDone(int AIndex);

protected:
  void showEvent(QShowEvent *AEvent) override;
  void closeEvent(QCloseEvent *AEvent) override;
  void reject() override; // Esc cancels; the window closes only when the run is over

private:
  enum TPhase { phIdle, phCollect, phProbe, phDone };

  void ScanPendingPaths();
  void RunStep();
  void CollectStep();
  void ProbeStep();
  void ProbeCandidate(const QString &APath);
  void Finish();
  void btn_CancelClick();

  QStringList FDroppedFiles;
  TFileListAccess FFileList;
  std::unique_ptr<TFFDecoder> FFDecoder1;
  TFindFile FFindFile1;
  QStringList FCandidateList;
  bool FStopAdding = false;
  bool FStarted = false;
  TPhase FPhase = phIdle;
  int FPendingIndex = 0;       // next entry of FDroppedFiles to collect
  int FCandidateIndex = 0;     // next candidate to probe
  bool FProgressShown = false; // the "i of n" text of FCandidateIndex is on screen
  int FAddedCount = 0;
  QTimer tmr_Step;
};

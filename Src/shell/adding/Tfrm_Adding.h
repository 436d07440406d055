// Tfrm_Adding: the modal window every file passes through on its way into the file list. It
// expands the pending folders with the folder scan, keeps the accepted media files, drops
// paths already listed, probes each remaining file once with its own decoder and appends one
// entry per file, then re-sorts the list and closes itself.
//
// Paths are lexically cleaned (absolute, "." and ".." resolved by name) before the duplicate
// check, and are path texts of shell/LocalPath.h, so names that are not valid UTF-8 get in too.
//
// The run is a chain of time slices driven by a zero-interval timer: each slice handles pending
// paths, scanned folders and candidates for up to SliceMs, appends its new entries to the list
// in one go and returns to the event loop, so the window repaints and "Cancel" gets through a
// few times a second while a long run costs little more than the probing itself. Everything
// runs on the UI thread.
#pragma once

#include <QDialog>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

#include "components/filelist/FileListUtils.h"
#include "shell/adding/TFindFile.h"

class QLabel;
class QPushButton;
class TFFDecoder;

class Tfrm_Adding : public QDialog {
  Q_OBJECT

public:
  // What the run needs of the list it fills (the main window binds these to lw_Files).
  struct TFileListAccess {
    std::function<QStringList()> ListedPaths; // sub-item 2 of every entry, read once per run
    std::function<void(const QList<TFileEntry> &AEntries)> AddEntries; // appended unsorted
    std::function<void()> SortList; // re-sort by the list's current order
  };

  // Longest stretch of work between two returns to the event loop.
  static constexpr int SliceMs = 40;

  Tfrm_Adding(QWidget *AOwner, const QStringList &ADroppedFiles, TFileListAccess AFileList);
  ~Tfrm_Adding() override;

  // Runs the adding window modally over the pending paths; returns when it has closed.
  static void Execute(QWidget *AOwner, const QStringList &ADroppedFiles, TFileListAccess AFileList,
                      bool AHeadless = false);

  // No display: an error is written to stderr, as no one could close a message box.
  bool Headless = false;

  QLabel *lbl_Path;
  QPushButton *btn_Cancel;

  const QStringList &CandidateList() const { return FCandidateList; }
  // Whether the path is listed already or was added by this run (exact, case-sensitive).
  bool IsInFileList(const QString &APath) const { return FListed.contains(APath); }
  bool StopAdding() const { return FStopAdding; }
  int AddedCount() const { return FAddedCount; }
  // Files given or found that were left out: not opened by the decoder ("not media"), or given
  // by name with a type that is not accepted. Paths listed already are not counted.
  int NotMediaCount() const { return FNotMediaCount; }
  int NotAcceptedCount() const { return FNotAcceptedCount; }
  // The one message of a run that left files out ("2 files skipped: not media"; both reasons:
  // "3 files skipped: 2 not media, 1 type not accepted"); empty when none was.
  static QString SkippedText(int ANotMedia, int ANotAccepted);

signals:
  // After candidate AIndex has been probed or skipped (its entry may not be in the list yet).
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
  void FlushEntries();
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
  int FPendingIndex = 0;         // next entry of FDroppedFiles to collect
  int FCandidateIndex = 0;       // next candidate to probe
  QSet<QString> FListed;         // paths in the list and added by this run
  QList<TFileEntry> FNewEntries; // probed in this slice, not yet in the list
  int FAddedCount = 0;
  int FNotMediaCount = 0;
  int FNotAcceptedCount = 0;
  QTimer tmr_Step;
};

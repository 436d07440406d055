// The main window: toolbar, the file list every action works on, the settings pages and the
// two-part status line. Other windows read the list entries by position (FileListUtils.h) and
// the public fields and controls below.
#pragma once

#include "components/filelist/FileListUtils.h"
#include "jobs/TJobRecord.h"
#include "jobs/taskbar/TWin7TaskProgressBar.h"
#include "shell/CommandLine.h"
#include "shell/SavedQueues.h"
#include "shell/TStyleFile.h"
#include "shell/settings/TConversionSettings.h"
#include "shell/settings/TSettingsFile.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QStringList>
#include <memory>
#include <optional>

class QAction;
class QFrame;
class QItemSelection;
class QLabel;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;
class TEncoderCheck;
class TGlassButton;
class TSettingsPanel;
class TStretchedLastColumn;
class TWebData;
struct TAppSettings;

class Tfrm_Main : public QMainWindow {
  Q_OBJECT
public:
  explicit Tfrm_Main(QWidget *parent = nullptr);
  ~Tfrm_Main() override;

  // Public fields read and written by the other windows.
  std::unique_ptr<TWin7TaskProgressBar> prg_Win7; // created on first show
  QString str_Options;                            // option string of the next job
  QStringList str_Commands;  // the FFmpeg command dialog's drop-down, newest first
  QString str_AddPath;       // Add Files dialog: last folder
  int int_AddView = 0;       // Add Files dialog: view mode
  bool bool_Preview = false; // video job window: "Preview"
  TEffects Effects;          // ef_VFlip ... ef_Degrees, not saved
  QStringList DroppedFiles;  // pending paths for AddFiles
  // Folder of the help file and the style file (the program's folder).
  QString str_ProgramDir;
  int SortColumn = lcName;
  bool SortDescending = false;
  int64_t TotalSize = 0;
  int64_t TotalDuration = 0;
  int DesignWidth = 0;
  int DesignHeight = 0;
  // The command line the program was started with.
  TCommandLine CommandLine;
  // The program's exit status once this window has closed: not 0 when a command-line job
  // ending in "x" could not start, a file of it failed or a signal stopped it.
  int int_ExitCode = 0;
  // The program runs without a display: the job windows ask no questions.
  bool bool_Headless = false;

  // Controls.
  TGlassButton *btn_Convert, *btn_Command, *btn_Extract, *btn_Burn, *btn_Add, *btn_Paste, *btn_Play,
      *btn_Properties, *btn_Remove;
  QTreeWidget *lw_Files;
  // Created after the list, whose events this window filters from the start.
  QWidget *pnl_Note = nullptr;
  QLabel *lbl_Note = nullptr;
  TSettingsPanel *PageControl1;
  QLabel *sts_0;
  QLabel *sts_1;
  QMenu *pop_List;
  QAction *mnu_New, *mnu_Open, *mnu_Save, *mnu_Convert, *mnu_Command, *mnu_Extract, *mnu_Burn,
      *mnu_Defaults, *mnu_Exit, *mnu_AddFiles, *mnu_Paste, *mnu_SelectAll, *mnu_Effects, *mnu_Play,
      *mnu_Preview, *mnu_Properties, *mnu_Remove, *mnu_Dark, *mnu_Help, *mnu_Update, *mnu_About;

  // File list entries by position (list order); an empty entry outside the list.
  int EntryCount() const;
  TFileEntry Entry(int index) const;
  // Appends entries (icon by the file name's extension); the caller re-sorts with SortList.
  void AppendEntry(const TFileEntry &entry);
  void AppendEntries(const QList<TFileEntry> &entries);
  // Sub-item 2 of every entry, in list order.
  QStringList ListedPaths() const;
  // Positions of the selected entries, ascending.
  QList<int> SelectedEntries() const;
  // Re-sorts by SortColumn/SortDescending.
  void SortList();

  // Shows the adding window over DroppedFiles, then UpdateSize.
  virtual void AddFiles();
  // Files and folders handed in from outside (the command line's open form, a second start
  // of the program): brings the window to the front and adds them as a drop does, once no
  // other window of the program is modal.
  void OpenFiles(const QStringList &APaths);
  void UpdateSize();
  void SetColors(bool Default);
  void LoadSettings();
  void SaveSettings();
  void BuildVideoOptions();
  void BuildAudioOptions();
  // Toolbar icons of 24 pixels, or 48 above 150 dots per inch, centred in their buttons.
  void SetToolbarImages(qreal dotsPerInch);
  // Light (unchecked) or dark (checked) look after a toggle of "Dark theme".
  void ApplyTheme();
  // The style in use while the dark look is on.
  const std::optional<TStyleFile> &ActiveStyle() const { return FActiveStyle; }

  // Action handlers.
  void btn_ConvertClick();
  void btn_CommandClick();
  // "Run" of a command preset: the listed files converted with AOptions into the container at
  // AFormat, as the FFmpeg command dialog's "OK" does; a text the engine refuses is named in a
  // message box instead.
  void RunCommandPreset(const QString &AOptions, int AFormat);
  void btn_ExtractClick();
  void btn_BurnClick();
  void New1Click();
  void Open1Click();
  void Save1Click();
  // The command-line work, once after the first show.
  void tmr_ParamTimer();
  // The update check, once after the first show unless a job came on the command line: the
  // version file is downloaded on a worker thread into Update.
  void tmr_UpdateTimer();
  // The version file's text: asks whether to open the download page when it is newer.
  void UpdateDataReceived(const QString &AData);
  // What a job window takes from this window when it starts.
  TJobRecord JobRecord(const QString &AOutputPath) const;
  // The same for a job whose option string the settings built: their target size and the
  // subtitles they leave out, too (a typed option string is taken as it is).
  TJobRecord SettingsJobRecord(bool AAudio, const QString &AOutputPath) const;
  // What a job takes from this run rather than from its list: CPU usage, files at once, look,
  // preview, the command line's "x" and the lack of a display.
  void AddRunSettings(TJobRecord &AJob) const;
  void btn_AddClick();
  void btn_PasteClick();
  void btn_PlayClick();       // Preview
  void btn_PropertiesClick(); // Properties
  void btn_RemoveClick();
  void btn_EffectsClick();
  void Defaultsettings1Click();
  void SelectAll();
  // Closes the modal windows open over this one, innermost first, then this window (so the
  // settings are saved); used when the program is told to end. A running job is stopped first
  // and the windows close once it has ended.
  void CloseWithModals();
  // The program is told to end by ASignal (a logout, Ctrl+C, kill): CloseWithModals. A job
  // of a command line ending in "x" is stopped with the signal named in its log, log.txt is
  // saved, and the program says so and ends with the shells' status for the signal (128 + its
  // number).
  void EndBySignal(int ASignal);
  void PlaySelected();
  void ShowHelp();
  void lw_FilesColumnClick(int column);
  void ShowSortArrow(int column, bool descending);
  // Header indicator order that draws the up arrow for ascending, the down arrow for descending.
  static Qt::SortOrder SortArrowOrder(bool descending) {
    return descending ? Qt::AscendingOrder : Qt::DescendingOrder;
  }

protected:
  // The folder dialog of "Specify output path"; empty when cancelled.
  virtual QString ChooseOutputFolder();
  // The list-document dialogs; empty when cancelled.
  virtual QString ChooseOpenDocument();
  virtual QString ChooseSaveDocument();
  void showEvent(QShowEvent *event) override;
  void closeEvent(QCloseEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void moveEvent(QMoveEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  QWidget *CreateToolbar();
  TGlassButton *NewToolButton(const QString &icon, const QString &caption, const QString &hint,
                              QAction *action);
  void CreateList();
  void CreateMenus();
  void CreateStatusLine();
  void lw_FilesSelectItem(const QItemSelection &selected, const QItemSelection &deselected);
  void UpdateSelectionActions();
  void CenterNote();
  // With an empty list the Add Files dialog comes first; true when the list then has entries.
  bool HasFilesOrAdd();
  // The output folder of a job by the " Output " choice (and the command line's folder when
  // AUseCommandLine); nothing when no job is to start.
  std::optional<QString> JobOutputFolder(bool AUseCommandLine);
  // Convert or Extract audio: files, output folder, option string, then the job window.
  void LaunchJob(bool AAudio);
  // The job of the command text in str_Options: the container at AFormat (the encoder lists
  // left as they are), the output folder, then the video job window.
  void RunCommand(int AFormat);
  // Adds APaths as a drop does once no other window of the program is modal (a job window
  // or a dialog keeps them waiting).
  void AddWhenNotModal(const QStringList &APaths);
  // Runs a job window; a command line ending in "x" ends the program after a finished job.
  void RunJob(bool AAudio, const TJobRecord &AJob);
  // Runs a job window and takes what it hands back (a failed file sets the exit status of a
  // command line ending in "x").
  TJobOutcome ExecuteJob(bool AAudio, const TJobRecord &AJob);
  // Where the running batches keep their queues, one file each: beside the settings file.
  QString QueueFolder() const;
  // Batches cut off by a crash or the program's end: asks (AAsk) whether to convert the files
  // they left, and runs them one batch after the other, each with its option string and output
  // folder. Without AAsk (the command line's "-r") it runs them at once, or says there is
  // nothing to resume. Queue files that cannot be read are named and left alone.
  void ResumeBatch(bool AAsk);
  // Takes AQueues over and runs a job for each in turn, until one is stopped; a command line
  // ending in "x" then ends the program.
  void RunQueues(const QList<TSavedQueue> &AQueues);
  // The job that converts what AQueue left, saving its queue back into AQueue's file.
  TJobRecord ResumedJob(const TSavedQueue &AQueue) const;
  void RemoveAll();
  // CloseWithModals where AModal refused to close: tried again until it has closed.
  void StopThenClose(QWidget *AModal);
  // Why a command-line job is being stopped ("Stopped by SIGTERM."); empty while it is not.
  QString FStopReason;
  bool FJobStarted = false;     // a job window has been opened
  bool FEndingBySignal = false; // a running job's queue stays for the next start
  // A command-line job ending in "x" with no file to work on: says so on stderr and in
  // log.txt and ends the program with a failure status instead of asking for files.
  void EndWithoutFiles();
  // AMessage on stderr and in log.txt, then the end of the program with status 1.
  void EndWithMessage(const QString &AMessage);
  // Reads a list document into DroppedFiles, reporting a failure and folder lines; false when
  // it could not be read.
  bool LoadListDocument(const QString &AName);
  // A message box, or a line on stderr without a display.
  void Report(QMessageBox::Icon AIcon, const QString &AText);
  // Column1 ... Column4 of S.
  void SetColumnWidths(const TAppSettings &S);
  // The screen's area for windows; empty without a screen.
  QRect AvailableArea() const;
  // Keeps the window, frame included, within that area: no larger, and moved inside.
  void KeepOnScreen();
  // The window system's frame around the window (its title bar at the top); none until the
  // window manager has framed the window, which it does some time after the first show.
  QMargins FrameMargins() const;
  // The frame's width and height: the window system's when it is known, else a title bar and
  // borders in this style's sizes (none offscreen).
  QSize ExpectedFrame() const;
  // A title bar and borders in this style's sizes; none where no window manager frames
  // windows (offscreen).
  QSize EstimatedFrame() const;
  // KeepOnScreen again when the frame has changed since the last time (a window manager
  // adding its frame after the first show would otherwise push the title bar off screen).
  void KeepOnScreenForNewFrame();
  // Loads the libraries and offers in the encoder lists what they have; starts the check of
  // the hardware encoders, whose result ShowAvailableEncoders shows.
  void CheckEncoders();
  void ShowAvailableEncoders();
  // Tells the user once that the settings file could not be read (and is left alone).
  void WarnUnreadableSettings();
  // Paths of the local files among the URLs of a drag or the clipboard.
  static QStringList LocalPaths(const QList<QUrl> &urls);

  bool bool_Shown = false;
  QMargins FKeptFrame; // the frame KeepOnScreen last fitted
  TWebData *Update = nullptr;
  TEncoderCheck *FEncoderCheck;
  std::optional<TStyleFile> FActiveStyle;
  TSettingsFile FSettingsFile;
  TStretchedLastColumn *FSourceColumn;
};

// What a job window takes from the main window once, when the job starts. The window never
// reaches back into the main window while it runs.
#pragma once

#include "components/filelist/FileListUtils.h"
#include "shell/settings/TConversionSettings.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

class TWin7TaskProgressBar;

// The settings a video job builds each file's options from once it has read the source.
struct TSourceSettings {
  TConversionSettings Settings;
  TEffects Effects;

  bool operator==(const TSourceSettings &) const = default;
};

struct TJobRecord {
  QList<TFileEntry> Entries;
  QString Options;     // the option string every task gets
  QString OutputPath;  // folder ending with "/", or empty: each output next to its source
  QString VideoFormat; // container name of the video job ("MP4")
  int AudioFormat = 0; // audio job: item index of the audio format choice
  int CPUUsage = 2;    // 0 idle, 1 low, 2 normal, 3 high
  int FilesAtOnce = 1; // files converted at the same time
  // Video job: each output's size in MB (10^6 bytes), reached in two passes; 0 = off. The
  // audio bit rate in kbit/s it reckons with.
  int TargetSize = 0;
  int AudioKbps = 0;
  // Video job: subtitles were to be kept but the container holds none, so a source's are left
  // out (said in the log).
  bool SubtitlesDropped = false;
  // Video job whose options differ by source (subtitles burned in, audio tracks by language):
  // each file's options are built from these for what its source holds, and what they cannot
  // do as asked is said in the log. Unset: Options serves every file.
  std::optional<TSourceSettings> PerSource;
  // Where the batch's queue is saved on every change (empty: not saved), for a resume after
  // the program was cut off.
  QString QueueFile;
  // By entry: the unfinished output an earlier run of this batch left (empty: none); it is
  // written again without the overwrite question.
  QStringList PartialOutputs;
  TWin7TaskProgressBar *Win7 = nullptr;
  std::optional<QColor> DarkText; // set while the dark look is on: its plain text colour
  bool SaveLogAndQuit = false;    // command line ending in "x"
  bool AppendLog = false; // "x" after an earlier job of the same run: its log goes after that one's
  bool Preview = false;   // video job: show (and play) what the running task converts
  // No display to ask on: an existing output is kept, as when the user answers No.
  bool Headless = false;
};

// What a job window hands back when it closes.
struct TJobOutcome {
  bool Completed = false; // the job went to its end (not stopped, libraries loaded)
  bool Preview = false;   // the "Preview" choice as the user left it
  int FailedFiles = 0;    // files that could not be converted (skipped ones are not counted)
};

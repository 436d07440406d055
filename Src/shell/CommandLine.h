// The program's command line. The job form: mode ("-v" or "-a"), output folder, a list
// document or media files, and an optional trailing "x" that saves the job log and ends the
// program. "-r" (optionally with "x") resumes the batch the last run left unfinished. Any other
// first argument starts the open form, as a file manager's "Open with" gives it: every argument is
// a file or folder for the list.
#pragma once

#include <QString>
#include <QStringList>

struct TCommandLine {
  enum TMode { cmLoadOnly, cmConvert, cmExtract, cmResume };
  bool Active = false; // the job form: an output folder was given, or "-r"
  TMode Mode = cmLoadOnly;
  QString OutputFolder; // with a trailing "/"
  QString ListDocument; // the third argument when it names a *.fls document
  QStringList Files;    // otherwise: the arguments from the third on (at most 999th); in the
                        // open form every argument, made absolute
  bool SaveLogAndQuit = false;
};

// AArguments as the program received them, the program itself first.
TCommandLine ParseCommandLine(const QStringList &AArguments);

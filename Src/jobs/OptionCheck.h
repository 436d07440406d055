// The check of a typed output option string before a batch starts: the text goes through the
// engine's own option parser, as the job will hand it to every task, so a text the job would
// refuse for each file is refused once, where it was typed. Main thread, no task running.
#pragma once

#include <QString>

// Why the engine's parser refuses AOptions as output options for a file named AFileName (its
// first error line, "Unrecognized option \"foo\"."); empty when it takes them, and also when
// the libraries cannot be loaded from ALibraryPath (the job then says so itself).
QString OutputOptionsError(const QString &AOptions, const QString &AFileName,
                           const QString &ALibraryPath);

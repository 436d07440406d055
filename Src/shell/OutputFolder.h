// Output folders of the job launch.
#pragma once

#include <QString>

// Whether a file can be created and removed again in AFolder: a uniquely named file with the
// prefix "$" is created there and deleted; true when both succeed. No file is left behind.
bool CanWriteToFolder(const QString &AFolder);

// AFolder with a trailing "/" (an empty folder stays empty).
QString WithDelimiter(const QString &AFolder);

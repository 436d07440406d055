// File-type facts by file name, as a desktop shell gives them: the type's description and
// its icon. Looked up by name (extension) only, so the file need not exist.
#pragma once

#include <QIcon>
#include <QString>

// The MIME type's comment ("MPEG-4 video"); "File" when nothing is known.
QString ShellTypeName(const QString &AFileName);
// The theme icon of the file's type, else the generic file icon.
QIcon ShellIcon(const QString &AFileName);

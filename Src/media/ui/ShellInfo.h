// File-type facts by file name, as a desktop shell gives them: the type's description and
// its icon. Looked up by name (extension), so the file need not exist; an existing file whose
// name fits several types is told apart by its content.
#pragma once

#include <QIcon>
#include <QString>

// The MIME type's comment ("MPEG-4 video"); "File" when nothing is known.
QString ShellTypeName(const QString &AFileName);
// The theme icon of the file's type, else the generic file icon.
QIcon ShellIcon(const QString &AFileName);

#include "media/ui/ShellInfo.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QMimeDatabase>

namespace {

// By name, and by content where the name is ambiguous (".ts": transport stream or message
// catalog) and the file is there to read.
QMimeType MimeTypeOfName(const QString &AFileName) {
  const QFileInfo info(AFileName);
  return info.isFile() ? QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchDefault)
                       : QMimeDatabase().mimeTypeForFile(AFileName, QMimeDatabase::MatchExtension);
}

} // namespace

QString ShellTypeName(const QString &AFileName) {
  const QMimeType type = MimeTypeOfName(AFileName);
  const QString comment = type.isDefault() ? QString() : type.comment();
  return comment.isEmpty() ? QStringLiteral("File") : comment;
}

QIcon ShellIcon(const QString &AFileName) {
  const QMimeType type = MimeTypeOfName(AFileName);
  QIcon icon = QIcon::fromTheme(type.iconName());
  if (icon.isNull())
    icon = QIcon::fromTheme(type.genericIconName());
  if (icon.isNull())
    icon = QFileIconProvider().icon(QFileIconProvider::File);
  return icon;
}

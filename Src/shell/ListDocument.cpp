#include "shell/ListDocument.h"

#include "components/filelist/LocalPath.h"
#include "shell/settings/RegularFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {

// The text of the bytes after a byte-order mark, or the local path texts without one.
QStringList SplitLines(const QString &AText, bool APathText, const QByteArray &ABytes) {
  QStringList lines;
  if (APathText) {
    const QList<QByteArray> raw =
        QByteArray(ABytes).replace("\r\n", "\n").replace('\r', '\n').split('\n');
    for (const QByteArray &line : raw)
      lines << LocalPathText(line);
  } else {
    lines = QString(AText)
                .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                .replace(QLatin1Char('\r'), QLatin1Char('\n'))
                .split(QLatin1Char('\n'));
  }
  if (!lines.isEmpty() && lines.last().isEmpty())
    lines.removeLast();
  return lines;
}

} // namespace

QStringList ListDocumentLines(const QByteArray &ABytes) {
  if (ABytes.startsWith("\xEF\xBB\xBF"))
    return SplitLines({}, true, ABytes.mid(3));
  for (auto [mark, encoding] : {std::pair{QByteArray("\xFF\xFE"), QStringConverter::Utf16LE},
                                std::pair{QByteArray("\xFE\xFF"), QStringConverter::Utf16BE}}) {
    if (ABytes.startsWith(mark)) {
      QStringDecoder decoder(encoding);
      return SplitLines(decoder(ABytes.mid(2)), false, {});
    }
  }
  return SplitLines({}, true, ABytes);
}

QByteArray ListDocumentBytes(const QStringList &APaths) {
  QByteArray bytes;
  for (const QString &path : APaths)
    bytes += LocalPathBytes(path) + "\r\n";
  return bytes;
}

bool ReadListDocument(const QString &AFileName, QStringList &ALines, QString &AError) {
  // Opened by its exact bytes: QFile would re-encode a name that is not UTF-8.
  const TFileText file = ReadRegularFile(LocalPathString(AFileName), MaxListDocumentSize);
  if (file.State == TFileText::fsMissing) {
    AError = QString::fromLocal8Bit(std::strerror(ENOENT));
    return false;
  }
  if (file.State == TFileText::fsFailed) {
    AError = QStringLiteral("Cannot open the file list %1: %2.\n\nA file list is a regular file "
                            "of at most %3 MiB; open another one or split this one.")
                 .arg(DisplayPath(AFileName), QString::fromStdString(file.Error))
                 .arg(MaxListDocumentSize >> 20);
    return false;
  }
  ALines = ListDocumentLines(QByteArray::fromStdString(file.Text));
  const QString clean = CleanLocalPath(AFileName);
  const QString folder = clean.left(clean.lastIndexOf(QLatin1Char('/')) + 1);
  for (QString &line : ALines)
    if (!line.isEmpty() && !line.startsWith(QLatin1Char('/')))
      line = CleanLocalPath(folder + line);
  return true;
}

bool WriteListDocument(const QString &AFileName, const QStringList &APaths, QString &AError) {
  QSaveFile file(QFile::decodeName(LocalPathBytes(AFileName)));
  if (!file.open(QIODevice::WriteOnly) || file.write(ListDocumentBytes(APaths)) < 0 ||
      !file.commit()) {
    AError = file.errorString();
    return false;
  }
  return true;
}

QStringList TakeFolderLines(QStringList &ALines) {
  QStringList folders;
  ALines.removeIf([&folders](const QString &line) {
    std::error_code ec;
    if (line.isEmpty() || !std::filesystem::is_directory(LocalPathString(line), ec))
      return false;
    folders << line;
    return true;
  });
  return folders;
}

QString FolderLinesText(const QStringList &AFolders) {
  QStringList shown;
  for (const QString &folder : AFolders)
    shown << DisplayPath(folder);
  return QStringLiteral("The file list names folders; they were not added:\n\n%1\n\nA file "
                        "list names files only. To add the files in a folder, drop the folder "
                        "on the window.")
      .arg(shown.join(QLatin1Char('\n')));
}

#include "shell/ListDocument.h"

#include "shell/LocalPath.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

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
  const std::filesystem::path path(LocalPathString(AFileName));
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    AError = QString::fromLocal8Bit(std::strerror(EISDIR));
    return false;
  }
  errno = 0;
  std::ifstream file(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(file), {}};
  if (!file.is_open() || file.bad()) {
    AError = QString::fromLocal8Bit(std::strerror(errno ? errno : EIO));
    return false;
  }
  ALines = ListDocumentLines(QByteArray::fromStdString(bytes));
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

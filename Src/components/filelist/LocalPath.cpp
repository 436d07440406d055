#include "components/filelist/LocalPath.h"

#include <filesystem>

namespace {

constexpr char16_t KeptByteBase = 0xDC00; // a kept byte b is U+DC00 + b (b is 0x80..0xFF)

// Length of the well-formed UTF-8 sequence at APos (no overlong forms, no surrogates, at most
// U+10FFFF), 0 when the byte there does not start one.
int Utf8SequenceLength(const QByteArray &ABytes, qsizetype APos) {
  const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(ABytes[i]); };
  const unsigned char lead = byte(APos);
  if (lead < 0x80)
    return 1;
  int length = 0;
  unsigned char low = 0x80, high = 0xBF; // bounds of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (APos + length > ABytes.size() || byte(APos + 1) < low || byte(APos + 1) > high)
    return 0;
  for (int i = 2; i < length; ++i)
    if ((byte(APos + i) & 0xC0) != 0x80)
      return 0;
  return length;
}

bool IsKeptByte(QStringView AText, qsizetype APos) {
  const char16_t c = AText[APos].unicode();
  return c >= KeptByteBase + 0x80 && c <= KeptByteBase + 0xFF &&
         (APos == 0 || !AText[APos - 1].isHighSurrogate());
}

} // namespace

QString LocalPathText(const QByteArray &ABytes) {
  QString text;
  qsizetype runStart = 0; // start of the valid UTF-8 not yet decoded
  qsizetype pos = 0;
  while (pos < ABytes.size()) {
    const int length = Utf8SequenceLength(ABytes, pos);
    if (length > 0) {
      pos += length;
      continue;
    }
    text += QString::fromUtf8(ABytes.constData() + runStart, pos - runStart);
    text += QChar(char16_t(KeptByteBase + static_cast<unsigned char>(ABytes[pos])));
    runStart = ++pos;
  }
  return text + QString::fromUtf8(ABytes.constData() + runStart, pos - runStart);
}

QByteArray LocalPathBytes(const QString &APath) {
  QByteArray bytes;
  qsizetype runStart = 0;
  for (qsizetype i = 0; i < APath.size(); ++i) {
    if (!IsKeptByte(APath, i))
      continue;
    bytes += QStringView(APath).mid(runStart, i - runStart).toUtf8();
    bytes += char(APath[i].unicode() - KeptByteBase);
    runStart = i + 1;
  }
  bytes += QStringView(APath).mid(runStart).toUtf8();
  return bytes;
}

bool LocalPathExists(const QString &APath) {
  std::error_code ec;
  return std::filesystem::exists(LocalPathString(APath), ec);
}

bool IsLocalFile(const QString &APath) {
  std::error_code ec;
  return std::filesystem::is_regular_file(LocalPathString(APath), ec);
}

QString DisplayPath(const QString &APath) {
  QString text = APath;
  for (qsizetype i = 0; i < text.size(); ++i)
    if (IsKeptByte(APath, i))
      text[i] = QChar::ReplacementCharacter;
  return text;
}

QString CleanLocalPath(const QString &APath) {
  if (APath.isEmpty())
    return APath;
  // The same cleaning as the folder scan's (std::filesystem), on the exact bytes.
  std::filesystem::path path(LocalPathString(APath));
  std::error_code ec;
  if (path.is_relative())
    path = std::filesystem::current_path(ec) / path;
  std::string clean = path.lexically_normal().native();
  if (clean.size() > 1 && clean.back() == '/')
    clean.pop_back();
  return LocalPathText(QByteArray::fromStdString(clean));
}

QUrl LocalPathUrl(const QString &APath) {
  return QUrl::fromEncoded("file://" + LocalPathBytes(APath).toPercentEncoding("/"));
}

QString LocalPathOfUrl(const QUrl &AUrl) {
  // The encoded path keeps the original bytes where toLocalFile() would replace them.
  return LocalPathText(QByteArray::fromPercentEncoding(AUrl.path(QUrl::FullyEncoded).toLatin1()));
}

// File paths as the list keeps them. Linux file names are bytes and need not be valid UTF-8;
// QFile::decodeName would replace the bad bytes and lose the name. A path's text here decodes
// the valid UTF-8 and keeps every other byte as one lone low surrogate (U+DC80..U+DCFF), so
// LocalPathBytes gives back the exact bytes the decoder, the engine and the file system need.
// For a valid UTF-8 name the text is the plain decoded name.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <string>

// The text of a path's bytes, reversible by LocalPathBytes.
QString LocalPathText(const QByteArray &ABytes);

// The exact bytes of a path text made by LocalPathText (plain UTF-8 for any other text).
QByteArray LocalPathBytes(const QString &APath);

// The bytes as the core takes them.
inline std::string LocalPathString(const QString &APath) {
  return LocalPathBytes(APath).toStdString();
}

// The last part of a path (after its last "/"), with its exact bytes.
inline QString LocalFileName(const QString &APath) {
  return APath.mid(APath.lastIndexOf(QLatin1Char('/')) + 1);
}

// Whether the exact bytes name anything (links followed), and whether that is a regular file.
// QFileInfo cannot ask: its file name goes through QFile::encodeName, which loses kept bytes.
bool LocalPathExists(const QString &APath);
bool IsLocalFile(const QString &APath);

// The path for display: every kept byte shows as the replacement character.
QString DisplayPath(const QString &APath);

// The absolute, lexically cleaned form of a path ("." and ".." resolved by name, repeated and
// trailing "/" dropped); symbolic links are not followed, so a link keeps its own name.
QString CleanLocalPath(const QString &APath);

// A file URL that carries the exact bytes, and the path text of a local file URL.
QUrl LocalPathUrl(const QString &APath);
QString LocalPathOfUrl(const QUrl &AUrl);

// File-list documents (*.fls): one path per line.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The lines of a document's bytes: a leading UTF-8 or UTF-16 (LE/BE) byte-order mark selects
// that encoding, otherwise the bytes are taken as local path bytes (UTF-8 with any other byte
// kept, see LocalPath.h). Lines end in CR LF, LF or CR; blank lines are kept as empty paths and
// a final line end does not start another line.
QStringList ListDocumentLines(const QByteArray &ABytes);

// The document of APaths: their exact bytes, each line ended by CR LF, no byte-order mark.
QByteArray ListDocumentBytes(const QStringList &APaths);

// Reads or writes a document file; false with AError set when the file cannot be read/written.
bool ReadListDocument(const QString &AFileName, QStringList &ALines, QString &AError);
bool WriteListDocument(const QString &AFileName, const QStringList &APaths, QString &AError);

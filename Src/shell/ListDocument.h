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

// The largest document ReadListDocument reads.
constexpr qsizetype MaxListDocumentSize = 8 << 20;

// Reads or writes a document file; false with AError set when the file cannot be read/written.
// Reading takes only a regular file (links followed) of at most MaxListDocumentSize bytes and
// never blocks on a FIFO or device; relative lines are taken from the document's folder.
bool ReadListDocument(const QString &AFileName, QStringList &ALines, QString &AError);
bool WriteListDocument(const QString &AFileName, const QStringList &APaths, QString &AError);

// Takes the lines that name a folder (links followed) out of ALines and returns them: a list
// names files, and a folder line would otherwise add every file below it unasked.
QStringList TakeFolderLines(QStringList &ALines);

// The message about folder lines left out of a list (each shown for display).
QString FolderLinesText(const QStringList &AFolders);

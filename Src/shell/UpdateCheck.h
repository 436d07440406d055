// The update check's parts outside the window: where the version file is, how its text is
// judged against the program's own version, and the question put to the user.
#pragma once

#include <QString>

// QUILLET_UPDATE_URL when set (a test server, a mirror), else the maker's address.
QString VersionFileURL();
// The page the question offers to open.
QString DownloadPageURL();

// True when AData, the version file's whole body, names a newer version than AOwnVersion.
// Both are "major.minor" with decimal digits on each side of the first dot, compared as
// numbers part by part (6.10 is newer than 6.2). An empty body, one longer than five
// characters, or one of any other shape (a line break, a sign, a missing part) offers nothing.
bool OffersNewerVersion(const QString &AOwnVersion, const QString &AData);

// "A new version is available: <version>", a blank line, and the question.
QString UpdateQuestion(const QString &AVersion);

// Opening a file with the desktop's default application for its type (xdg-open).
#pragma once

class QString;
class QWidget;

// Hands APath (a path as the file list keeps it) to xdg-open and returns at once. When the
// opener is missing, or ends with an error because no application takes the file, a message
// box over AOwner names the file: the action never fails silently.
void OpenWithDefaultApp(QWidget *AOwner, const QString &APath);

// The "FFMPEG Command" dialog: the user types a whole output option string and picks the
// container that decides the outputs' extension.
#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;

class Tfrm_Command : public QDialog {
  Q_OBJECT
public:
  explicit Tfrm_Command(QWidget *Owner);

  // Opens the dialog with the container at AFormat; on "OK" AOptions takes the typed text
  // unchanged. Result: the container position chosen (AFormat when cancelled).
  static int Execute(QWidget *Owner, int AFormat, QString &AOptions);

  QLineEdit *txt_Command;
  QComboBox *cb_VideoFormat;
};

// The "FFMPEG Command" dialog: the user types a whole output option string and picks the
// container that decides the outputs' extension. The text box is a drop-down of the commands
// used before (newest first); given a check, OK parses the text first and a refused text keeps
// the dialog open with the reason under the text box.
#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;

class Tfrm_Command : public QDialog {
  Q_OBJECT
public:
  // Why an option text cannot be used for the container at a position; empty when it can.
  using TCheck = std::function<QString(const QString &AOptions, int AFormat)>;
  // How many commands the drop-down keeps.
  static constexpr int HistorySize = 10;

  explicit Tfrm_Command(QWidget *Owner, const QStringList &AHistory = {}, TCheck ACheck = {});

  // Opens the dialog with the container at AFormat; on "OK" AOptions takes the typed text
  // unchanged and AHistory gets it at its front (once, at most HistorySize entries). Result:
  // the container position chosen (AFormat when cancelled).
  static int Execute(QWidget *Owner, int AFormat, QString &AOptions);
  static int Execute(QWidget *Owner, int AFormat, QString &AOptions, QStringList &AHistory,
                     TCheck ACheck);

  // AHistory with AText at its front: blank texts are left out, an equal entry moves up, the
  // list is cut at HistorySize.
  static QStringList WithCommand(QStringList AHistory, const QString &AText);

  void accept() override;

  QComboBox *cb_Command; // editable: the commands used before
  QLineEdit *txt_Command; // cb_Command's text box
  QComboBox *cb_VideoFormat;
  QLabel *lbl_Error; // red, hidden until a text is refused

private:
  TCheck FCheck;
};

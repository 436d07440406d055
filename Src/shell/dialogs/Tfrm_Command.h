// The "FFMPEG Command" dialog: the user types a whole output option string and picks the
// container that decides the outputs' extension. The text box is a drop-down of the commands
// used before (newest first); given a check, OK parses the text first and a refused text keeps
// the dialog open with the reason under the text box. Given a way to save, "Save as preset..."
// keeps the checked text and container under a name, and the dialog stays open.
#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class Tfrm_Command : public QDialog {
  Q_OBJECT
public:
  // Why an option text cannot be used for the container at a position; empty when it can.
  using TCheck = std::function<QString(const QString &AOptions, int AFormat)>;
  // Keeps AOptions with the container at AFormat as the preset AName; false when refused (the
  // saver says why).
  using TSave = std::function<bool(const QString &AName, const QString &AOptions, int AFormat)>;
  // How many commands the drop-down keeps.
  static constexpr int HistorySize = 10;

  explicit Tfrm_Command(QWidget *Owner, const QStringList &AHistory = {}, TCheck ACheck = {},
                        TSave ASave = {});

  // Opens the dialog with the container at AFormat; on "OK" AOptions takes the typed text
  // unchanged and AHistory gets it at its front (once, at most HistorySize entries). Result:
  // the container position chosen (AFormat when cancelled).
  static int Execute(QWidget *Owner, int AFormat, QString &AOptions);
  static int Execute(QWidget *Owner, int AFormat, QString &AOptions, QStringList &AHistory,
                     TCheck ACheck, TSave ASave = {});

  // AHistory with AText at its front: blank texts are left out, an equal entry moves up, the
  // list is cut at HistorySize.
  static QStringList WithCommand(QStringList AHistory, const QString &AText);

  void accept() override;
  // "Save as preset..." once the name is given: the text is checked as OK checks it; an empty
  // or refused text is not saved, and the reason shows under the text box.
  bool SaveAsPreset(const QString &AName);

  QComboBox *cb_Command;  // editable: the commands used before
  QLineEdit *txt_Command; // cb_Command's text box
  QComboBox *cb_VideoFormat;
  QLabel *lbl_Error;           // red, hidden until a text is refused
  QPushButton *btn_SavePreset; // only with a way to save

private:
  // Why the text cannot be used (the check's reason); empty when it can.
  QString Refusal() const;
  // Shows AError under the text box; false when there is one.
  bool Accepted(const QString &AError);

  TCheck FCheck;
  TSave FSave;
};

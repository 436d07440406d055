// The "Custom Frame Size" dialog: width and height edits (digits only) with up-down spinners,
// both starting at 1. The main window applies the result with ApplyCustomFrameSize.
#pragma once

#include <QDialog>
#include <QString>

class QLineEdit;
class QPushButton;
class TUpDown;

class Tfrm_Custom : public QDialog {
  Q_OBJECT
public:
  explicit Tfrm_Custom(QWidget *Owner);

  // Width text + "x" + height text, unchanged (an empty edit gives an empty side).
  QString FrameSizeText() const;

  // Opens the dialog modally over Owner; on "OK" returns true with Text = FrameSizeText().
  static bool Execute(QWidget *Owner, QString &Text);

  QLineEdit *txt_Width;
  QLineEdit *txt_Height;
  TUpDown *UpDown1;
  TUpDown *UpDown2;
  QPushButton *OK;
  QPushButton *Cancel;
};

// The "Custom Frame Size" dialog: width and height edits (digits only) with up-down spinners,
// both starting at 1. The main window applies the result with ApplyCustomFrameSize. Given the
// conversion settings, the dialog refuses a size their video encoder cannot take: the reason
// shows under the edits (FrameSizeRefusal) and OK stays disabled until the size is changed.
#pragma once

#include <QDialog>
#include <QString>

#include <optional>

#include "shell/settings/TConversionSettings.h"

class QLabel;
class QLineEdit;
class QPushButton;
class TUpDown;

class Tfrm_Custom : public QDialog {
  Q_OBJECT
public:
  explicit Tfrm_Custom(QWidget *Owner, std::optional<TConversionSettings> Settings = {});

  // Width text + "x" + height text, unchanged (an empty edit gives an empty side).
  QString FrameSizeText() const;

  // Opens the dialog modally over Owner; on "OK" returns true with Text = FrameSizeText().
  // With Settings, a size their encoder refuses cannot be confirmed.
  static bool Execute(QWidget *Owner, QString &Text,
                      std::optional<TConversionSettings> Settings = {});

  // Why the size typed now cannot be used; empty when it can.
  QString Refusal() const;
  void accept() override;

  QLineEdit *txt_Width;
  QLineEdit *txt_Height;
  TUpDown *UpDown1;
  TUpDown *UpDown2;
  QPushButton *OK;
  QPushButton *Cancel;
  QLabel *lbl_Refusal; // red, hidden while the size is fine

private:
  void UpdateRefusal();

  std::optional<TConversionSettings> FSettings;
};

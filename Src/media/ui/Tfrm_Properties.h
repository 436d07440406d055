// Tfrm_Properties: shows what the file list holds about one entry (name, type, size,
// duration, frame rate, bit rate, frame size, path) with the icon of its file type. It opens
// no media file: every value comes from the entry's caption and sub-items.
#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QLineEdit;
class QPushButton;

class Tfrm_Properties : public QDialog {
  Q_OBJECT

public:
  explicit Tfrm_Properties(QWidget *AOwner);

  // Shows the properties of an entry modally. An entry whose raw size is not a whole number
  // is reported in an "Error" message box instead.
  static void Execute(QWidget *AOwner, const QString &ACaption, const QStringList &ASubItems);

  // Fills the fields from an entry: its caption and its eight sub-items (0 duration text,
  // 2 full path, 4 size in bytes, 5 frame rate, 6 bit rate, 7 frame size). False, with the
  // fields left empty, when the raw size is not a whole number.
  bool Fill(const QString &ACaption, const QStringList &ASubItems);

  QLabel *Image1;
  QLineEdit *txt_Name;
  QLineEdit *txt_Type;
  QLineEdit *txt_Size;
  QLineEdit *txt_Duration;
  QLineEdit *txt_FrameRate;
  QLineEdit *txt_Bitrate;
  QLineEdit *txt_FrameSize;
  QLineEdit *txt_Source;
  QPushButton *btn_OK;

protected:
  void showEvent(QShowEvent *AEvent) override;
};

// Tfrm_Burn: the burn dialog. Writes every file of the main window's list to a data disc (each
// file in the root folder under its list name) or erases a rewritable disc, through its own
// burner component. It finds the drives, offers the write speeds of the chosen drive, checks
// the disc, logs what it does and follows burning and erasing through the modal windows
// Tfrm_Read, Tfrm_BurnProcess and Tfrm_Erase.
#pragma once

#include "burn/BurnSpeedList.h"
#include "burn/TDiscBurner.h"
#include "burn/ui/BurnTexts.h"
#include "components/filelist/FileListUtils.h"

#include <QDialog>
#include <QList>
#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTextEdit;
class QTimer;
class TWin7TaskProgressBar;
class Tfrm_BurnProcess;
class Tfrm_Erase;

class Tfrm_Burn : public QDialog {
  Q_OBJECT
public:
  // Files: the main window's list entries, in list order. Taskbar may be null. DarkText: the
  // main window's button text colour while the dark look is on.
  Tfrm_Burn(QWidget *AOwner, QList<TFileEntry> AFiles, TWin7TaskProgressBar *ATaskbar,
            std::optional<QColor> ADarkText);
  static void Execute(QWidget *AOwner, const QList<TFileEntry> &AFiles,
                      TWin7TaskProgressBar *ATaskbar, std::optional<QColor> ADarkText);

  // The message when no drive is found.
  static QString NoDriveText();

  TDiscBurner Burner;
  bool sdk_NoDisc = true;
  TSpeedList Speeds;
  bool bool_Burning = false;
  bool bool_Erasing = false;
  QString str_EraseError;

  QGroupBox *GroupBox2;
  QLineEdit *txt_Label;
  QGroupBox *GroupBox1;
  QComboBox *cb_Device_Burn;
  QComboBox *cb_WriteSpeed;
  QCheckBox *chk_Eject;
  QTextEdit *log_Main;
  QWidget *Panel2;
  QPushButton *btn_Burn;
  QPushButton *btn_Erase_Burn;
  QPushButton *Button1;
  QTimer *tmr_Start;

  void LogLine(const QString &AText, TLogColor AColor = clBlack);
  void DetectDevices();
  void cb_Device_BurnChange();
  void cb_WriteSpeedChange();
  void btn_BurnClick();
  void btn_Erase_BurnClick();
  void Button1Click();

  // The engine's events (main thread).
  void BurnerProcess(float APercent, double ABytesWritten, double AImageSize);
  void BurnerFinalize();
  void BurnerBurnDone(const std::string &AError);
  void BurnerEraseDone(const std::string &AError);

  // The progress windows while they are open (for tests and the event handlers).
  Tfrm_BurnProcess *BurnWindow() const { return FBurnWindow; }
  Tfrm_Erase *EraseWindow() const { return FEraseWindow; }

public slots:
  void done(int AResult) override;

protected:
  void showEvent(QShowEvent *AEvent) override;

private:
  void CreateControls();
  void ConnectBurner();
  bool CheckDisc();
  // Builds the project from the list; false when the user stops after failed files.
  bool AddFiles();
  // Builds the image, asking first when the image file holds other data; false (logged) when
  // there is nothing to burn.
  bool PrepareImage();
  // Asks whether to replace an image file that holds other data and allows it on a yes.
  bool ReplaceImageFile();
  void LogTimed(const QString &AText, TLogColor AColor);

  QList<TFileEntry> FFiles;
  TWin7TaskProgressBar *FTaskbar;
  std::optional<QColor> FDarkText;
  Tfrm_BurnProcess *FBurnWindow = nullptr;
  Tfrm_Erase *FEraseWindow = nullptr;
  int FLeftOff = 0; // listed files the last burn could not add
};

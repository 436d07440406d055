// Tfrm_Read: a small borderless window that runs one drive action of the burn dialog while the
// user interface stays alive: start the engine and list the drives (int_Process 0), or read
// the disc in a drive (int_Process 1). The action runs on a helper thread; the window closes
// itself when it is over.
#pragma once

#include <QDialog>
#include <atomic>
#include <thread>

class QLabel;
class QTimer;
class TDiscBurner;

class Tfrm_Read : public QDialog {
  Q_OBJECT
public:
  enum { rpInit = 0, rpRead = 1 };

  // DeviceIndex: the drive to read (0-based), for rpRead.
  Tfrm_Read(QWidget *AOwner, TDiscBurner &ABurner, int AProcess, int ADeviceIndex = 0);
  ~Tfrm_Read() override;

  // Runs the action modally; for rpRead, true when a disc was found.
  static bool Execute(QWidget *AOwner, TDiscBurner &ABurner, int AProcess, int ADeviceIndex = 0);

  int int_Process;
  // Result of rpRead: no disc, or the disc could not be read.
  bool sdk_NoDisc = true;

  QLabel *pnl_Read;
  QTimer *Timer1;
  QTimer *tmr_Read;
  QTimer *tmr_Init;

protected:
  void showEvent(QShowEvent *AEvent) override;
  void reject() override {} // the window closes only when its action is over

private:
  void Start(void (Tfrm_Read::*Action)());
  void InitEngine();
  void ReadDisc();
  void Timer1Timer();

  TDiscBurner &FBurner;
  int FDeviceIndex;
  std::thread FAction;
  std::atomic<bool> FDone{false};
};

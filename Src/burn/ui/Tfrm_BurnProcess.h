// Tfrm_BurnProcess: starts the burn and shows its progress, the megabytes written and the
// elapsed time, with Cancel. The burn dialog fills the progress from the engine's events and
// marks the window done when the burn is over (see TBurnWaitWindow). Cancel (or Escape) only
// asks the engine to stop.
#pragma once

#include "burn/ui/TBurnWaitWindow.h"

class QLabel;
class QProgressBar;
class QPushButton;
class TDiscBurner;

class Tfrm_BurnProcess : public TBurnWaitWindow {
  Q_OBJECT
public:
  Tfrm_BurnProcess(QWidget *AOwner, TDiscBurner &ABurner);

  QLabel *lbl_Burn;
  QLabel *lbl_Percent;
  QProgressBar *prg_Extract;
  QLabel *lbl_Written;
  QLabel *lbl_Elapsed;
  QPushButton *btn_Cancel;
  QTimer *tmr_Burn;

  void btn_CancelClick();

protected:
  void showEvent(QShowEvent *AEvent) override;
  void reject() override { btn_CancelClick(); }
  // A request to close (a logout, a signal) cancels the burn; the window closes at its end.
  void closeEvent(QCloseEvent *AEvent) override;
  void ShowElapsed(int ASeconds) override;

private:
  void CreateControls();

  TDiscBurner &FBurner;
};

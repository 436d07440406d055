// Tfrm_Erase: a small borderless window that starts a fast erase of the disc and shows the
// elapsed time until the erase is over (see TBurnWaitWindow).
#pragma once

#include "burn/ui/TBurnWaitWindow.h"

class QLabel;
class TDiscBurner;

class Tfrm_Erase : public TBurnWaitWindow {
  Q_OBJECT
public:
  Tfrm_Erase(QWidget *AOwner, TDiscBurner &ABurner);

  QString str_Erasing;
  QLabel *pnl_Erase;
  QTimer *tmr_Erase;

protected:
  void showEvent(QShowEvent *AEvent) override;
  void reject() override {} // the window closes only when the erase is over
  void ShowElapsed(int ASeconds) override;

private:
  TDiscBurner &FBurner;
};

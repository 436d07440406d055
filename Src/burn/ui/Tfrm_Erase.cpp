#include "burn/ui/Tfrm_Erase.h"

#include "burn/TDiscBurner.h"
#include "burn/ui/BurnTexts.h"
#include "burn/ui/BurnWindowLook.h"

#include <QLabel>

Tfrm_Erase::Tfrm_Erase(QWidget *AOwner, TDiscBurner &ABurner)
    : TBurnWaitWindow(AOwner), FBurner(ABurner) {
  setWindowTitle(QStringLiteral("Erasing..."));
  pnl_Erase = SetPanelWindowLook(this);
  str_Erasing = QStringLiteral("Erasing disc... ");
  ShowElapsed(0);
  tmr_Erase = NewStartTimer(this, [this] { StartWork([this] { FBurner.Erase(true, false); }); });
}

void Tfrm_Erase::showEvent(QShowEvent *AEvent) {
  QDialog::showEvent(AEvent);
  ShowElapsed(0);
  StartElapsed();
  tmr_Erase->start();
}

void Tfrm_Erase::ShowElapsed(int ASeconds) {
  pnl_Erase->setText(str_Erasing + EraseElapsedText(ASeconds));
}

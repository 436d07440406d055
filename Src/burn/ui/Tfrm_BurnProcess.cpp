#include "burn/ui/Tfrm_BurnProcess.h"

#include "burn/TDiscBurner.h"
#include "burn/ui/BurnTexts.h"
#include "burn/ui/BurnWindowLook.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

Tfrm_BurnProcess::Tfrm_BurnProcess(QWidget *AOwner, TDiscBurner &ABurner)
    : TBurnWaitWindow(AOwner), FBurner(ABurner) {
  setWindowTitle(QStringLiteral("Burning..."));
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setFixedSize(368, 158);
  CreateControls();
  tmr_Burn = NewStartTimer(this, [this] { StartWork([this] { FBurner.Burn(); }); });
}

void Tfrm_BurnProcess::CreateControls() {
  lbl_Burn = new QLabel(QStringLiteral("Burning disc..."));
  lbl_Percent = new QLabel(QStringLiteral("0%"));
  lbl_Percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  prg_Extract = new QProgressBar;
  prg_Extract->setRange(0, 100);
  prg_Extract->setTextVisible(false);
  lbl_Written = new QLabel(QStringLiteral("Written:"));
  lbl_Elapsed = new QLabel(QStringLiteral("00:00"));
  lbl_Elapsed->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  btn_Cancel = new QPushButton(QStringLiteral("Cancel"));
  connect(btn_Cancel, &QPushButton::clicked, this, &Tfrm_BurnProcess::btn_CancelClick);

  auto *grid = new QGridLayout(this);
  grid->setContentsMargins(12, 12, 12, 12);
  grid->addWidget(lbl_Burn, 0, 0);
  grid->addWidget(lbl_Percent, 0, 1);
  grid->addWidget(prg_Extract, 1, 0, 1, 2);
  grid->addWidget(lbl_Written, 2, 0);
  grid->addWidget(lbl_Elapsed, 2, 1);
  grid->addWidget(btn_Cancel, 3, 1, Qt::AlignRight);
}

void Tfrm_BurnProcess::showEvent(QShowEvent *AEvent) {
  QDialog::showEvent(AEvent);
  lbl_Burn->setText(QStringLiteral("Burning disc... "));
  StartElapsed();
  tmr_Burn->start();
}

void Tfrm_BurnProcess::ShowElapsed(int ASeconds) {
  lbl_Elapsed->setText(BurnElapsedText(ASeconds));
}

void Tfrm_BurnProcess::btn_CancelClick() {
  if (!btn_Cancel->isEnabled())
    return;
  btn_Cancel->setEnabled(false);
  FBurner.Abort();
}

void Tfrm_BurnProcess::closeEvent(QCloseEvent *AEvent) {
  if (!bool_Done)
    btn_CancelClick();
  TBurnWaitWindow::closeEvent(AEvent);
}

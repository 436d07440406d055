#include "burn/ui/Tfrm_Read.h"

#include "burn/TDiscBurner.h"
#include "burn/ui/BurnWindowLook.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

Tfrm_Read::Tfrm_Read(QWidget *AOwner, TDiscBurner &ABurner, int AProcess, int ADeviceIndex)
    : QDialog(AOwner), int_Process(AProcess), FBurner(ABurner), FDeviceIndex(ADeviceIndex) {
  setWindowTitle(QStringLiteral("Initialization..."));
  pnl_Read = SetPanelWindowLook(this);
  Timer1 = new QTimer(this);
  Timer1->setInterval(50);
  connect(Timer1, &QTimer::timeout, this, &Tfrm_Read::Timer1Timer);
  tmr_Init = NewStartTimer(this, [this] { Start(&Tfrm_Read::InitEngine); });
  tmr_Read = NewStartTimer(this, [this] { Start(&Tfrm_Read::ReadDisc); });
}

Tfrm_Read::~Tfrm_Read() {
  if (FAction.joinable())
    FAction.join();
}

bool Tfrm_Read::Execute(QWidget *AOwner, TDiscBurner &ABurner, int AProcess, int ADeviceIndex) {
  Tfrm_Read form(AOwner, ABurner, AProcess, ADeviceIndex);
  form.exec();
  return !form.sdk_NoDisc;
}

void Tfrm_Read::showEvent(QShowEvent *AEvent) {
  QDialog::showEvent(AEvent);
  if (int_Process == rpInit) {
    pnl_Read->setText(QStringLiteral("Initialization, please wait..."));
    tmr_Init->start();
  } else if (int_Process == rpRead) {
    pnl_Read->setText(QStringLiteral("Getting disc information..."));
    tmr_Read->start();
  }
}

void Tfrm_Read::Start(void (Tfrm_Read::*Action)()) {
  FDone = false;
  FAction = std::thread([this, Action] {
    try {
      (this->*Action)();
    } catch (const EDiscBurnerError &) {
      // An inactive or busy engine: nothing found.
    }
    FDone = true;
  });
  Timer1->start();
}

void Tfrm_Read::InitEngine() {
  FBurner.SetActive(true);
  if (FBurner.Active())
    FBurner.GetDevices();
}

void Tfrm_Read::ReadDisc() {
  sdk_NoDisc = true;
  if (FBurner.SetBurnDevice(FDeviceIndex + 1) && FBurner.GetMediumInformation() &&
      FBurner.LastError() == 0 && FBurner.MediumInfo().MediumTypeCode != 0)
    sdk_NoDisc = false;
}

void Tfrm_Read::Timer1Timer() {
  if (!FDone)
    return;
  Timer1->stop();
  FAction.join();
  accept();
}

#include "jobs/TSessionPower.h"

#include <QApplication>
#include <QComboBox>
#include <QMessageBox>

TSessionPower::TSessionPower(QWidget *AWindow, std::function<void()> ACloseProgram)
    : QObject(AWindow), FWindow(AWindow), FCloseProgram(std::move(ACloseProgram)) {
  if (!FCloseProgram)
    FCloseProgram = [] { QApplication::closeAllWindows(); };
  FTick.setInterval(1000);
  connect(&FTick, &QTimer::timeout, this, &TSessionPower::Tick);
  // A refused inhibitor (no logind, as in a container) is no news; a refused action is.
  connect(&FLogin, &TLoginManager::Failed, this,
          [this](const QString &AMethod, const QString &AMessage) {
            if (AMethod != QLatin1String("Inhibit"))
              ShowRefusal(AMethod, AMessage);
          });
}

void TSessionPower::ShowRefusal(const QString &AMethod, const QString &AMessage) {
  const QString action =
      AMethod == QLatin1String("Suspend") ? QStringLiteral("suspend") : QStringLiteral("power off");
  auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Warning"),
                              QStringLiteral("Could not %1: %2").arg(action, AMessage),
                              QMessageBox::Ok, FWindow);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

QComboBox *TSessionPower::CreateChoice(QWidget *AParent) {
  FChoice = new QComboBox(AParent);
  FChoice->addItems({QStringLiteral("Do nothing"), QStringLiteral("Close the program"),
                     QStringLiteral("Suspend"), QStringLiteral("Power off")});
  return FChoice;
}

TWhenDone TSessionPower::Choice() const {
  return FChoice ? TWhenDone(FChoice->currentIndex()) : TWhenDone::Nothing;
}

void TSessionPower::JobStarted(int AFiles) {
  Cancel();
  FLogin.Inhibit(AFiles == 1 ? QStringLiteral("Converting 1 file")
                             : QStringLiteral("Converting %1 files").arg(AFiles));
}

void TSessionPower::JobEnded(bool AStopped) {
  FLogin.Release();
  FPending = AStopped ? TWhenDone::Nothing : Choice();
  if (FPending == TWhenDone::Nothing)
    return;
  FSecondsLeft = FCountdownSeconds;
  if (FSecondsLeft <= 0) {
    CarryOut(FPending);
    return;
  }
  FDialog = new QMessageBox(QMessageBox::Information, QStringLiteral("When done"), CountdownText(),
                            QMessageBox::Cancel, FWindow);
  FDialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(FDialog, &QMessageBox::rejected, this, &TSessionPower::Cancel);
  FDialog->open();
  FTick.start();
}

void TSessionPower::Cancel() {
  FTick.stop();
  FPending = TWhenDone::Nothing;
  if (FDialog)
    FDialog->close();
}

void TSessionPower::Tick() {
  if (--FSecondsLeft > 0) {
    if (FDialog)
      FDialog->setText(CountdownText());
    return;
  }
  const TWhenDone action = FPending;
  Cancel();
  CarryOut(action);
}

void TSessionPower::CarryOut(TWhenDone AAction) {
  if (AAction == TWhenDone::Nothing)
    return;
  emit CarriedOut(AAction); // before closing the program, which may delete this object
  switch (AAction) {
  case TWhenDone::CloseProgram:
    FCloseProgram();
    break;
  case TWhenDone::Suspend:
    FLogin.Suspend();
    break;
  case TWhenDone::PowerOff:
    FLogin.PowerOff();
    break;
  case TWhenDone::Nothing:
    break;
  }
}

QString TSessionPower::CountdownText() const {
  static const char *const Doing[] = {"", "Closing the program", "Suspending", "Powering off"};
  return QStringLiteral("%1 in %2 s.").arg(QLatin1String(Doing[int(FPending)])).arg(FSecondsLeft);
}

#include "burn/ui/TBurnWaitWindow.h"

#include "burn/TDiscBurner.h"

#include <QCloseEvent>
#include <QTimer>

TBurnWaitWindow::TBurnWaitWindow(QWidget *AOwner) : QDialog(AOwner) {
  Timer1 = new QTimer(this);
  Timer1->setInterval(100);
  connect(Timer1, &QTimer::timeout, this, &TBurnWaitWindow::Timer1Timer);
  Timer1->start();
  tmr_Elapsed = new QTimer(this);
  tmr_Elapsed->setInterval(1000);
  connect(tmr_Elapsed, &QTimer::timeout, this, &TBurnWaitWindow::tmr_ElapsedTimer);
}

void TBurnWaitWindow::StartElapsed() {
  FSeconds = 0;
  tmr_Elapsed->start();
}

void TBurnWaitWindow::StartWork(const std::function<void()> &AWork) {
  try {
    AWork();
  } catch (const EDiscBurnerError &) {
    bool_Done = true;
  }
}

void TBurnWaitWindow::tmr_ElapsedTimer() {
  ShowElapsed(++FSeconds);
}

void TBurnWaitWindow::closeEvent(QCloseEvent *AEvent) {
  if (!bool_Done)
    AEvent->ignore();
}

void TBurnWaitWindow::Timer1Timer() {
  if (!bool_Done)
    return;
  Timer1->stop();
  tmr_Elapsed->stop();
  accept();
}

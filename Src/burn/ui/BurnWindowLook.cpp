#include "burn/ui/BurnWindowLook.h"

#include <QDialog>
#include <QLabel>
#include <QVBoxLayout>

QLabel *SetPanelWindowLook(QDialog *AWindow) {
  AWindow->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
  AWindow->setFixedSize(348, 68);
  AWindow->setStyleSheet(QStringLiteral("QDialog { background: rgb(230, 230, 230); }"));
  auto *panel = new QLabel(AWindow);
  panel->setAlignment(Qt::AlignCenter);
  panel->setStyleSheet(
      QStringLiteral("QLabel { background: white; color: black; border: 1px solid silver; }"));
  auto *layout = new QVBoxLayout(AWindow);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->addWidget(panel);
  return panel;
}

QTimer *NewStartTimer(QObject *AOwner, const std::function<void()> &Action) {
  auto *timer = new QTimer(AOwner);
  timer->setSingleShot(true);
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, AOwner, Action);
  return timer;
}

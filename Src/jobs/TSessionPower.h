// TSessionPower: what happens when a job is done ("When done:" on the job window): nothing,
// close the program, suspend or power off. Holds logind's sleep inhibitor while the job runs;
// once it is done, a countdown (30 seconds, cancellable) comes before the chosen action.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>

#include "jobs/TLoginManager.h"

class QComboBox;
class QMessageBox;
class QWidget;

enum class TWhenDone { Nothing, CloseProgram, Suspend, PowerOff };

class TSessionPower : public QObject {
  Q_OBJECT
public:
  // ACloseProgram: closes the program (default: every window, so that each saves its state).
  explicit TSessionPower(QWidget *AWindow, std::function<void()> ACloseProgram = {});

  // The "When done:" choices, in TWhenDone's order; the countdown reads the one chosen.
  QComboBox *CreateChoice(QWidget *AParent);
  TWhenDone Choice() const;

  // A job of AFiles files starts: sleep and idle are blocked until it ends.
  void JobStarted(int AFiles);
  // The job has ended: the inhibitor goes; a job that ran to its end (not AStopped) starts the
  // countdown to the chosen action.
  void JobEnded(bool AStopped);

  void SetCountdownSeconds(int ASeconds) { FCountdownSeconds = ASeconds; }
  bool CountingDown() const { return FTick.isActive(); }
  void Cancel();

  TLoginManager &Login() { return FLogin; }

signals:
  // The action has been asked for (its outcome comes through Login().Failed).
  void CarriedOut(TWhenDone AAction);

private:
  void Tick();
  void CarryOut(TWhenDone AAction);
  QString CountdownText() const;
  // Suspend or power-off was refused: a warning says why.
  void ShowRefusal(const QString &AMethod, const QString &AMessage);

  QWidget *FWindow;
  std::function<void()> FCloseProgram;
  TLoginManager FLogin;
  QPointer<QComboBox> FChoice;
  QPointer<QMessageBox> FDialog;
  QTimer FTick;
  TWhenDone FPending = TWhenDone::Nothing;
  int FCountdownSeconds = 30;
  int FSecondsLeft = 0;
};

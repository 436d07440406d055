// TBurnWaitWindow: base of the burn and erase windows. It counts the elapsed seconds while the
// engine works and closes itself once the burn dialog has marked it done (bool_Done, set when
// the engine's done event arrives). The user cannot close it.
#pragma once

#include <QDialog>
#include <functional>

class QTimer;

class TBurnWaitWindow : public QDialog {
  Q_OBJECT
public:
  bool bool_Done = false;

  QTimer *Timer1;      // 100 ms: closes the window when done
  QTimer *tmr_Elapsed; // 1000 ms: counts the seconds

  // One tick of the elapsed-time timer.
  void tmr_ElapsedTimer();

protected:
  explicit TBurnWaitWindow(QWidget *AOwner);
  // Shows the elapsed time.
  virtual void ShowElapsed(int ASeconds) = 0;
  // Counts from 0 again.
  void StartElapsed();
  // Starts the engine's work; work the engine refuses to take (no done event will follow)
  // ends the wait at once.
  void StartWork(const std::function<void()> &AWork);
  void closeEvent(QCloseEvent *AEvent) override;

private:
  void Timer1Timer();

  int FSeconds = 0;
};

// SIGTERM, SIGINT and SIGHUP (a logout, Ctrl+C in the terminal, kill) as a call on the main
// thread, so the program can close its window normally and save its settings. The signal
// handler only writes the signal number into a pipe (async-signal-safe); the pipe's reading
// end wakes the event loop. One instance at a time; it restores the previous handlers when
// destroyed.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

class TTerminationSignals : public QObject {
  Q_OBJECT
public:
  // Catches the three signals, except one already ignored when the program started (nohup).
  // They are unblocked too: a signal blocked by whoever started the program would otherwise
  // never end it. OnSignal runs on the thread that created this object, with the signal number.
  explicit TTerminationSignals(std::function<void(int)> OnSignal, QObject *parent = nullptr);
  ~TTerminationSignals() override;

private:
  void Drain();

  std::function<void(int)> FOnSignal;
  int FPipe[2] = {-1, -1};
  QSocketNotifier *FNotifier = nullptr;
};

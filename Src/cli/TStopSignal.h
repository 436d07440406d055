// Ctrl+C and SIGTERM for quillet-cli: the first one asks for a clean stop, a second one ends the
// program. The handler only sets a flag and writes to a pipe, so that a thread can wait for it.
#pragma once

class TStopSignal {
public:
  // Installs the handlers (once per process).
  static TStopSignal &Install();
  // A stop was asked for.
  bool Requested() const;
  // Blocks until a stop is asked for or Release is called; true when a stop was asked for.
  bool Wait();
  // The calling thread no longer takes the signals: they interrupt the others' blocking calls.
  void BlockHere();
  // Wakes Wait without a stop.
  void Release();

private:
  TStopSignal();
};

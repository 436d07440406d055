// TCliPreview: quillet-cli's preview. With a display it loads the preview module (Qt), which
// runs a Qt application on the main thread and installs the engine's preview window, so the
// task's pictures show there while the task's wait lets Qt paint; without one the preview is
// unavailable. Qt is loaded only here, so a conversion without --preview never pays for it.
//
// Threads: main thread only, for the whole run of the task.
#pragma once

#include <memory>
#include <string>

class TCliPreview {
public:
  // Null when the preview cannot be shown; AReason then says why.
  static std::unique_ptr<TCliPreview> Open(const std::string &AProgramFolder, int &argc,
                                           char **argv, std::string &AReason);
  ~TCliPreview();
  TCliPreview(const TCliPreview &) = delete;
  TCliPreview &operator=(const TCliPreview &) = delete;

  // Paints and handles the window's input; called while waiting for the task.
  void ProcessEvents();

private:
  using TProcessEvents = void (*)();
  using TClose = void (*)(void *);
  TCliPreview(void *AApp, TProcessEvents AProcessEvents, TClose AClose);

  void *FApp;
  TProcessEvents FProcessEvents;
  TClose FClose;
};

// TCliPreview: quillet-cli's preview. With a display it runs a Qt application on the main
// thread and installs the engine's preview window, so the task's pictures show there while the
// task's wait lets Qt paint; without one the preview is unavailable.
//
// Threads: main thread only, for the whole run of the task.
#pragma once

#include <memory>

class QApplication;

class TCliPreview {
public:
  // Null when there is no display to show the window on.
  static std::unique_ptr<TCliPreview> Open(int &argc, char **argv);
  ~TCliPreview();
  TCliPreview(const TCliPreview &) = delete;
  TCliPreview &operator=(const TCliPreview &) = delete;

  // Paints and handles the window's input; called while waiting for the task.
  void ProcessEvents();

private:
  explicit TCliPreview(std::unique_ptr<QApplication> AApp);

  std::unique_ptr<QApplication> FApp;
};

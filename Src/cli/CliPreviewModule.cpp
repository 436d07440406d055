// The Qt side of quillet-cli's preview, a module loaded only for --preview, so that a plain
// conversion neither loads Qt nor pays for it in start-up time and memory. The engine's
// symbols it uses (SetPreviewWindowFactory, the bitmap) resolve against quillet-cli, which
// exports them, so the window is installed in the engine that converts.
#include <QApplication>

#include "media/ui/TPreviewerForm.h"

#define MODULE_ENTRY extern "C" __attribute__((visibility("default")))

// The application showing the preview window, or null when there is no display to show it on
// (none reachable: Qt then falls back to its offscreen platform, which shows nothing).
MODULE_ENTRY void *QuilletCliPreviewOpen(int *AArgc, char **AArgv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
                                   ? "xcb;offscreen"
                                   : "wayland;xcb;offscreen");
  auto *app = new QApplication(*AArgc, AArgv);
  if (QGuiApplication::platformName() == QStringLiteral("offscreen")) {
    delete app;
    return nullptr;
  }
  InstallPreviewerWindows();
  return app;
}

// Paints and handles the window's input; called while waiting for the task.
MODULE_ENTRY void QuilletCliPreviewProcessEvents() {
  QCoreApplication::processEvents();
}

MODULE_ENTRY void QuilletCliPreviewClose(void *AApp) {
  SetPreviewWindowFactory(nullptr);
  delete static_cast<QApplication *>(AApp);
}

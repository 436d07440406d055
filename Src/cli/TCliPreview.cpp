#include "cli/TCliPreview.h"

#include <QApplication>

#include "media/ui/TPreviewerForm.h"

std::unique_ptr<TCliPreview> TCliPreview::Open(int &argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    return nullptr;
  // A display named but not reachable must not end the program: Qt then falls back to its
  // offscreen platform, which shows nothing.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
                                   ? "xcb;offscreen"
                                   : "wayland;xcb;offscreen");
  auto app = std::make_unique<QApplication>(argc, argv);
  if (QGuiApplication::platformName() == QStringLiteral("offscreen"))
    return nullptr;
  InstallPreviewerWindows();
  return std::unique_ptr<TCliPreview>(new TCliPreview(std::move(app)));
}

TCliPreview::TCliPreview(std::unique_ptr<QApplication> AApp) : FApp(std::move(AApp)) {}

TCliPreview::~TCliPreview() {
  SetPreviewWindowFactory(nullptr);
}

void TCliPreview::ProcessEvents() {
  QCoreApplication::processEvents();
}

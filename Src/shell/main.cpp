// Quillet: starts the application and shows the main window; the program ends when it closes.
#include "components/filelist/LocalPath.h"
#include "media/ui/TPreviewerForm.h"
#include "shell/CommandLine.h"
#include "shell/MainThreadDispatcher.h"
#include "shell/TLookStyle.h"
#include "shell/TTerminationSignals.h"
#include "shell/Tfrm_Main.h"

#include <QApplication>
#include <QStyle>
#include <csignal>

int main(int argc, char *argv[]) {
  // A reader that went away is a write error (EPIPE), not the end of the program.
  std::signal(SIGPIPE, SIG_IGN);
  // Without a display the program still runs, on Qt's offscreen platform.
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillet"));
  QApplication::setDesktopFileName(QStringLiteral("quillet"));
  QApplication::setStyle(new TLookStyle);
  QApplication::setPalette(QApplication::style()->standardPalette());
  InstallMainThreadDispatcher(&app);
  InstallPreviewerWindows();
  Tfrm_Main frm_Main;
  // The arguments' exact bytes (Qt has taken out its own options): a file name need not be
  // valid UTF-8, and QCoreApplication::arguments() would replace what is not.
  QStringList arguments;
  for (int i = 0; i < argc; ++i)
    arguments << LocalPathText(QByteArray(argv[i]));
  frm_Main.CommandLine = ParseCommandLine(arguments);
  // On a platform without a screen (the fallback above or one chosen outright) no question
  // can be answered.
  frm_Main.bool_Headless =
      QStringList{QStringLiteral("offscreen"), QStringLiteral("minimal")}.contains(
          QGuiApplication::platformName());
  // A logout, Ctrl+C or kill closes the window as the user would, so the settings are saved.
  TTerminationSignals termination([&frm_Main](int ASignal) { frm_Main.EndBySignal(ASignal); });
  frm_Main.show();
  const int status = QApplication::exec();
  return status != 0 ? status : frm_Main.int_ExitCode;
}

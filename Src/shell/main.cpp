// Quillet: starts the application and shows the main window; the program ends when it closes.
// A start without a job while the program runs hands its files to that window instead.
#include "components/filelist/LocalPath.h"
#include "media/ui/TPreviewerForm.h"
#include "shell/CommandLine.h"
#include "shell/MainThreadDispatcher.h"
#include "shell/TLookStyle.h"
#include "shell/TSingleInstance.h"
#include "shell/TTerminationSignals.h"
#include "shell/Tfrm_Main.h"

#include <QApplication>
#include <QStyle>
#include <csignal>
#include <malloc.h>
#include <optional>

int main(int argc, char *argv[]) {
  // A reader that went away is a write error (EPIPE), not the end of the program.
  std::signal(SIGPIPE, SIG_IGN);
  // A batch opens and frees encoder after encoder, on several threads. glibc raises its
  // threshold for mapping big blocks each time one is freed, so later files' frames land in the
  // heaps and stay resident once freed: a two-at-once H.264 batch grew by a quarter. A fixed
  // threshold maps every big block and hands it back when it is freed.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  // Without a display the program still runs, on Qt's offscreen platform.
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillet"));
  QApplication::setDesktopFileName(QStringLiteral("example.sablewick.Quillet"));
  QApplication::setStyle(new TLookStyle);
  QApplication::setPalette(QApplication::style()->standardPalette());
  // The arguments' exact bytes (Qt has taken out its own options): a file name need not be
  // valid UTF-8, and QCoreApplication::arguments() would replace what is not.
  QStringList arguments;
  for (int i = 0; i < argc; ++i)
    arguments << LocalPathText(QByteArray(argv[i]));
  const TCommandLine commandLine = ParseCommandLine(arguments);
  // A job always runs in its own process; files go to the window already open, if any.
  std::optional<TSingleInstance> instance;
  if (commandLine.Mode == TCommandLine::cmLoadOnly) {
    instance.emplace(TSingleInstance::DefaultSocketPath());
    const TSingleInstance::THandOver handOver = instance->HandOver(commandLine.Files);
    if (handOver == TSingleInstance::hoDone)
      return 0;
    // One that listens but did not answer keeps its socket; this window then runs alone.
    if (handOver == TSingleInstance::hoNoAnswer || !instance->Listen())
      instance.reset();
  }
  InstallMainThreadDispatcher(&app);
  InstallPreviewerWindows();
  Tfrm_Main frm_Main;
  frm_Main.CommandLine = commandLine;
  if (instance)
    instance->OnFiles = [&frm_Main](const QStringList &APaths) { frm_Main.OpenFiles(APaths); };
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

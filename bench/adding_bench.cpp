// Adding benchmark driver: adds files and folders to a real main window the way a drop does
// (AddFiles over the pending paths) and reports the wall time, the time per file, the longest
// stretch in which the window could not handle events, and how quickly Cancel ends a run.
// The probing floor (--probe-only) probes the same files with a bare decoder, nothing else.
//
//   adding_bench [--cancel-after MS] PATH...   add to an empty list, then print the figures
//   adding_bench --probe-only FILE...          probe every file once, print the time per file
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "components/TFFLoader.h"
#include "media/TFFDecoder.h"
#include "shell/Tfrm_Main.h"
#include "shell/adding/Tfrm_Adding.h"

namespace {

// Measures the longest gap between two runs of the event loop while it is alive.
class TStallMeter {
public:
  TStallMeter() {
    FTimer.setInterval(5);
    QObject::connect(&FTimer, &QTimer::timeout,
                     [this] { FLongest = std::max(FLongest, FClock.restart()); });
    FClock.start();
    FTimer.start();
  }
  qint64 LongestMs() const { return FLongest; }

private:
  QTimer FTimer;
  QElapsedTimer FClock;
  qint64 FLongest = 0;
};

int ProbeOnly(const QStringList &AFiles) {
  if (!FFLoader().Load(DecoderLibraries)) {
    std::fprintf(stderr, "%s\n", FFLoader().LastErrMsg().c_str());
    return 1;
  }
  TFFDecoder decoder;
  QElapsedTimer clock;
  clock.start();
  int opened = 0;
  for (const QString &file : AFiles)
    if (decoder.LoadFile(file.toStdString())) {
      decoder.FileStreamInfo();
      decoder.CloseFile();
      ++opened;
    }
  const double ms = double(clock.nsecsElapsed()) / 1e6;
  std::printf("probe only: %d of %lld files in %.2f s, %.3f ms per file\n", opened,
              static_cast<long long>(AFiles.size()), ms / 1000,
              ms / std::max<qsizetype>(1, AFiles.size()));
  return 0;
}

// Clicks Cancel of the adding window AMs after the run starts; records when.
void CancelAfter(int AMs, QElapsedTimer &AClickedAt) {
  QTimer::singleShot(AMs, [&AClickedAt] {
    for (QWidget *w : QApplication::topLevelWidgets())
      if (auto *form = qobject_cast<Tfrm_Adding *>(w); form && form->isVisible()) {
        AClickedAt.start();
        form->btn_Cancel->click();
      }
  });
}

} // namespace

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  QStringList paths = app.arguments().mid(1);
  int cancelAfter = -1;
  if (!paths.isEmpty() && paths.first() == QLatin1String("--probe-only"))
    return ProbeOnly(paths.mid(1));
  if (paths.size() > 1 && paths.first() == QLatin1String("--cancel-after")) {
    cancelAfter = paths.at(1).toInt();
    paths = paths.mid(2);
  }
  if (paths.isEmpty()) {
    std::fprintf(stderr,
                 "usage: adding_bench [--cancel-after MS] PATH... | --probe-only FILE...\n");
    return 2;
  }
  QTemporaryDir config; // the settings file of the bench's main window
  qputenv("APPDATA", config.path().toUtf8());
  Tfrm_Main w;
  w.show();
  QApplication::processEvents();

  TStallMeter stalls;
  QElapsedTimer cancelClicked;
  if (cancelAfter >= 0)
    CancelAfter(cancelAfter, cancelClicked);
  QElapsedTimer clock;
  clock.start();
  w.DroppedFiles = paths;
  w.AddFiles();
  const double seconds = double(clock.nsecsElapsed()) / 1e9;
  std::printf("added %d files in %.2f s, %.3f ms per file, longest stall %lld ms\n", w.EntryCount(),
              seconds, seconds * 1000 / std::max(1, w.EntryCount()),
              static_cast<long long>(stalls.LongestMs()));
  if (cancelClicked.isValid())
    std::printf("cancel clicked at %d ms, the run ended %lld ms later\n", cancelAfter,
                static_cast<long long>(cancelClicked.elapsed()));
  return 0;
}

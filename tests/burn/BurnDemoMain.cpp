// Opens the burn dialog over the files on the command line (list names = file names), with
// the program's main-thread dispatcher; drives as the program finds them (QUILLET_BURN_DRIVES).
// "burn_demo --read" and "burn_demo --erase" show just that window and keep it open.
#include "burn/ui/Tfrm_Burn.h"
#include "burn/ui/Tfrm_Erase.h"
#include "burn/ui/Tfrm_Read.h"
#include "shell/MainThreadDispatcher.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>

namespace {

// A window of its own: the read window with an action it does not know (so it stays), the
// erase window whose done event nobody handles (so it keeps counting).
int ShowWindow(const QString &AMode) {
  TDiscBurner burner;
  burner.SetActive(true);
  burner.GetDevices();
  burner.SetBurnDevice(1);
  if (AMode == QStringLiteral("--read")) {
    Tfrm_Read window(nullptr, burner, 2);
    window.pnl_Read->setText(QStringLiteral("Getting disc information..."));
    return window.exec();
  }
  return Tfrm_Erase(nullptr, burner).exec();
}

} // namespace

int main(int argc, char **argv) {
  QApplication app(argc, argv);
  InstallMainThreadDispatcher(&app);
  const QStringList args = app.arguments().mid(1);
  if (!args.isEmpty() && args.first().startsWith(QStringLiteral("--")))
    return ShowWindow(args.first());
  QList<TFileEntry> files;
  for (const QString &path : args) {
    TFileEntry entry;
    entry.Caption = QFileInfo(path).fileName();
    entry.SubItems[siSource] = QFileInfo(path).absoluteFilePath();
    files << entry;
  }
  Tfrm_Burn::Execute(nullptr, files, nullptr, std::nullopt);
  return 0;
}

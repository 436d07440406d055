#include "shell/DefaultApp.h"

#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QUrl>

#include "components/filelist/LocalPath.h"

void OpenWithDefaultApp(QWidget *AOwner, const QString &APath) {
  // Not owned by the window: an application opened from here may outlive it.
  auto *opener = new QProcess;
  opener->setProcessChannelMode(QProcess::ForwardedChannels);
  const QPointer<QWidget> owner(AOwner);
  const QString shown = DisplayPath(APath);
  auto fail = [owner, shown] {
    QMessageBox::warning(owner, QStringLiteral("Warning"),
                         QStringLiteral("No application could open this file:\n%1").arg(shown));
  };
  QObject::connect(opener, &QProcess::errorOccurred, opener,
                   [opener, fail](QProcess::ProcessError AError) {
                     if (AError != QProcess::FailedToStart)
                       return;
                     opener->deleteLater();
                     fail();
                   });
  QObject::connect(opener, &QProcess::finished, opener,
                   [opener, fail](int ACode, QProcess::ExitStatus AStatus) {
                     opener->deleteLater();
                     if (AStatus != QProcess::NormalExit || ACode != 0)
                       fail();
                   });
  // The URL form carries any file name, also one that is not valid UTF-8.
  opener->start(QStringLiteral("xdg-open"),
                {QString::fromLatin1(LocalPathUrl(APath).toEncoded(QUrl::FullyEncoded))});
}

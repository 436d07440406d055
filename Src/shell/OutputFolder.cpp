#include "shell/OutputFolder.h"

#include "components/filelist/LocalPath.h"

#include <QFile>
#include <QTemporaryFile>

bool CanWriteToFolder(const QString &AFolder) {
  QTemporaryFile probe(QFile::decodeName(LocalPathBytes(WithDelimiter(AFolder))) +
                       QStringLiteral("$XXXXXX"));
  probe.setAutoRemove(false);
  if (!probe.open())
    return false;
  probe.close();
  return probe.remove();
}

QString WithDelimiter(const QString &AFolder) {
  if (AFolder.isEmpty() || AFolder.endsWith(QLatin1Char('/')))
    return AFolder;
  return AFolder + QLatin1Char('/');
}

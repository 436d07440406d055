#include "shell/CommandLine.h"

#include "components/filelist/LocalPath.h"
#include "shell/OutputFolder.h"

#include <QDir>
#include <QFile>

namespace {
TCommandLine::TMode ModeOf(const QString &AArgument) {
  const QString mode = AArgument.toLower();
  if (mode == QStringLiteral("-v"))
    return TCommandLine::cmConvert;
  if (mode == QStringLiteral("-a"))
    return TCommandLine::cmExtract;
  if (mode == QStringLiteral("-r"))
    return TCommandLine::cmResume;
  return TCommandLine::cmLoadOnly;
}

// Absolute, so that the paths still hold when handed to a window started elsewhere.
QString AbsolutePath(const QString &APath) {
  if (APath.startsWith(QLatin1Char('/')))
    return APath;
  return LocalPathText(QFile::encodeName(QDir::currentPath())) + QLatin1Char('/') + APath;
}
} // namespace

TCommandLine ParseCommandLine(const QStringList &AArguments) {
  TCommandLine result;
  if (AArguments.size() < 2)
    return result;
  result.Mode = ModeOf(AArguments[1]);
  if (result.Mode == TCommandLine::cmLoadOnly) {
    for (qsizetype i = 1; i < AArguments.size(); ++i)
      result.Files << AbsolutePath(AArguments[i]);
    return result;
  }
  if (result.Mode == TCommandLine::cmResume) {
    result.Active = true;
    result.SaveLogAndQuit = AArguments.last().toLower() == QStringLiteral("x");
    return result;
  }
  if (AArguments.size() < 3)
    return result;
  result.Active = true;
  result.OutputFolder = WithDelimiter(AArguments[2]);
  result.SaveLogAndQuit = AArguments.last().toLower() == QStringLiteral("x");
  if (AArguments.size() > 3 && AArguments[3].toLower().endsWith(QStringLiteral(".fls"))) {
    result.ListDocument = AArguments[3];
    return result;
  }
  for (qsizetype i = 3; i < AArguments.size() && i <= 999; ++i)
    result.Files << AArguments[i];
  return result;
}

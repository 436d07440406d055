#include "shell/CommandLine.h"

#include "shell/OutputFolder.h"

TCommandLine ParseCommandLine(const QStringList &AArguments) {
  TCommandLine result;
  if (AArguments.size() < 3)
    return result;
  result.Active = true;
  const QString mode = AArguments[1].toLower();
  if (mode == QStringLiteral("-v"))
    result.Mode = TCommandLine::cmConvert;
  else if (mode == QStringLiteral("-a"))
    result.Mode = TCommandLine::cmExtract;
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

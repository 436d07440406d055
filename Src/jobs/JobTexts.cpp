#include "jobs/JobTexts.h"

#include "components/filelist/FileListUtils.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cmath>

QString ClockText(int64_t seconds) {
  if (seconds < 0)
    seconds = 0;
  return QStringLiteral("%1:%2:%3")
      .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
      .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString JobSizeText(int64_t bytes, const QLocale &locale) {
  return HumanSizeText(bytes, locale);
}

QString OutputFileName(const QString &ACaption, const QString &AExtension) {
  const qsizetype dot = ACaption.lastIndexOf(QLatin1Char('.'));
  const QString base = dot > 0 ? ACaption.left(dot) : ACaption;
  return base + AExtension;
}

int ProgressPercent(int64_t current, int64_t total) {
  if (total <= 0 || current >= total || current < 0)
    return -1;
  return int(current * 100 / total);
}

QString RemainingText(int64_t current, int64_t total, int fileSeconds) {
  if (fileSeconds <= 5)
    return QStringLiteral("calculation...");
  if (current <= 0 || total <= 0)
    return QStringLiteral("N/A");
  const double left = double(total) / double(current) * fileSeconds - fileSeconds;
  return ClockText(int64_t(std::llround(std::max(0.0, left))));
}

QString StoppedJobText(int ACurrent, int ACount) {
  QString text = QStringLiteral("File #%1 of %2 was stopped").arg(ACurrent + 1).arg(ACount);
  if (ACurrent + 2 == ACount)
    text += QStringLiteral("; file #%1 was not converted").arg(ACount);
  else if (ACurrent + 2 < ACount)
    text += QStringLiteral("; files #%1 to #%2 were not converted").arg(ACurrent + 2).arg(ACount);
  return text + QLatin1Char('.');
}

namespace {

// "#2", "#2 and #3", "#2, #3 and #5" (numbers from 1).
QString FileNumbers(const QList<int> &AFiles) {
  QStringList numbers;
  for (const int file : AFiles)
    numbers << QStringLiteral("#%1").arg(file + 1);
  const QString last = numbers.takeLast();
  return numbers.isEmpty() ? last
                           : numbers.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
}

// "file #2 was", "files #2 and #3 of 6 were" (AOf: the batch's count, or 0).
QString FilesWere(const QList<int> &AFiles, int AOf) {
  QString text = (AFiles.size() == 1 ? QStringLiteral("file ") : QStringLiteral("files ")) +
                 FileNumbers(AFiles);
  if (AOf > 0)
    text += QStringLiteral(" of %1").arg(AOf);
  return text + (AFiles.size() == 1 ? QStringLiteral(" was") : QStringLiteral(" were"));
}

} // namespace

QString StoppedFilesText(const QList<int> &AStopped, const QList<int> &ANotConverted, int ACount) {
  QStringList parts;
  if (!AStopped.isEmpty())
    parts << FilesWere(AStopped, ACount) + QStringLiteral(" stopped");
  if (!ANotConverted.isEmpty())
    parts << FilesWere(ANotConverted, 0) + QStringLiteral(" not converted");
  QString text = parts.join(QStringLiteral("; "));
  if (!text.isEmpty())
    text[0] = text[0].toUpper();
  return text + QLatin1Char('.');
}

QString CommandLineLogFile() {
  const QString programDir = QCoreApplication::applicationDirPath();
  if (QFileInfo(programDir).isWritable())
    return programDir + QStringLiteral("/log.txt");
  // A relative XDG_STATE_HOME is invalid and ignored, as the base directory rules say.
  QString state = qEnvironmentVariable("XDG_STATE_HOME");
  if (!QDir::isAbsolutePath(state))
    state = QDir::homePath() + QStringLiteral("/.local/state");
  return state + QStringLiteral("/quillet/log.txt");
}

void WriteCommandLineLog(const QString &AText, bool AAppend) {
  const QString name = CommandLineLogFile();
  QDir().mkpath(QFileInfo(name).path());
  QFile file(name);
  if (file.open(QIODevice::WriteOnly | (AAppend ? QIODevice::Append : QIODevice::Truncate)))
    file.write(AText.toUtf8());
}

QString BatchSummaryText(int AConverted, int AFailed, int ASkipped, int AStopped) {
  return QStringLiteral("%1 converted, %2 failed, %3 skipped, %4 stopped")
      .arg(AConverted)
      .arg(AFailed)
      .arg(ASkipped)
      .arg(AStopped);
}

QString StoppedAtText(int64_t current, int64_t total) {
  QString text = QStringLiteral("Stopped at ") + ClockText(std::max<int64_t>(current, 0) / 1000000);
  if (total > 0)
    text += QStringLiteral(" of ") + ClockText(total / 1000000);
  return text + QStringLiteral("; the output holds what was converted");
}

QString BatchProgressText(int64_t done, int64_t total, int jobSeconds) {
  if (total <= 0)
    return QString();
  const int percent = ProgressPercent(done, total);
  if (percent < 0)
    return QStringLiteral("All files: 100%");
  const QString text = QStringLiteral("All files: %1%").arg(percent);
  if (jobSeconds <= 5 || done <= 0)
    return text;
  return text + QStringLiteral(", ") + RemainingText(done, total, jobSeconds) +
         QStringLiteral(" left");
}

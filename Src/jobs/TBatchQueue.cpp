#include "jobs/TBatchQueue.h"

#include "components/filelist/LocalPath.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <cerrno>
#include <csignal>

namespace {

QJsonObject FileObject(const TSavedFile &AFile) {
  return {{QStringLiteral("source"), AFile.Source},
          {QStringLiteral("output"), AFile.Output},
          {QStringLiteral("partial"), AFile.Partial},
          {QStringLiteral("resume"), AFile.Resume}};
}

TSavedFile FileOf(const QJsonObject &AObject) {
  return {AObject.value(QStringLiteral("source")).toString(),
          AObject.value(QStringLiteral("output")).toString(),
          AObject.value(QStringLiteral("partial")).toBool(),
          AObject.value(QStringLiteral("resume")).toBool()};
}

} // namespace

TSavedBatch QueueOf(const TJobRecord &AJob, const TBatch &ABatch, bool AAudio) {
  TSavedBatch saved{AAudio,
                    QCoreApplication::applicationPid(),
                    AJob.Options,
                    AJob.OutputPath,
                    AJob.VideoFormat,
                    AJob.AudioFormat,
                    {}};
  const QList<int> resume = ABatch.Resumable();
  for (int i = 0; i < ABatch.Count(); ++i) {
    const TBatchFile &file = ABatch.File(i);
    // A running file's output is unfinished as long as it runs.
    const bool partial = file.Partial || file.State == TFileState::Running;
    saved.Files.append({file.Source, file.Output, partial, resume.contains(i)});
  }
  return saved;
}

bool SaveBatchQueue(const QString &APath, const TSavedBatch &ABatch) {
  QJsonArray files;
  for (const TSavedFile &file : ABatch.Files)
    files.append(FileObject(file));
  const QJsonObject root{{QStringLiteral("audio"), ABatch.Audio},
                         {QStringLiteral("owner"), ABatch.Owner},
                         {QStringLiteral("options"), ABatch.Options},
                         {QStringLiteral("outputPath"), ABatch.OutputPath},
                         {QStringLiteral("videoFormat"), ABatch.VideoFormat},
                         {QStringLiteral("audioFormat"), ABatch.AudioFormat},
                         {QStringLiteral("files"), files}};
  QDir().mkpath(QFileInfo(APath).path());
  QSaveFile file(APath);
  if (!file.open(QIODevice::WriteOnly))
    return false;
  file.write(QJsonDocument(root).toJson());
  return file.commit();
}

std::optional<TSavedBatch> LoadBatchQueue(const QString &APath) {
  QFile file(APath);
  if (!file.open(QIODevice::ReadOnly))
    return std::nullopt;
  const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
  if (!document.isObject())
    return std::nullopt;
  const QJsonObject root = document.object();
  TSavedBatch saved{root.value(QStringLiteral("audio")).toBool(),
                    root.value(QStringLiteral("owner")).toInteger(),
                    root.value(QStringLiteral("options")).toString(),
                    root.value(QStringLiteral("outputPath")).toString(),
                    root.value(QStringLiteral("videoFormat")).toString(),
                    root.value(QStringLiteral("audioFormat")).toInt(),
                    {}};
  for (const QJsonValue &value : root.value(QStringLiteral("files")).toArray())
    saved.Files.append(FileOf(value.toObject()));
  return saved;
}

bool OwnerRunning(const TSavedBatch &ABatch) {
  return ABatch.Owner > 0 && ABatch.Owner != QCoreApplication::applicationPid() &&
         (::kill(pid_t(ABatch.Owner), 0) == 0 || errno == EPERM);
}

TJobRecord ResumeJob(const TSavedBatch &ABatch) {
  TJobRecord job;
  job.Options = ABatch.Options;
  job.OutputPath = ABatch.OutputPath;
  job.VideoFormat = ABatch.VideoFormat;
  job.AudioFormat = ABatch.AudioFormat;
  for (const TSavedFile &file : ABatch.Files) {
    if (!file.Resume)
      continue;
    TFileEntry entry;
    entry.Caption = LocalFileName(file.Source);
    entry.SubItems[siSource] = file.Source;
    job.Entries << entry;
    job.PartialOutputs << (file.Partial ? file.Output : QString());
  }
  return job;
}

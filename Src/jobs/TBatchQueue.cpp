#include "jobs/TBatchQueue.h"

#include "components/filelist/LocalPath.h"
#include "shell/settings/UserPresets.h"

#include <QCoreApplication>
#include <QDateTime>
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

// Field 22 of /proc/PID/stat: when the process started, in clock ticks after boot; 0 when
// unknown. The fields are counted after the command name, which may hold spaces.
qint64 ProcessStart(qint64 APid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(APid));
  if (!stat.open(QIODevice::ReadOnly))
    return 0;
  const QByteArray text = stat.read(4096);
  const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
  return fields.size() > 19 ? fields[19].toLongLong() : 0;
}

// The effect switches by name, as the queue file stores them.
using TEffectSwitch = std::pair<const char *, bool TEffects::*>;
constexpr TEffectSwitch EffectSwitches[] = {{"vflip", &TEffects::ef_VFlip},
                                            {"hflip", &TEffects::ef_HFlip},
                                            {"negate", &TEffects::ef_Negate},
                                            {"deinterlace", &TEffects::ef_Dein},
                                            {"rotate", &TEffects::ef_Rotate}};

// The settings as the presets file writes them (one section), the effects and the container
// the encoder lists belonged to beside them.
QJsonObject SourceSettingsObject(const TSourceSettings &ASettings) {
  QJsonObject object{{QStringLiteral("settings"),
                      QString::fromStdString(PresetsText({{"Settings", ASettings.Settings}}))},
                     {QStringLiteral("encoderListFormat"), ASettings.Settings.EncoderListFormat},
                     {QStringLiteral("degrees"), ASettings.Effects.ef_Degrees}};
  for (const auto &[name, field] : EffectSwitches)
    object.insert(QLatin1String(name), ASettings.Effects.*field);
  return object;
}

std::optional<TSourceSettings> SourceSettingsOf(const QJsonValue &AValue) {
  const QJsonObject object = AValue.toObject();
  const TUserPresets presets =
      ParsePresets(object.value(QStringLiteral("settings")).toString().toStdString());
  if (presets.empty())
    return std::nullopt;
  TSourceSettings settings{presets.front().Settings, {}};
  settings.Settings.EncoderListFormat = object.value(QStringLiteral("encoderListFormat")).toInt(-1);
  settings.Effects.ef_Degrees = object.value(QStringLiteral("degrees")).toInt();
  for (const auto &[name, field] : EffectSwitches)
    settings.Effects.*field = object.value(QLatin1String(name)).toBool();
  return settings;
}

} // namespace

QString NewQueueFile(const QString &AFolder) {
  return AFolder + QStringLiteral("/batch-%1-%2.json")
                       .arg(QCoreApplication::applicationPid())
                       .arg(QDateTime::currentMSecsSinceEpoch());
}

QStringList QueueFiles(const QString &AFolder) {
  QStringList files;
  const QDir folder(AFolder);
  // System: a FIFO or device under such a name is named as unreadable rather than passed over.
  for (const QString &name : folder.entryList(
           {QStringLiteral("batch-*.json")}, QDir::Files | QDir::System | QDir::Hidden, QDir::Name))
    files << folder.filePath(name);
  return files;
}

TSavedBatch Claimed(TSavedBatch ABatch) {
  ABatch.Owner = QCoreApplication::applicationPid();
  ABatch.OwnerStart = ProcessStart(ABatch.Owner);
  return ABatch;
}

TSavedBatch QueueOf(const TJobRecord &AJob, const TBatch &ABatch, bool AAudio) {
  TSavedBatch saved = Claimed({AAudio,
                               0,
                               AJob.Options,
                               AJob.OutputPath,
                               AJob.VideoFormat,
                               AJob.AudioFormat,
                               {},
                               0,
                               AJob.TargetSize,
                               AJob.AudioKbps});
  saved.PerSource = AJob.PerSource;
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
  QJsonObject root{{QStringLiteral("audio"), ABatch.Audio},
                   {QStringLiteral("owner"), ABatch.Owner},
                   {QStringLiteral("ownerStart"), ABatch.OwnerStart},
                   {QStringLiteral("options"), ABatch.Options},
                   {QStringLiteral("outputPath"), ABatch.OutputPath},
                   {QStringLiteral("videoFormat"), ABatch.VideoFormat},
                   {QStringLiteral("audioFormat"), ABatch.AudioFormat},
                   {QStringLiteral("files"), files},
                   {QStringLiteral("targetSize"), ABatch.TargetSize},
                   {QStringLiteral("audioKbps"), ABatch.AudioKbps}};
  if (ABatch.PerSource)
    root.insert(QStringLiteral("perSource"), SourceSettingsObject(*ABatch.PerSource));
  QDir().mkpath(QFileInfo(APath).path());
  QSaveFile file(APath);
  if (!file.open(QIODevice::WriteOnly))
    return false;
  file.write(QJsonDocument(root).toJson());
  return file.commit();
}

std::optional<TSavedBatch> ParseBatchQueue(const QByteArray &AText) {
  const QJsonDocument document = QJsonDocument::fromJson(AText);
  if (!document.isObject())
    return std::nullopt;
  const QJsonObject root = document.object();
  TSavedBatch saved{root.value(QStringLiteral("audio")).toBool(),
                    root.value(QStringLiteral("owner")).toInteger(),
                    root.value(QStringLiteral("options")).toString(),
                    root.value(QStringLiteral("outputPath")).toString(),
                    root.value(QStringLiteral("videoFormat")).toString(),
                    root.value(QStringLiteral("audioFormat")).toInt(),
                    {},
                    root.value(QStringLiteral("ownerStart")).toInteger(),
                    root.value(QStringLiteral("targetSize")).toInt(),
                    root.value(QStringLiteral("audioKbps")).toInt()};
  for (const QJsonValue &value : root.value(QStringLiteral("files")).toArray())
    saved.Files.append(FileOf(value.toObject()));
  saved.PerSource = SourceSettingsOf(root.value(QStringLiteral("perSource")));
  return saved;
}

bool OwnerRunning(const TSavedBatch &ABatch) {
  if (ABatch.Owner <= 0 || ABatch.Owner == QCoreApplication::applicationPid() ||
      (::kill(pid_t(ABatch.Owner), 0) != 0 && errno != EPERM))
    return false;
  // Unknown on either side: the process of that id is taken for the owner.
  const qint64 start = ProcessStart(ABatch.Owner);
  return ABatch.OwnerStart == 0 || start == 0 || start == ABatch.OwnerStart;
}

TJobRecord ResumeJob(const TSavedBatch &ABatch) {
  TJobRecord job;
  job.Options = ABatch.Options;
  job.OutputPath = ABatch.OutputPath;
  job.VideoFormat = ABatch.VideoFormat;
  job.AudioFormat = ABatch.AudioFormat;
  job.TargetSize = ABatch.TargetSize;
  job.AudioKbps = ABatch.AudioKbps;
  job.PerSource = ABatch.PerSource;
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

#include "shell/SavedQueues.h"

#include "components/filelist/LocalPath.h"
#include "shell/settings/RegularFile.h"

#include <QByteArray>

namespace {

// A file that is there but cannot be read as a queue: why, in words for the user.
QString WhyUnreadable(const TFileText &AFile) {
  if (AFile.State == TFileText::fsFailed)
    return QString::fromStdString(AFile.Error);
  return QStringLiteral("not a batch queue (cut short, or not JSON)");
}

} // namespace

TSavedQueues FindSavedQueues(const QString &AFolder) {
  TSavedQueues found;
  for (const QString &path : QueueFiles(AFolder)) {
    const TFileText file = ReadRegularFile(LocalPathString(path), MaxQueueFileSize);
    if (file.State == TFileText::fsMissing) // gone since it was listed: its job ended
      continue;
    const std::optional<TSavedBatch> batch =
        file.State == TFileText::fsRead ? ParseBatchQueue(QByteArray::fromStdString(file.Text))
                                        : std::nullopt;
    if (!batch)
      found.Unreadable << QStringLiteral("%1: %2").arg(DisplayPath(path), WhyUnreadable(file));
    else if (OwnerRunning(*batch))
      ++found.Running;
    else if (ResumeJob(*batch).Entries.isEmpty())
      found.Done << path;
    else
      found.Left.append({path, *batch});
  }
  return found;
}

int FilesLeft(const QList<TSavedQueue> &AQueues) {
  int files = 0;
  for (const TSavedQueue &queue : AQueues)
    files += ResumeJob(queue.Batch).Entries.size();
  return files;
}

QString ResumeQuestionText(const QList<TSavedQueue> &AQueues) {
  if (AQueues.size() == 1)
    return QStringLiteral("The last batch was cut off before its end: %1 of its files were not "
                          "converted.\r\rConvert them now?")
        .arg(FilesLeft(AQueues));
  return QStringLiteral("%1 batches were cut off before their end: %2 of their files were not "
                        "converted.\r\rConvert them now, one batch after the other?")
      .arg(AQueues.size())
      .arg(FilesLeft(AQueues));
}

QString UnreadableQueuesText(const QStringList &AUnreadable) {
  return QStringLiteral("These saved batch queues cannot be read and are left as they are:\n%1")
      .arg(AUnreadable.join(QLatin1Char('\n')));
}

// Helpers of the job window tests: entries for files, ffprobe facts of outputs, waiting for a
// job window to end and answering the message boxes it raises.
#pragma once

#include "components/filelist/FileListUtils.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

inline QString Fixture(const char *AName) {
  return QDir(QStringLiteral(QUILLET_FIXTURES)).filePath(QString::fromLatin1(AName));
}

inline TFileEntry EntryFor(const QString &APath) {
  TFileEntry entry;
  entry.Caption = QFileInfo(APath).fileName();
  entry.SubItems[siSource] = APath;
  return entry;
}

inline QByteArray Digest(const QString &APath) {
  QFile file(APath);
  file.open(QIODevice::ReadOnly);
  return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1);
}

// "codec,codec" of a media file by ffprobe (empty when it cannot be read); AEntries asks for
// other facts, one line of them after the other.
inline QString ProbeFacts(const QString &APath,
                          const QString &AEntries = QStringLiteral("stream=codec_name")) {
  QProcess probe;
  probe.start(QStringLiteral("ffprobe"),
              {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
               AEntries, QStringLiteral("-of"), QStringLiteral("csv=p=0"), APath});
  probe.waitForFinished(30000);
  if (probe.exitCode() != 0)
    return {};
  return QString::fromUtf8(probe.readAllStandardOutput())
      .trimmed()
      .replace(QLatin1Char('\n'), QLatin1Char(','));
}

// Makes APath with the ffmpeg tool from lavfi sources (the video as MPEG-4, with AVideoArgs);
// its exit code.
inline int MakeClip(const QString &APath, const QStringList &ASources,
                    const QStringList &AVideoArgs = {}) {
  QStringList args{QStringLiteral("-nostdin"), QStringLiteral("-loglevel"),
                   QStringLiteral("error")};
  for (const QString &source : ASources)
    args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i") << source;
  args << QStringLiteral("-c:v") << QStringLiteral("mpeg4") << AVideoArgs << APath;
  return QProcess::execute(QStringLiteral("ffmpeg"), args);
}

inline double ProbeDuration(const QString &APath) {
  QProcess probe;
  probe.start(QStringLiteral("ffprobe"),
              {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
               QStringLiteral("format=duration"), QStringLiteral("-of"), QStringLiteral("csv=p=0"),
               APath});
  probe.waitForFinished(30000);
  return QString::fromUtf8(probe.readAllStandardOutput()).trimmed().toDouble();
}

// Answers every warning box that shows up with AButton, for as long as the guard lives.
class TBoxAnswerer : public QObject {
public:
  explicit TBoxAnswerer(QMessageBox::StandardButton AButton) : FButton(AButton) {
    FTimer.callOnTimeout([this] { Poll(); });
    FTimer.start(20);
  }
  int Answered = 0;
  QStringList Texts;

private:
  void Poll() {
    for (QWidget *w : QApplication::topLevelWidgets())
      if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
        if (QAbstractButton *button = box->button(FButton)) {
          Texts << box->text();
          ++Answered;
          button->click();
        } else if (!box->buttons().isEmpty()) {
          Texts << box->text();
          ++Answered;
          box->buttons().first()->click();
        }
      }
  }
  QMessageBox::StandardButton FButton;
  QTimer FTimer;
};

inline bool WaitFor(const std::function<bool()> &ADone, int ASeconds = 120) {
  return QTest::qWaitFor(ADone, ASeconds * 1000);
}

#include "jobs/Tfrm_Audio.h"

#include "components/encoder/EncoderTypes.h"
#include "jobs/JobTexts.h"
#include "media/TFFDecoder.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

Tfrm_Audio::Tfrm_Audio(QWidget *AOwner, TJobRecord AJob) : Tfrm_Video(AOwner, std::move(AJob)) {
  resize(478, 396);
  lbl_File->setText(QStringLiteral("Saving audio..."));
  chk_Preview->setChecked(false);
  chk_Preview->hide();
}

TJobOutcome Tfrm_Audio::Execute(QWidget *AOwner, const TJobRecord &AJob) {
  Tfrm_Audio window(AOwner, AJob);
  window.exec();
  return {window.Completed(), AJob.Preview, window.FailedFiles()};
}

QString Tfrm_Audio::AudioExtension(int AFormatIndex) {
  static const char *const extensions[] = {".mp3", ".wav", ".ogg", ".flac",
                                           ".wma", ".m4a", ".opus"};
  if (AFormatIndex < 0 || AFormatIndex >= int(std::size(extensions)))
    return {};
  return QString::fromLatin1(extensions[AFormatIndex]);
}

QString Tfrm_Audio::OutputExtension() const {
  return AudioExtension(FJob.AudioFormat);
}

void Tfrm_Audio::SourceLoaded(TFFDecoder &ADecoder, int AFile) {
  FSourceDurations[AFile] = ADecoder.FileStreamInfo().Duration;
}

int64_t Tfrm_Audio::ProgressTotalOf(const TProgressInfo &, int AFile) const {
  return FSourceDurations.value(AFile, -1);
}

void Tfrm_Audio::FinishCancelled() {
  AddLog(QString(), clGreen);
  btn_Stop->setEnabled(false);
  btn_Pause->setEnabled(false);
  StopRunning(QStringLiteral("Stopped"));
}

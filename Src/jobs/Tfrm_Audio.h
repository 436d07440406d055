// The modal window of an audio extraction job: the conversion job window with the audio
// format's extension, progress measured against the source's own duration, and Stop and Pause
// left visible (disabled) after a stop.
#pragma once

#include "jobs/Tfrm_Video.h"

#include <QHash>

class Tfrm_Audio : public Tfrm_Video {
  Q_OBJECT
public:
  Tfrm_Audio(QWidget *AOwner, TJobRecord AJob);
  // Runs the job modally (no preview: the record's choice comes back unchanged).
  static TJobOutcome Execute(QWidget *AOwner, const TJobRecord &AJob);

  // ".mp3", ".wav", ".ogg", ".flac", ".wma", ".m4a", ".opus" by the format index (the audio
  // format list's order); empty otherwise.
  static QString AudioExtension(int AFormatIndex);

protected:
  QString OutputExtension() const override;
  void SourceLoaded(TFFDecoder &ADecoder, int AFile) override;
  int64_t ProgressTotalOf(const TProgressInfo &AInfo, int AFile) const override;
  void FinishCancelled() override;
  bool IsAudioJob() const override { return true; }

private:
  QHash<int, int64_t> FSourceDurations; // by file, as the decoder told (-1: unknown)
};

#include "shell/settings/TConversionSettings.h"

#include "shell/settings/SettingsLists.h"

namespace {

int EncoderFormat(const TConversionSettings &S) {
  return S.EncoderListFormat < 0 ? S.VideoFormat : S.EncoderListFormat;
}

int LastFrameSizeIndex() {
  return static_cast<int>(VideoFrameSizeItems().size()) - 1;
}

} // namespace

void SelectVideoFormat(TConversionSettings &S, int VideoFormat) {
  S.VideoFormat = VideoFormat;
  S.EncoderListFormat = -1;
  S.VideoEncoder = VideoEncoderItems(VideoFormat).empty() ? -1 : 0;
  S.AudioEncoder = AudioEncoderItems(VideoFormat).empty() ? -1 : 0;
}

std::string VideoFormatText(const TConversionSettings &S) {
  return ItemText(VideoFormatItems(), S.VideoFormat);
}

std::string VideoEncoderText(const TConversionSettings &S) {
  return ItemText(VideoEncoderItems(EncoderFormat(S)), S.VideoEncoder);
}

std::string AudioEncoderText(const TConversionSettings &S) {
  return ItemText(AudioEncoderItems(EncoderFormat(S)), S.AudioEncoder);
}

std::string VideoFrameSizeText(const TConversionSettings &S) {
  if (S.VideoFrameSize == LastFrameSizeIndex())
    return S.Custom;
  return ItemText(VideoFrameSizeItems(), S.VideoFrameSize);
}

void ApplyCustomFrameSize(TConversionSettings &S, const std::string &Text) {
  const int Last = LastFrameSizeIndex();
  for (int I = 1; I < Last; ++I) {
    if (VideoFrameSizeItems()[I] == Text) {
      S.VideoFrameSize = I;
      return;
    }
  }
  S.Custom = Text; // equal to the slot already, or replacing it
  S.VideoFrameSize = Last;
}

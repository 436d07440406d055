#include "shell/settings/RateControl.h"

#include <algorithm>
#include <array>

namespace {

constexpr TQualityScale Scales[] = {
    {"libx264", "-crf", 0, 51, 23, true, ""},
    {"libx265", "-crf", 0, 51, 28, true, ""},
    // libvpx caps the rate at its default bit rate unless the bit rate is 0.
    {"libvpx-vp9", "-crf", 0, 63, 31, true, " -b:v 0"},
    {"libsvtav1", "-crf", 1, 63, 35, true, ""},
    {"libmp3lame", "-q:a", 0, 9, 4, true, ""},
    {"libvorbis", "-q:a", 0, 10, 5, false, ""},
};

// Options per speed, "Fastest" to "Slowest" (the first item, "Default", writes none).
struct TSpeedPresets {
  const char *Encoder;
  std::array<const char *, 5> Options;
};

constexpr TSpeedPresets Presets[] = {
    {"libx264",
     {" -preset ultrafast", " -preset veryfast", " -preset medium", " -preset slow",
      " -preset veryslow"}},
    {"libx265",
     {" -preset ultrafast", " -preset veryfast", " -preset medium", " -preset slow",
      " -preset veryslow"}},
    {"libsvtav1", {" -preset 12", " -preset 10", " -preset 8", " -preset 5", " -preset 2"}},
    {"libvpx-vp9",
     {" -deadline realtime -cpu-used 8", " -deadline good -cpu-used 4",
      " -deadline good -cpu-used 2", " -deadline good -cpu-used 1", " -deadline best -cpu-used 0"}},
};

const TSpeedPresets *PresetsOf(const std::string &Encoder) {
  for (const TSpeedPresets &P : Presets)
    if (Encoder == P.Encoder)
      return &P;
  return nullptr;
}

} // namespace

const TQualityScale *QualityScaleOf(const std::string &Encoder) {
  for (const TQualityScale &S : Scales)
    if (Encoder == S.Encoder)
      return &S;
  return nullptr;
}

int QualityValue(const TQualityScale &Scale, int Quality) {
  return Quality < 0 ? Scale.Default : std::clamp(Quality, Scale.Min, Scale.Max);
}

std::string QualityOptions(const TQualityScale &Scale, int Quality) {
  return " " + std::string(Scale.Option) + " " + std::to_string(QualityValue(Scale, Quality)) +
         Scale.Extra;
}

const TItemList &SpeedItems() {
  static const TItemList Items{"Default", "Fastest", "Fast", "Medium", "Slow", "Slowest"};
  return Items;
}

bool HasSpeedPresets(const std::string &Encoder) {
  return PresetsOf(Encoder) != nullptr;
}

std::string SpeedOptions(const std::string &Encoder, int Speed) {
  const TSpeedPresets *P = PresetsOf(Encoder);
  if (!P || Speed < 1 || Speed > static_cast<int>(P->Options.size()))
    return {};
  return P->Options[Speed - 1];
}

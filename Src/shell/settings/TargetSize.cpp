#include "shell/settings/TargetSize.h"

#include "shell/settings/OptionBuilders.h"

int TargetVideoKbps(int ATargetMB, int64_t ADuration, int AAudioKbps) {
  if (ATargetMB <= 0 || ADuration <= 0)
    return 0;
  constexpr int64_t BitsPerMB = 8'000'000;
  constexpr int64_t UsedPercent = 96; // the rest for the container and the encoder's overshoot
  const int64_t Bits = ATargetMB * BitsPerMB / 100 * UsedPercent;
  const int64_t Kbps = Bits * 1000 / ADuration - AAudioKbps; // bits per millisecond = kbit/s
  return Kbps > 0 ? int(Kbps) : 0;
}

std::string PassOptions(int APass, int AVideoKbps, const std::string &ALogPrefix) {
  // Quoted: the temporary folder may hold blanks or quotes.
  std::string Options = " -b:v " + std::to_string(AVideoKbps) + "k -pass " + std::to_string(APass) +
                        " -passlogfile " + QuotedArgument(ALogPrefix);
  if (APass == 1)
    Options += " -an -sn -f null";
  return Options;
}

std::string TargetSizeNote(int ATargetMB, int AVideoKbps, int AAudioKbps) {
  return "Target size " + std::to_string(ATargetMB) + " MB: video bit rate " +
         std::to_string(AVideoKbps) + " kbit/s (audio " + std::to_string(AAudioKbps) +
         " kbit/s), two passes";
}

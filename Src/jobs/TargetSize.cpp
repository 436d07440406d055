#include "jobs/TargetSize.h"

int TargetVideoKbps(int ATargetMB, int64_t ADuration, int AAudioKbps) {
  if (ATargetMB <= 0 || ADuration <= 0)
    return 0;
  constexpr int64_t BitsPerMB = 8'000'000;
  constexpr int64_t UsedPercent = 96; // the rest for the container and the encoder's overshoot
  const int64_t Bits = ATargetMB * BitsPerMB / 100 * UsedPercent;
  const int64_t Kbps = Bits * 1000 / ADuration - AAudioKbps; // bits per millisecond = kbit/s
  return Kbps > 0 ? int(Kbps) : 0;
}

QString PassOptions(int APass, int AVideoKbps, const QString &ALogPrefix) {
  // Quoted: the engine's option grammar splits at blanks, and a temporary folder may hold one.
  QString Options = QStringLiteral(" -b:v %1k -pass %2 -passlogfile \"%3\"")
                        .arg(AVideoKbps)
                        .arg(APass)
                        .arg(ALogPrefix);
  if (APass == 1)
    Options += QStringLiteral(" -an -sn -f null");
  return Options;
}

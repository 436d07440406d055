#include "cli/BatchReport.h"

#include "transcode/common/TextFormat.h"

namespace {

// Length of the UTF-8 sequence at AText[AAt]; 0 when it is not one.
size_t Utf8Length(const std::string &AText, size_t AAt) {
  const auto lead = static_cast<unsigned char>(AText[AAt]);
  const size_t length = lead < 0x80       ? 1
                        : lead >> 5 == 6  ? 2
                        : lead >> 4 == 14 ? 3
                        : lead >> 3 == 30 ? 4
                                          : 0;
  if (length == 0 || AAt + length > AText.size())
    return 0;
  for (size_t i = 1; i < length; i++)
    if ((static_cast<unsigned char>(AText[AAt + i]) & 0xC0) != 0x80)
      return 0;
  return length;
}

std::string JsonNumber(double AValue) {
  return Format("%.1f", AValue);
}

} // namespace

const char *StateName(TBatchState AState) {
  switch (AState) {
  case TBatchState::Running:
    return "running";
  case TBatchState::Finished:
    return "finished";
  case TBatchState::Failed:
    return "failed";
  case TBatchState::Stopped:
    return "stopped";
  case TBatchState::Skipped:
    break;
  }
  return "skipped";
}

std::string JsonString(const std::string &AText) {
  std::string json = "\"";
  for (size_t at = 0; at < AText.size();) {
    const unsigned char c = AText[at];
    const size_t length = Utf8Length(AText, at);
    if (length == 0) {
      json += "\\ufffd";
      at++;
    } else if (c == '"' || c == '\\') {
      json += {'\\', char(c)};
      at++;
    } else if (c < 0x20) {
      json += Format("\\u%04x", c);
      at++;
    } else {
      json.append(AText, at, length);
      at += length;
    }
  }
  return json + "\"";
}

std::string JsonLine(const TBatchFile &AFile) {
  return "{\"file\":" + JsonString(AFile.Input) + ",\"output\":" + JsonString(AFile.Output) +
         ",\"state\":\"" + StateName(AFile.State) +
         "\",\"percent\":" + (AFile.Percent < 0 ? "null" : JsonNumber(AFile.Percent)) +
         ",\"speed\":" + Format("%.2f", AFile.Speed) + ",\"error\":" + JsonString(AFile.Error) +
         "}";
}

std::string TextLine(const TBatchFile &AFile, int ANumber, int ACount) {
  std::string line =
      Format("[%d/%d] %s: %s", ANumber, ACount, StateName(AFile.State), AFile.Input.c_str());
  if (!AFile.Output.empty())
    line += " -> " + AFile.Output;
  if (!AFile.Error.empty())
    line += ": " + AFile.Error;
  return line;
}

#include "cli/CliPreset.h"

#include "media/TFFDecoder.h"
#include "shell/settings/OptionBuilders.h"
#include "shell/settings/Profiles.h"
#include "shell/settings/UserPresets.h"

#include <filesystem>
#include <strings.h>

namespace {

// The built-in profile named AName applied to the default settings, if there is one.
std::optional<TConversionSettings> BuiltInProfile(const std::string &AName) {
  for (int type = 0; type < static_cast<int>(ProfileTypeItems().size()); ++type) {
    const TItemList names = ProfileFormatItems(type);
    for (int format = 0; format < static_cast<int>(names.size()); ++format)
      if (strcasecmp(names[format].c_str(), AName.c_str()) == 0) {
        TConversionSettings S;
        ApplyProfile(S, type, format, false);
        return S;
      }
  }
  return std::nullopt;
}

// The facts of AInput that the options of a source depend on; nothing when it cannot be read.
// Only a regular file is read ahead: a pipe or a stream would lose what the reading took.
std::optional<TSourceFacts> InputFacts(const std::string &AInput, const std::string &ALibraryPath) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(AInput, error))
    return std::nullopt;
  TFFDecoder decoder;
  if ((!decoder.AVLibLoaded() && !decoder.LoadAVLib(ALibraryPath)) || !decoder.LoadFile(AInput))
    return std::nullopt;
  const int subFormat =
      decoder.SubtitleStreamCount() > 0 ? decoder.FirstSubtitleStreamInfo().SubFormat : -1;
  return SourceFacts(AInput, subFormat, decoder.AudioLanguages());
}

} // namespace

std::optional<TConversionSettings> PresetSettings(const std::string &AName,
                                                  const std::string &APresetsPath) {
  std::optional<TConversionSettings> S = BuiltInProfile(AName);
  if (!S)
    if (const TUserPreset *preset = FindPreset(LoadPresets(APresetsPath), AName))
      S = preset->Settings;
  return S;
}

std::string PresetOptions(const TConversionSettings &S, const std::string &AInput,
                          const std::string &ALibraryPath, std::FILE *AErr) {
  const std::optional<TSourceFacts> facts =
      DependsOnSource(S) ? InputFacts(AInput, ALibraryPath) : std::nullopt;
  if (!facts)
    return BuildVideoOptions(S, TEffects());
  for (const std::string &note : SourceNotes(S, *facts))
    std::fprintf(AErr, "%s\n", note.c_str());
  return BuildVideoOptions(S, TEffects(), &*facts);
}

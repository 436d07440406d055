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

// The facts of the input that the options of a source depend on; nothing when it cannot be
// read. Only a regular file is read ahead: a pipe or a stream would lose what the reading took.
std::optional<TSourceFacts> InputFacts(const TCliInput &AInput) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(AInput.Path, error))
    return std::nullopt;
  TFFDecoder decoder;
  if ((!decoder.AVLibLoaded() && !decoder.LoadAVLib(AInput.LibraryPath)) ||
      !decoder.LoadFile(AInput.Path))
    return std::nullopt;
  const int subFormat =
      decoder.SubtitleStreamCount() > 0 ? decoder.FirstSubtitleStreamInfo().SubFormat : -1;
  return SourceFacts(AInput.Path, subFormat, decoder.AudioLanguages());
}

// The options of S for the input, built for what it holds where they differ by source.
std::string InputOptions(const TConversionSettings &S, const TCliInput &AInput) {
  const std::optional<TSourceFacts> facts = DependsOnSource(S) ? InputFacts(AInput) : std::nullopt;
  if (!facts)
    return BuildVideoOptions(S, TEffects());
  for (const std::string &note : SourceNotes(S, *facts))
    std::fprintf(AInput.Err, "%s\n", note.c_str());
  return BuildVideoOptions(S, TEffects(), &*facts);
}

TCliPreset SettingsPreset(const TConversionSettings &S, const TCliInput &AInput) {
  const int target = ConversionTargetSize(S);
  return {InputOptions(S, AInput), target, target > 0 ? ConversionAudioKbps(S) : 0};
}

} // namespace

std::optional<TCliPreset> FindCliPreset(const std::string &AName, const std::string &APresetsPath,
                                        const TCliInput &AInput) {
  if (const std::optional<TConversionSettings> S = BuiltInProfile(AName))
    return SettingsPreset(*S, AInput);
  const TUserPresets presets = LoadPresets(APresetsPath);
  const TUserPreset *preset = FindPreset(presets, AName);
  if (!preset)
    return std::nullopt;
  if (!preset->Command.empty())
    return TCliPreset{preset->Command};
  return SettingsPreset(preset->Settings, AInput);
}

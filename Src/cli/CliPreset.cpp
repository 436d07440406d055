#include "cli/CliPreset.h"

#include "shell/settings/OptionBuilders.h"
#include "shell/settings/Profiles.h"
#include "shell/settings/UserPresets.h"

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

TCliPreset SettingsPreset(const TConversionSettings &S) {
  const int target = ConversionTargetSize(S);
  return {BuildVideoOptions(S, TEffects()), target, target > 0 ? ConversionAudioKbps(S) : 0};
}

} // namespace

std::optional<TCliPreset> FindCliPreset(const std::string &AName, const std::string &APresetsPath) {
  if (const std::optional<TConversionSettings> S = BuiltInProfile(AName))
    return SettingsPreset(*S);
  const TUserPresets presets = LoadPresets(APresetsPath);
  const TUserPreset *preset = FindPreset(presets, AName);
  if (!preset)
    return std::nullopt;
  if (!preset->Command.empty())
    return TCliPreset{preset->Command};
  return SettingsPreset(preset->Settings);
}

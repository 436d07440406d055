// --preset NAME: the output options of a built-in profile (its whole row, sizes and rates
// included) or of one of the user's own presets, as the main window would build them.
#pragma once

#include <optional>
#include <string>

// The option string of the profile or preset named AName (letter case aside; the built-in
// profiles first), read from APresetsPath for the user's presets; nothing for an unknown name.
std::optional<std::string> PresetOptions(const std::string &AName, const std::string &APresetsPath);

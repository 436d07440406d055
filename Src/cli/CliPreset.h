// --preset NAME: the output options of a built-in profile (its whole row, sizes and rates
// included) or of one of the user's own presets, as the main window would build them.
#pragma once

#include "shell/settings/TConversionSettings.h"

#include <cstdio>
#include <optional>
#include <string>

// The settings of the profile or preset named AName (letter case aside; the built-in profiles
// first), read from APresetsPath for the user's presets; nothing for an unknown name.
std::optional<TConversionSettings> PresetSettings(const std::string &AName,
                                                  const std::string &APresetsPath);

// The option string of S for the input AInput. Where the options differ by source (subtitles
// burned in, audio tracks by language) the input is read first, with the libraries of
// ALibraryPath, and what the options cannot do as asked goes to AErr; an input that is no
// regular file or cannot be read gets the options every source shares.
std::string PresetOptions(const TConversionSettings &S, const std::string &AInput,
                          const std::string &ALibraryPath, std::FILE *AErr);

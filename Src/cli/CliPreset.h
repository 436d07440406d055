// --preset NAME: the output options of a built-in profile (its whole row, sizes and rates
// included) or of one of the user's own presets (its settings, or its command text), as the
// main window would build them.
#pragma once

#include <optional>
#include <string>

struct TCliPreset {
  std::string Options; // lead every output's own options
  int TargetSize = 0;  // MB, reached in two passes; 0: one pass at the options' rate
  int AudioKbps = 0;   // the audio bit rate the target size reckons with
};

// The profile or preset named AName (letter case aside; the built-in profiles first), read
// from APresetsPath for the user's presets; nothing for an unknown name.
std::optional<TCliPreset> FindCliPreset(const std::string &AName, const std::string &APresetsPath);

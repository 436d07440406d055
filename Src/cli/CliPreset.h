// --preset NAME: the output options of a built-in profile (its whole row, sizes and rates
// included) or of one of the user's own presets (its settings, or its command text), as the
// main window would build them.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

struct TCliPreset {
  std::string Options; // lead every output's own options
  int TargetSize = 0;  // MB, reached in two passes; 0: one pass at the options' rate
  int AudioKbps = 0;   // the audio bit rate the target size reckons with
};

// Where the preset's options are built for its input: the input, the libraries to read it
// with, and where to say what the options cannot do as asked.
struct TCliInput {
  std::string Path;
  std::string LibraryPath;
  std::FILE *Err = stderr;
};

// The profile or preset named AName (letter case aside; the built-in profiles first), read
// from APresetsPath for the user's presets; nothing for an unknown name. Settings whose options
// differ by source (subtitles burned in, audio tracks by language) read AInput first; an input
// that is no regular file or cannot be read gets the options every source shares.
std::optional<TCliPreset> FindCliPreset(const std::string &AName, const std::string &APresetsPath,
                                        const TCliInput &AInput);

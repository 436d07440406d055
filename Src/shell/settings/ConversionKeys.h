// The conversion settings as INI keys, shared by the settings file and the presets file.
#pragma once

#include "shell/settings/TConversionSettings.h"
#include "shell/settings/TIniFile.h"

#include <string>

// Reads the list positions and the added keys of Section into C (the custom frame size is the
// caller's). A position outside its list, or an encoder position outside the encoder list of
// the container read before it, falls back to D (the encoders to the first item); an added key
// outside its range to D.
void ReadConversionKeys(const TIniFile &Ini, const std::string &Section, TConversionSettings &C,
                        const TConversionSettings &D);

// Writes the list positions, in the order of the first settings files.
void WritePositionKeys(TIniFile &Ini, const std::string &Section, const TConversionSettings &C);

// Writes the keys added since (rate control, quality, speed, subtitles, audio tracks and their
// languages, target size), each once it differs from its default or Section has it already,
// so files of settings that never used them stay as they were.
void WriteAddedKeys(TIniFile &Ini, const std::string &Section, const TConversionSettings &C);

// A custom frame size as the custom size dialog writes it: digits, "x", digits (either side may
// be empty). Anything else would carry arbitrary text into the option string.
bool IsFrameSizeText(const std::string &Text);

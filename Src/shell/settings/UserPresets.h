// The user's own presets: conversion settings, or an FFmpeg command text, saved under a name,
// listed under "My presets" on the Profiles page and usable by name from quillet-cli. They live
// in presets.ini beside the settings file, one INI section per preset named after it; the same
// text is what export writes and import reads.
#pragma once

#include "shell/settings/TConversionSettings.h"

#include <string>
#include <vector>

struct TUserPreset {
  std::string Name;
  TConversionSettings Settings;
  // An output option string converted with instead of the settings' (as the FFmpeg command
  // dialog's text), the container of Settings naming the outputs; "" for a settings preset.
  std::string Command = {};

  bool operator==(const TUserPreset &) const = default;
};
using TUserPresets = std::vector<TUserPreset>;

// presets.ini in the folder of TSettingsFile::DefaultPath().
std::string DefaultPresetsPath();

// Whether Name can name a preset: not empty, no line break and no square bracket (it is a
// section name), no spaces around it.
bool IsPresetName(const std::string &Name);

// Names compare as INI section names do, without regard to letter case.
const TUserPreset *FindPreset(const TUserPresets &Presets, const std::string &Name);
// Adds APreset, or replaces the one of its name in place; false for a name IsPresetName refuses
// or a command with a line break (an INI value holds one line).
bool PutPreset(TUserPresets &Presets, const TUserPreset &APreset);
// False when Old is missing, or New is refused or names another preset.
bool RenamePreset(TUserPresets &Presets, const std::string &Old, const std::string &New);
void DeletePreset(TUserPresets &Presets, const std::string &Name);

std::string PresetsText(const TUserPresets &Presets);
// Every section with a usable name, in file order (as everywhere in the INI reader, the first
// section of a name counts); values outside their lists fall back to the defaults.
TUserPresets ParsePresets(const std::string &Text);

// Missing or unreadable: no presets.
TUserPresets LoadPresets(const std::string &Path);
// Creates the folder; false when the file could not be written.
bool SavePresets(const std::string &Path, const TUserPresets &Presets);

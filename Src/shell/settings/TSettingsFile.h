// The per-user INI settings file: location, reading with default fallback, writing, deleting.
// Read once at start, written once at exit; nothing keeps the file open in between.
#pragma once

#include "shell/settings/TAppSettings.h"

#include <stdexcept>
#include <string>

// Raised when the file cannot be written; what() is "Unable to write to <path>".
class ESettingsWriteError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class TSettingsFile {
public:
  // $APPDATA, else $XDG_CONFIG_HOME, else ~/.config; then Sablewick/Quillet/quillet.ini.
  static std::string DefaultPath();

  explicit TSettingsFile(std::string Path = DefaultPath());

  const std::string &Path() const { return FPath; }

  // Reads every key; a missing file or key, or a value that is not a valid integer, yields
  // the value of Defaults. Stored positions outside their lists, a tab beyond the last page and
  // non-positive sizes fall back to Defaults too, and so does a custom frame size that is not
  // digits "x" digits. Creates the folder if it is missing.
  TAppSettings Load(const TAppSettings &Defaults) const;

  // Writes every key (other keys already in the file are kept). Creates the folder. The file is
  // replaced atomically: on failure the previous file stays intact and ESettingsWriteError is
  // raised.
  void Save(const TAppSettings &Settings) const;

  // "Restore default settings": deletes the file if it exists. False when it could not be
  // deleted.
  bool Delete() const;

private:
  std::string FPath;
};

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
  // sizes outside 1 .. MaxPixelExtent fall back to Defaults too (an AddView outside its three
  // views to the list view), and so does a custom frame size that is not digits "x" digits.
  // A file that exists but cannot be read (not a regular file, an I/O error, no permission)
  // also yields Defaults and is remembered in ReadError. Creates the folder if it is missing.
  TAppSettings Load(const TAppSettings &Defaults);

  // Why the last Load could not read the file; empty when it was read or missing.
  const std::string &ReadError() const { return FReadError; }

  // Writes every key (other keys already in the file are kept). Creates the folder. Does
  // nothing after a Load that could not read the file, so settings never read are never
  // written over. A symbolic link is followed and the file it names replaced (or created, for
  // a link to nothing yet). The file is replaced atomically, keeping its permissions and,
  // where we may set it, its owner; ESettingsWriteError is raised, and the previous file stays
  // intact, when it cannot be read now, is not a regular file, is read-only or the write fails.
  void Save(const TAppSettings &Settings) const;

  // "Restore default settings": deletes the file if it exists. False when it could not be
  // deleted.
  bool Delete() const;

private:
  std::string FPath;
  std::string FReadError;
};

#include "shell/settings/TSettingsFile.h"

#include "shell/settings/ConversionKeys.h"
#include "shell/settings/Profiles.h"
#include "shell/settings/RegularFile.h"
#include "shell/settings/SettingsLists.h"
#include "shell/settings/TIniFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string Main = "Quillet";
const std::string Options = "Settings";

std::string Env(const char *Name) {
  const char *Value = std::getenv(Name);
  return Value ? Value : "";
}

std::string HomeFolder() {
  std::string Home = Env("HOME");
  if (Home.empty())
    if (const passwd *Pw = getpwuid(getuid()); Pw && Pw->pw_dir)
      Home = Pw->pw_dir;
  return Home;
}

std::string ConfigFolder() {
  if (std::string AppData = Env("APPDATA"); !AppData.empty())
    return AppData;
  // Relative XDG paths are invalid and must be ignored.
  if (std::string Xdg = Env("XDG_CONFIG_HOME"); !Xdg.empty() && Xdg.front() == '/')
    return Xdg;
  return (fs::path(HomeFolder()) / ".config").string();
}

// A settings file is a few kilobytes; anything much larger is not one.
constexpr size_t MaxFileSize = 1 << 20;

// Position within a list of Count items, else Default.
int InList(int Position, size_t Count, int Default) {
  return Position >= 0 && Position < static_cast<int>(Count) ? Position : Default;
}

// A window or column extent in pixels, else Default.
int Extent(int Value, int Default) {
  return Value > 0 && Value <= MaxPixelExtent ? Value : Default;
}

void ReadConversion(const TIniFile &Ini, TConversionSettings &C, const TConversionSettings &D) {
  C.Custom = Ini.ReadString(Main, "Custom", D.Custom);
  if (!IsFrameSizeText(C.Custom))
    C.Custom = D.Custom;
  ReadConversionKeys(Ini, Options, C, D);
}

// Every key in the order the settings are saved in; a new file so begins with [Quillet].
TIniFile Compose(TIniFile Ini, const TAppSettings &S) {
  const auto Int = [&](const std::string &Section, const char *Key, int Value) {
    Ini.SetValue(Section, Key, std::to_string(Value));
  };
  Int(Main, "LocOption", S.LocOption);
  Ini.SetValue(Main, "Location", S.Location);
  Ini.SetValue(Main, "AddPath", S.AddPath);
  Int(Main, "AddView", S.AddView);
  Int(Main, "Maximized", S.Maximized);
  Int(Main, "Height", S.Height);
  Int(Main, "Width", S.Width);
  Int(Main, "OriginalSettings", S.OriginalSettings);
  Int(Main, "Tab", S.Tab);
  Int(Main, "Update", S.Update);
  Ini.SetValue(Main, "Custom", S.Conversion.Custom);
  Int(Main, "Column1", S.Column1);
  Int(Main, "Column2", S.Column2);
  Int(Main, "Column3", S.Column3);
  Int(Main, "Column4", S.Column4);
  WritePositionKeys(Ini, Options, S.Conversion);
  Int(Options, "Dark", S.Dark);
  Int(Options, "ProfileType", S.ProfileType);
  Int(Options, "ProfileFormat", S.ProfileFormat);
  Int(Options, "Preview", S.Preview);
  // After every key above, so a file read by an older version keeps its order; an empty key
  // ends the list where the list got shorter.
  for (int i = 0; i < MaxSavedCommands; ++i) {
    const std::string Key = "Command" + std::to_string(i + 1);
    if (i < static_cast<int>(S.Commands.size()))
      Ini.SetValue(Options, Key, S.Commands[i]);
    else if (Ini.Value(Options, Key))
      Ini.SetValue(Options, Key, "");
  }
  WriteAddedKeys(Ini, Options, S.Conversion);
  return Ini;
}

// The replaced file's owner and group where we may set them (root saving a user's file; else
// the file stays ours), then its permission bits.
bool KeepOwnerAndMode(int Fd, const struct stat &Existing) {
  if (fchown(Fd, Existing.st_uid, Existing.st_gid) != 0 && errno != EPERM)
    return false;
  return fchmod(Fd, Existing.st_mode & 07777) == 0;
}

// Creates a new, uniquely named file beside Path for writing. A new file gets the permissions
// any new file gets (the umask applies); the existing file's are kept.
int CreateTempFile(const fs::path &Path, std::string &Temp) {
  struct stat Existing {};
  const bool Exists = stat(Path.c_str(), &Existing) == 0;
  for (int Attempt = 0; Attempt < 100; ++Attempt) {
    Temp = Path.string() + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(Attempt);
    const int Fd = open(Temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (Fd >= 0) {
      if (Exists && !KeepOwnerAndMode(Fd, Existing)) {
        close(Fd);
        std::remove(Temp.c_str());
        return -1;
      }
      return Fd;
    }
    if (errno != EEXIST)
      return -1;
  }
  return -1;
}

bool ReplaceFile(const fs::path &Path, const std::string &Text) {
  std::error_code Error;
  fs::create_directories(Path.parent_path(), Error);
  std::string Temp;
  const int Fd = CreateTempFile(Path, Temp);
  if (Fd < 0)
    return false;
  bool Ok = true;
  for (size_t Done = 0; Ok && Done < Text.size();) {
    const ssize_t N = write(Fd, Text.data() + Done, Text.size() - Done);
    Ok = N > 0;
    Done += N > 0 ? static_cast<size_t>(N) : 0;
  }
  Ok = fsync(Fd) == 0 && Ok;
  Ok = close(Fd) == 0 && Ok;
  if (Ok && std::rename(Temp.c_str(), Path.c_str()) == 0)
    return true;
  std::remove(Temp.c_str());
  return false;
}

// A settings file that is a symbolic link (even to a file not yet there) is written where the
// link points, so the link survives.
fs::path LinkTarget(fs::path Path) {
  std::error_code Error;
  for (int Hops = 0; Hops < 40 && fs::is_symlink(Path, Error); ++Hops) {
    const fs::path Target = fs::read_symlink(Path, Error);
    if (Error)
      break;
    Path = Target.is_absolute() ? Target : Path.parent_path() / Target;
  }
  return Path;
}

// Whether an existing file may be replaced: writable for us and not made read-only by its
// owner (a check of the mode bits too, since root may write anything).
bool MayReplace(const fs::path &Path) {
  struct stat Status {};
  if (stat(Path.c_str(), &Status) != 0)
    return errno == ENOENT;
  return (Status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 && access(Path.c_str(), W_OK) == 0;
}

} // namespace

std::string TSettingsFile::DefaultPath() {
  return (fs::path(ConfigFolder()) / "Sablewick" / "Quillet" / "quillet.ini").string();
}

TSettingsFile::TSettingsFile(std::string Path) : FPath(std::move(Path)) {}

TAppSettings TSettingsFile::Load(const TAppSettings &D) {
  std::error_code Error;
  fs::create_directories(fs::path(FPath).parent_path(), Error); // a failure shows up on saving
  const TFileText File = ReadRegularFile(FPath, MaxFileSize);
  FReadError = File.Error;
  const TIniFile Ini = TIniFile::Parse(File.Text);
  TAppSettings S = D;
  const int LocOption = Ini.ReadInteger(Main, "LocOption", D.LocOption);
  S.LocOption = LocOption >= 1 && LocOption <= 3 ? LocOption : 1;
  S.Location = Ini.ReadString(Main, "Location", D.Location);
  S.AddPath = Ini.ReadString(Main, "AddPath", D.AddPath);
  S.AddView = InList(Ini.ReadInteger(Main, "AddView", D.AddView), 3, AddViewList);
  S.Update = Ini.ReadBool(Main, "Update", D.Update);
  S.OriginalSettings = Ini.ReadBool(Main, "OriginalSettings", D.OriginalSettings);
  S.Column1 = Extent(Ini.ReadInteger(Main, "Column1", D.Column1), D.Column1);
  S.Column2 = Extent(Ini.ReadInteger(Main, "Column2", D.Column2), D.Column2);
  S.Column3 = Extent(Ini.ReadInteger(Main, "Column3", D.Column3), D.Column3);
  S.Column4 = Extent(Ini.ReadInteger(Main, "Column4", D.Column4), D.Column4);
  S.Height = Extent(Ini.ReadInteger(Main, "Height", D.Height), D.Height);
  S.Width = Extent(Ini.ReadInteger(Main, "Width", D.Width), D.Width);
  S.Tab = InList(Ini.ReadInteger(Main, "Tab", D.Tab), SettingsPageCount, D.Tab);
  S.Maximized = Ini.ReadBool(Main, "Maximized", D.Maximized);
  S.Dark = Ini.ReadBool(Options, "Dark", D.Dark);
  S.ProfileType = InList(Ini.ReadInteger(Options, "ProfileType", D.ProfileType),
                         ProfileTypeItems().size(), D.ProfileType);
  S.ProfileFormat = InList(Ini.ReadInteger(Options, "ProfileFormat", D.ProfileFormat),
                           ProfileFormatItems(S.ProfileType).size(), 0);
  S.Preview = Ini.ReadBool(Options, "Preview", D.Preview);
  S.Commands.clear();
  for (int i = 1; i <= MaxSavedCommands; ++i) {
    const std::string Command = Ini.ReadString(Options, "Command" + std::to_string(i), "");
    if (Command.empty())
      break;
    S.Commands.push_back(Command);
  }
  ReadConversion(Ini, S.Conversion, D.Conversion);
  return S;
}

void TSettingsFile::Save(const TAppSettings &Settings) const {
  if (!FReadError.empty())
    return;
  const TFileText File = ReadRegularFile(FPath, MaxFileSize);
  const fs::path Target = LinkTarget(FPath);
  if (File.State == TFileText::fsFailed || !MayReplace(Target) ||
      !ReplaceFile(Target, Compose(TIniFile::Parse(File.Text), Settings).Text()))
    throw ESettingsWriteError("Unable to write to " + FPath);
}

bool TSettingsFile::Delete() const {
  std::error_code Error;
  fs::remove(FPath, Error);
  return !Error;
}

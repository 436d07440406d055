#include "shell/settings/UserPresets.h"

#include "shell/settings/ConversionKeys.h"
#include "shell/settings/RegularFile.h"
#include "shell/settings/TIniFile.h"
#include "shell/settings/TSettingsFile.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// A presets file holds a few hundred presets at most.
constexpr size_t MaxPresetsFileSize = 4 << 20;

bool SameName(const std::string &A, const std::string &B) {
  return std::equal(A.begin(), A.end(), B.begin(), B.end(), [](char X, char Y) {
    return std::tolower(static_cast<unsigned char>(X)) ==
           std::tolower(static_cast<unsigned char>(Y));
  });
}

template <class TList> auto Find(TList &Presets, const std::string &Name) {
  return std::find_if(Presets.begin(), Presets.end(),
                      [&](const TUserPreset &P) { return SameName(P.Name, Name); });
}

TUserPreset ReadPreset(const TIniFile &Ini, const std::string &Name) {
  const TConversionSettings Defaults;
  TUserPreset Preset{Name, Defaults};
  Preset.Settings.Custom = Ini.ReadString(Name, "Custom", Defaults.Custom);
  if (!IsFrameSizeText(Preset.Settings.Custom))
    Preset.Settings.Custom = Defaults.Custom;
  ReadConversionKeys(Ini, Name, Preset.Settings, Defaults);
  Preset.Command = Ini.ReadString(Name, "Command", "");
  return Preset;
}

} // namespace

std::string DefaultPresetsPath() {
  return (fs::path(TSettingsFile::DefaultPath()).parent_path() / "presets.ini").string();
}

bool IsPresetName(const std::string &Name) {
  return !Name.empty() && Name.find_first_of("[]\r\n") == std::string::npos &&
         !std::isspace(static_cast<unsigned char>(Name.front())) &&
         !std::isspace(static_cast<unsigned char>(Name.back()));
}

const TUserPreset *FindPreset(const TUserPresets &Presets, const std::string &Name) {
  const auto It = Find(Presets, Name);
  return It == Presets.end() ? nullptr : &*It;
}

bool PutPreset(TUserPresets &Presets, const TUserPreset &APreset) {
  if (!IsPresetName(APreset.Name) || APreset.Command.find_first_of("\r\n") != std::string::npos)
    return false;
  if (const auto It = Find(Presets, APreset.Name); It != Presets.end())
    *It = APreset;
  else
    Presets.push_back(APreset);
  return true;
}

bool RenamePreset(TUserPresets &Presets, const std::string &Old, const std::string &New) {
  const auto It = Find(Presets, Old);
  const auto Taken = Find(Presets, New);
  if (It == Presets.end() || !IsPresetName(New) || (Taken != Presets.end() && Taken != It))
    return false;
  It->Name = New;
  return true;
}

void DeletePreset(TUserPresets &Presets, const std::string &Name) {
  if (const auto It = Find(Presets, Name); It != Presets.end())
    Presets.erase(It);
}

std::string PresetsText(const TUserPresets &Presets) {
  TIniFile Ini;
  for (const TUserPreset &P : Presets) {
    Ini.SetValue(P.Name, "Custom", P.Settings.Custom);
    WritePositionKeys(Ini, P.Name, P.Settings);
    WriteAddedKeys(Ini, P.Name, P.Settings);
    if (!P.Command.empty())
      Ini.SetValue(P.Name, "Command", P.Command);
  }
  return Ini.Text();
}

TUserPresets ParsePresets(const std::string &Text) {
  const TIniFile Ini = TIniFile::Parse(Text);
  TUserPresets Presets;
  for (const std::string &Name : Ini.Sections())
    if (!FindPreset(Presets, Name))
      PutPreset(Presets, ReadPreset(Ini, Name));
  return Presets;
}

TUserPresets LoadPresets(const std::string &Path) {
  const TFileText File = ReadRegularFile(Path, MaxPresetsFileSize);
  return File.Error.empty() ? ParsePresets(File.Text) : TUserPresets();
}

bool SavePresets(const std::string &Path, const TUserPresets &Presets) {
  std::error_code Error;
  fs::create_directories(fs::path(Path).parent_path(), Error);
  std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
  Out << PresetsText(Presets);
  Out.close();
  return !Out.fail();
}

// "My presets" on the Profiles page: the user's own presets (UserPresets.h) with buttons to
// apply, save the current settings as one, rename, delete, export and import. The box reads
// and shows the conversion settings only through the two functions it is given; a command
// preset (saved from the FFmpeg command dialog) is not shown but run: its "Run" button asks
// for a job through RunCommand. The presets file is written after every change.
#pragma once

#include "shell/settings/UserPresets.h"

#include <QWidget>

#include <functional>

class QComboBox;
class QPushButton;

class TPresetsBox : public QWidget {
  Q_OBJECT
public:
  using TRead = std::function<TConversionSettings()>;
  using TShow = std::function<void(const TConversionSettings &)>;
  TPresetsBox(TRead ARead, TShow AShow, QWidget *parent = nullptr);

  QComboBox *cb_Presets;
  QPushButton *btn_PresetApply, *btn_PresetSave, *btn_PresetRename, *btn_PresetDelete,
      *btn_PresetExport, *btn_PresetImport;

  const TUserPresets &Presets() const { return FPresets; }
  // Reads the presets file again (DefaultPresetsPath() at the time of the call).
  void Reload();

  // What the buttons do once they have a name or a file; false (with the reason shown) when
  // the name or the file is refused.
  void ApplySelected();
  bool SaveCurrent(const QString &AName);
  // Keeps the FFmpeg command text ACommand (trimmed), whose outputs take the container at
  // position AFormat, as the preset AName.
  bool SaveCommand(const QString &AName, const QString &ACommand, int AFormat);
  bool RenameSelected(const QString &ANew);
  void DeleteSelected();
  bool ExportTo(const QString &APath);
  bool ImportFrom(const QString &APath);

signals:
  // A command preset was applied: the listed files are to be converted with AOptions into the
  // container at position AFormat, as the FFmpeg command dialog's "OK" does.
  void RunCommand(const QString &AOptions, int AFormat);

private:
  const TUserPreset *Selected() const;
  // "Apply" for a settings preset, "Run" for a command preset (the command in its hint).
  void ShowSelected();
  bool Put(const TUserPreset &APreset);
  // Shows the names, selects AName (else the first) and writes the file.
  void Store(const QString &AName);
  void ShowNames(const QString &ASelected);
  bool Refuse(const QString &AText);

  TRead FRead;
  TShow FShow;
  TUserPresets FPresets;
};

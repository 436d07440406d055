#include "shell/TPresetsBox.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {

QPushButton *NewButton(const QString &ACaption, QWidget *AParent) {
  return new QPushButton(ACaption, AParent);
}

const QString PresetFiles = QStringLiteral("Presets (*.ini);;All files (*)");

} // namespace

TPresetsBox::TPresetsBox(TRead ARead, TShow AShow, QWidget *parent)
    : QWidget(parent), FRead(std::move(ARead)), FShow(std::move(AShow)) {
  cb_Presets = new QComboBox(this);
  cb_Presets->setMinimumWidth(150);
  btn_PresetApply = NewButton(QStringLiteral("Apply"), this);
  btn_PresetSave = NewButton(QStringLiteral("Save current..."), this);
  btn_PresetRename = NewButton(QStringLiteral("Rename..."), this);
  btn_PresetDelete = NewButton(QStringLiteral("Delete"), this);
  btn_PresetExport = NewButton(QStringLiteral("Export..."), this);
  btn_PresetImport = NewButton(QStringLiteral("Import..."), this);
  auto *grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(8);
  grid->addWidget(cb_Presets, 0, 0, 1, 2);
  grid->addWidget(btn_PresetApply, 1, 0);
  grid->addWidget(btn_PresetSave, 1, 1);
  grid->addWidget(btn_PresetRename, 2, 0);
  grid->addWidget(btn_PresetDelete, 2, 1);
  grid->addWidget(btn_PresetExport, 3, 0);
  grid->addWidget(btn_PresetImport, 3, 1);
  connect(btn_PresetApply, &QPushButton::clicked, this, [this] { ApplySelected(); });
  connect(cb_Presets, &QComboBox::currentIndexChanged, this, [this] { ShowSelected(); });
  connect(btn_PresetSave, &QPushButton::clicked, this, [this] {
    const QString name =
        QInputDialog::getText(this, QStringLiteral("Save preset"), QStringLiteral("Name:"));
    if (!name.isEmpty())
      SaveCurrent(name);
  });
  connect(btn_PresetRename, &QPushButton::clicked, this, [this] {
    const QString name =
        QInputDialog::getText(this, QStringLiteral("Rename preset"), QStringLiteral("New name:"),
                              QLineEdit::Normal, cb_Presets->currentText());
    if (!name.isEmpty())
      RenameSelected(name);
  });
  connect(btn_PresetDelete, &QPushButton::clicked, this, [this] { DeleteSelected(); });
  connect(btn_PresetExport, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export presets"),
                                                      QString(), PresetFiles);
    if (!path.isEmpty())
      ExportTo(path);
  });
  connect(btn_PresetImport, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Import presets"),
                                                      QString(), PresetFiles);
    if (!path.isEmpty())
      ImportFrom(path);
  });
  Reload();
}

void TPresetsBox::Reload() {
  FPresets = LoadPresets(DefaultPresetsPath());
  ShowNames({});
}

const TUserPreset *TPresetsBox::Selected() const {
  return FindPreset(FPresets, cb_Presets->currentText().toStdString());
}

void TPresetsBox::ApplySelected() {
  const TUserPreset *preset = Selected();
  if (!preset)
    return;
  if (preset->Command.empty())
    FShow(preset->Settings);
  else
    emit RunCommand(QString::fromStdString(preset->Command), preset->Settings.VideoFormat);
}

void TPresetsBox::ShowSelected() {
  const TUserPreset *preset = Selected();
  const bool command = preset && !preset->Command.empty();
  btn_PresetApply->setText(command ? QStringLiteral("Run") : QStringLiteral("Apply"));
  const QString hint = command ? QStringLiteral("Converts the listed files with %1")
                                     .arg(QString::fromStdString(preset->Command))
                               : QString();
  btn_PresetApply->setToolTip(hint);
  cb_Presets->setToolTip(hint);
}

bool TPresetsBox::SaveCurrent(const QString &AName) {
  return Put({AName.toStdString(), FRead()});
}

bool TPresetsBox::SaveCommand(const QString &AName, const QString &ACommand, int AFormat) {
  TConversionSettings settings;
  SelectVideoFormat(settings, AFormat);
  return Put({AName.toStdString(), settings, ACommand.trimmed().toStdString()});
}

bool TPresetsBox::Put(const TUserPreset &APreset) {
  if (!PutPreset(FPresets, APreset))
    return Refuse(QStringLiteral("A preset name cannot be empty, hold square brackets or line "
                                 "breaks, or begin or end with a space."));
  Store(QString::fromStdString(APreset.Name));
  return true;
}

bool TPresetsBox::RenameSelected(const QString &ANew) {
  if (!RenamePreset(FPresets, cb_Presets->currentText().toStdString(), ANew.toStdString()))
    return Refuse(QStringLiteral("\"%1\" cannot name this preset: it is taken, or not a name a "
                                 "preset can have.")
                      .arg(ANew));
  Store(ANew);
  return true;
}

void TPresetsBox::DeleteSelected() {
  DeletePreset(FPresets, cb_Presets->currentText().toStdString());
  Store({});
}

bool TPresetsBox::ExportTo(const QString &APath) {
  if (SavePresets(APath.toStdString(), FPresets))
    return true;
  return Refuse(QStringLiteral("Unable to write to %1").arg(APath));
}

bool TPresetsBox::ImportFrom(const QString &APath) {
  const TUserPresets imported = LoadPresets(APath.toStdString());
  if (imported.empty())
    return Refuse(QStringLiteral("%1 holds no presets.").arg(APath));
  for (const TUserPreset &preset : imported)
    PutPreset(FPresets, preset);
  Store(QString::fromStdString(imported.front().Name));
  return true;
}

void TPresetsBox::Store(const QString &AName) {
  ShowNames(AName);
  if (!SavePresets(DefaultPresetsPath(), FPresets))
    Refuse(
        QStringLiteral("Unable to write to %1").arg(QString::fromStdString(DefaultPresetsPath())));
}

void TPresetsBox::ShowNames(const QString &ASelected) {
  cb_Presets->clear();
  for (const TUserPreset &preset : FPresets)
    cb_Presets->addItem(QString::fromStdString(preset.Name));
  const int index = cb_Presets->findText(ASelected);
  cb_Presets->setCurrentIndex(index >= 0 ? index : cb_Presets->count() > 0 ? 0 : -1);
  for (QPushButton *button :
       {btn_PresetApply, btn_PresetRename, btn_PresetDelete, btn_PresetExport})
    button->setEnabled(!FPresets.empty());
  ShowSelected();
}

bool TPresetsBox::Refuse(const QString &AText) {
  QMessageBox::warning(this, QStringLiteral("Warning"), AText);
  return false;
}

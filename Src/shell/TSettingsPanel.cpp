#include "shell/TSettingsPanel.h"

#include "shell/TPresetsBox.h"
#include "shell/dialogs/Tfrm_Custom.h"
#include "shell/settings/Languages.h"
#include "shell/settings/OptionBuilders.h"
#include "shell/settings/Profiles.h"
#include "shell/settings/RateControl.h"
#include "shell/settings/SettingsLists.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QToolButton>

#include <algorithm>
#include <cstring>
#include <utility>

namespace {
constexpr int ComboWidth = 150;

void Fill(QComboBox *combo, const TItemList &items) {
  combo->clear();
  for (const std::string &item : items)
    combo->addItem(QString::fromStdString(item));
}

QComboBox *NewCombo(const TItemList &items, QWidget *parent) {
  auto *combo = new QComboBox(parent);
  combo->setMinimumWidth(ComboWidth);
  combo->setMaxVisibleItems(16);
  Fill(combo, items);
  combo->setCurrentIndex(0);
  return combo;
}

// A page holding a grid of label/control rows in up to three column pairs.
QGridLayout *NewGrid(QWidget *page) {
  auto *grid = new QGridLayout(page);
  grid->setContentsMargins(16, 14, 16, 10);
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(8);
  return grid;
}

QLabel *AddRow(QGridLayout *grid, int row, int pair, const QString &caption, QWidget *control) {
  auto *label = new QLabel(caption);
  label->setBuddy(control);
  grid->addWidget(label, row, pair * 3, Qt::AlignRight | Qt::AlignVCenter);
  grid->addWidget(control, row, pair * 3 + 1);
  grid->setColumnMinimumWidth(pair * 3 + 2, pair < 2 ? 24 : 0);
  return label;
}

void Finish(QGridLayout *grid, int rows, int pairs) {
  grid->setRowStretch(rows, 1);
  grid->setColumnStretch(pairs * 3, 1);
}

void MakeBold(QLabel *label) {
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
}

// Enables or disables item AIndex of a combo box filled from a list.
void EnableItem(QComboBox *combo, int AIndex, bool AEnabled) {
  if (auto *model = qobject_cast<QStandardItemModel *>(combo->model()))
    if (QStandardItem *item = model->item(AIndex))
      item->setEnabled(AEnabled);
}

// The codes the languages' text reads as, and the words that are none.
QString LanguagesHint(const std::string &AText) {
  std::vector<std::string> rejected;
  QStringList codes, others;
  for (const std::string &code : LanguageCodes(AText, &rejected))
    codes << QString::fromStdString(code);
  for (const std::string &word : rejected)
    others << QString::fromStdString(word);
  QString hint = QStringLiteral("ISO 639 codes of the audio tracks to convert, in order "
                                "(eng, fre or en, fr); the first track when none is there");
  if (!codes.isEmpty())
    hint += QStringLiteral("\nReads as: ") + codes.join(QStringLiteral(", "));
  if (!others.isEmpty())
    hint += QStringLiteral("\nNo language code: ") + others.join(QStringLiteral(", "));
  return hint;
}

void Select(QComboBox *combo, int index) {
  combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

// The encoder lists change with the container: sized once, for the longest item.
void FitLongestEncoder(QComboBox *combo) {
  combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  combo->setMinimumContentsLength(static_cast<int>(std::strlen(CopyItem)));
  combo->setMinimumWidth(std::max(ComboWidth, combo->sizeHint().width()));
}

const TItemList &RateControlItems() {
  static const TItemList Items{"Bit rate", "Quality"};
  return Items;
}

// Selects the item holding position APosition of the full list; an item not offered falls
// back to the first one, no position to none.
void SelectEncoder(QComboBox *combo, int APosition) {
  const int index = combo->findData(APosition);
  combo->setCurrentIndex(index >= 0 ? index : APosition >= 0 && combo->count() > 0 ? 0 : -1);
}

// Fills combo with the items whose encoder (AEncoderOf) is offered, each item holding its
// position in AItems; items without an encoder of their own and the copy always are.
void FillOffered(QComboBox *combo, const TItemList &AItems,
                 std::string (*AEncoderOf)(const std::string &),
                 const std::function<bool(const std::string &)> &AAvailable) {
  combo->clear();
  for (int i = 0; i < static_cast<int>(AItems.size()); ++i) {
    const std::string encoder = AEncoderOf(AItems[i]);
    if (encoder.empty() || encoder == "copy" || AAvailable(encoder))
      combo->addItem(QString::fromStdString(AItems[i]), i);
  }
}

// Position in the full list of the selected encoder item; -1 for none.
int EncoderPosition(const QComboBox *combo) {
  return combo->currentIndex() < 0 ? -1 : combo->currentData().toInt();
}

// Ranges ASlider on AScale and shows AQuality (-1: the scale's default) with its direction;
// the slider reads better to the right either way.
void ShowScale(QSlider *ASlider, QLabel *AValue, const TQualityScale *AScale, int AQuality) {
  const QSignalBlocker quiet(ASlider);
  if (!AScale) {
    AValue->clear();
    return;
  }
  ASlider->setRange(AScale->Min, AScale->Max);
  ASlider->setInvertedAppearance(AScale->LowerIsBetter);
  ASlider->setInvertedControls(AScale->LowerIsBetter);
  ASlider->setValue(QualityValue(*AScale, AQuality));
  AValue->setText(QStringLiteral("%1 (%2)")
                      .arg(ASlider->value())
                      .arg(AScale->LowerIsBetter ? QStringLiteral("lower is better")
                                                 : QStringLiteral("higher is better")));
}

// Each combo box of the Video, Audio and CPU tabs and the position it holds.
using TComboField = std::pair<QComboBox * TSettingsPanel::*, int TConversionSettings::*>;
constexpr TComboField ComboFields[] = {
    {&TSettingsPanel::cb_VideoFormat, &TConversionSettings::VideoFormat},
    {&TSettingsPanel::cb_VideoAspect, &TConversionSettings::VideoAspect},
    {&TSettingsPanel::cb_VideoFrameSize, &TConversionSettings::VideoFrameSize},
    {&TSettingsPanel::cb_VideoFrameRate, &TConversionSettings::VideoFrameRate},
    {&TSettingsPanel::cb_VideoBitrate, &TConversionSettings::VideoBitrate},
    {&TSettingsPanel::cb_AudioSampleRate, &TConversionSettings::AudioSampleRate},
    {&TSettingsPanel::cb_AudioChannel, &TConversionSettings::AudioChannel},
    {&TSettingsPanel::cb_AudioBitrate, &TConversionSettings::AudioBitrate},
    {&TSettingsPanel::cb_Threads, &TConversionSettings::Threads},
    {&TSettingsPanel::cb_CPUUsage, &TConversionSettings::CPUUsage},
    {&TSettingsPanel::cb_VideoRateControl, &TConversionSettings::VideoRateControl},
    {&TSettingsPanel::cb_VideoSpeed, &TConversionSettings::VideoSpeed},
    {&TSettingsPanel::cb_AudioRateControl, &TConversionSettings::AudioRateControl},
    {&TSettingsPanel::cb_Subtitles, &TConversionSettings::Subtitles},
    {&TSettingsPanel::cb_AudioTracks, &TConversionSettings::AudioTracks},
};
} // namespace

TSettingsPanel::TSettingsPanel(QWidget *parent)
    : QTabWidget(parent),
      FAvailable([](const std::string &AEncoder) { return !IsHardwareEncoder(AEncoder); }) {
  setObjectName(QStringLiteral("PageControl1"));
  setDocumentMode(false);
  addTab(CreateProfilesPage(), QStringLiteral(" Profiles "));
  addTab(CreateVideoPage(), QStringLiteral(" Video settings "));
  addTab(CreateAudioPage(), QStringLiteral(" Audio settings "));
  addTab(CreateCPUPage(), QStringLiteral(" CPU usage "));
  addTab(CreateOutputPage(), QStringLiteral(" Output "));
  cb_TypeSelect();
  cb_VideoFormatChange();
  chk_SpecifyClick();
}

QWidget *TSettingsPanel::CreateProfilesPage() {
  auto *page = new QWidget;
  auto *grid = NewGrid(page);
  cb_Type = NewCombo(ProfileTypeItems(), page);
  cb_Format = NewCombo({}, page);
  cb_Format->setMinimumWidth(260);
  chk_OriginalSettings = new QCheckBox(QStringLiteral("Original parameters"), page);
  chk_OriginalSettings->setChecked(true);
  btn_Apply = new QPushButton(QStringLiteral("Apply"), page);
  lbl_NotApplied = new QLabel(QStringLiteral("not applied; press Apply"), page);
  lbl_NotApplied->hide();
  AddRow(grid, 0, 0, QStringLiteral("Type:"), cb_Type);
  AddRow(grid, 1, 0, QStringLiteral("Format:"), cb_Format);
  grid->addWidget(chk_OriginalSettings, 2, 1);
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(btn_Apply);
  buttons->addWidget(lbl_NotApplied);
  buttons->addStretch();
  grid->addLayout(buttons, 3, 1);
  box_Presets =
      new TPresetsBox([this] { return ConversionSettings(); },
                      [this](const TConversionSettings &S) { ShowConversionSettings(S); }, page);
  auto *presetsLabel = new QLabel(QStringLiteral("My presets:"), page);
  presetsLabel->setBuddy(box_Presets->cb_Presets);
  grid->setColumnMinimumWidth(2, 24);
  grid->addWidget(presetsLabel, 0, 3, Qt::AlignRight | Qt::AlignVCenter);
  grid->addWidget(box_Presets, 0, 4, 4, 1, Qt::AlignTop);
  Finish(grid, 4, 2);
  connect(cb_Type, &QComboBox::activated, this, [this] { cb_TypeSelect(); });
  // A profile chosen is only a choice until applied: say so, so Convert never surprises.
  connect(cb_Type, &QComboBox::activated, lbl_NotApplied, &QWidget::show);
  connect(cb_Format, &QComboBox::activated, lbl_NotApplied, &QWidget::show);
  connect(chk_OriginalSettings, &QCheckBox::clicked, lbl_NotApplied, &QWidget::show);
  connect(btn_Apply, &QPushButton::clicked, this, [this] { btn_ApplyClick(); });
  return page;
}

QWidget *TSettingsPanel::CreateVideoPage() {
  auto *page = new QWidget;
  auto *grid = NewGrid(page);
  cb_VideoFormat = NewCombo(VideoFormatItems(), page);
  cb_VideoEncoder = NewCombo({}, page);
  FitLongestEncoder(cb_VideoEncoder);
  cb_VideoAspect = NewCombo(VideoAspectItems(), page);
  cb_VideoFrameSize = NewCombo(VideoFrameSizeItems(), page);
  cb_VideoFrameRate = NewCombo(VideoFrameRateItems(), page);
  cb_VideoBitrate = NewCombo(VideoBitrateItems(), page);
  btn_Custom = new QToolButton(page);
  btn_Custom->setText(QStringLiteral("..."));
  btn_Custom->setToolTip(QStringLiteral("Set custom frame size"));
  auto *frameSize = new QWidget(page);
  auto *frameSizeRow = new QHBoxLayout(frameSize);
  frameSizeRow->setContentsMargins(0, 0, 0, 0);
  frameSizeRow->setSpacing(4);
  frameSizeRow->addWidget(cb_VideoFrameSize, 1);
  frameSizeRow->addWidget(btn_Custom);
  lbl_VideoFormat = AddRow(grid, 0, 0, QStringLiteral("Format:"), cb_VideoFormat);
  MakeBold(lbl_VideoFormat);
  AddRow(grid, 1, 0, QStringLiteral("Encoder:"), cb_VideoEncoder);
  AddRow(grid, 2, 0, QStringLiteral("Aspect ratio:"), cb_VideoAspect);
  AddRow(grid, 0, 1, QStringLiteral("Resolution:"), frameSize);
  AddRow(grid, 1, 1, QStringLiteral("Frame rate:"), cb_VideoFrameRate);
  cb_VideoRateControl = NewCombo(RateControlItems(), page);
  cb_VideoSpeed = NewCombo(SpeedItems(), page);
  AddRow(grid, 3, 0, QStringLiteral("Speed:"), cb_VideoSpeed);
  AddRow(grid, 2, 1, QStringLiteral("Rate control:"), cb_VideoRateControl);
  FVideoRate =
      AddRateRow(grid, 3, cb_VideoBitrate, sld_VideoQuality, lbl_VideoQuality, FVideoQuality);
  spn_TargetSize = new QSpinBox(page);
  spn_TargetSize->setRange(0, 1000000);
  spn_TargetSize->setSpecialValueText(QStringLiteral("Off"));
  spn_TargetSize->setToolTip(
      QStringLiteral("Each output's size in MB, reached in two passes; Off: the bit rate applies"));
  AddRow(grid, 4, 0, QStringLiteral("Target size (MB):"), spn_TargetSize);
  // A fifth row in the panel's fixed height: closer rows than the other pages'.
  grid->setContentsMargins(16, 6, 16, 4);
  grid->setVerticalSpacing(4);
  Finish(grid, 5, 2);
  connect(cb_VideoFormat, &QComboBox::activated, this, [this] { cb_VideoFormatChange(); });
  // Another encoder starts at its own default quality.
  connect(cb_VideoEncoder, &QComboBox::activated, this, [this] {
    FVideoQuality = -1;
    UpdateVideoControls();
  });
  connect(cb_VideoRateControl, &QComboBox::activated, this, [this] { UpdateVideoControls(); });
  connect(spn_TargetSize, &QSpinBox::valueChanged, this, [this] { UpdateVideoControls(); });
  connect(btn_Custom, &QToolButton::clicked, this, [this] { btn_CustomClick(); });
  return page;
}

QWidget *TSettingsPanel::CreateAudioPage() {
  auto *page = new QWidget;
  auto *grid = NewGrid(page);
  cb_AudioFormat = NewCombo({}, page);
  FillOffered(cb_AudioFormat, AudioFormatItems(), ExtractionEncoderOf, FAvailable);
  cb_AudioEncoder = NewCombo({}, page);
  FitLongestEncoder(cb_AudioEncoder);
  cb_AudioSampleRate = NewCombo(AudioSampleRateItems(), page);
  cb_AudioChannel = NewCombo(AudioChannelItems(), page);
  cb_AudioBitrate = NewCombo(AudioBitrateItems(), page);
  lbl_AudioFormat = AddRow(grid, 0, 0, QStringLiteral("Format:"), cb_AudioFormat);
  MakeBold(lbl_AudioFormat);
  AddRow(grid, 1, 0, QStringLiteral("Encoder:"), cb_AudioEncoder);
  AddRow(grid, 0, 1, QStringLiteral("Sample rate:"), cb_AudioSampleRate);
  AddRow(grid, 1, 1, QStringLiteral("Channel:"), cb_AudioChannel);
  grid->addWidget(new QLabel(QStringLiteral("Hz"), page), 0, 5);
  cb_AudioRateControl = NewCombo(RateControlItems(), page);
  AddRow(grid, 2, 0, QStringLiteral("Rate control:"), cb_AudioRateControl);
  FAudioRate =
      AddRateRow(grid, 2, cb_AudioBitrate, sld_AudioQuality, lbl_AudioQuality, FAudioQuality);
  cb_Subtitles = NewCombo(SubtitleItems(), page);
  AddRow(grid, 3, 0, QStringLiteral("Subtitles:"), cb_Subtitles);
  cb_AudioTracks = NewCombo(AudioTrackItems(), page);
  AddRow(grid, 3, 1, QStringLiteral("Audio tracks:"), cb_AudioTracks);
  txt_AudioLanguages = new QLineEdit(page);
  txt_AudioLanguages->setPlaceholderText(QStringLiteral("eng, fre"));
  txt_AudioLanguages->setMaximumWidth(ComboWidth);
  grid->addWidget(txt_AudioLanguages, 3, 5);
  Finish(grid, 4, 2);
  for (QComboBox *combo : {cb_AudioFormat, cb_AudioEncoder})
    connect(combo, &QComboBox::activated, this, [this] {
      FAudioQuality = -1;
      UpdateAudioControls();
    });
  connect(cb_AudioRateControl, &QComboBox::activated, this, [this] { UpdateAudioControls(); });
  connect(cb_AudioTracks, &QComboBox::activated, this, [this] { UpdateAudioControls(); });
  connect(txt_AudioLanguages, &QLineEdit::textChanged, this, [this] { UpdateAudioControls(); });
  return page;
}

TSettingsPanel::TRateRow TSettingsPanel::AddRateRow(QGridLayout *grid, int row, QComboBox *bitrate,
                                                    QSlider *&slider, QLabel *&value, int &chosen) {
  TRateRow rate;
  rate.Caption = AddRow(grid, row, 1, QStringLiteral("Bit rate:"), bitrate);
  rate.Bitrate = bitrate;
  slider = rate.Quality = new QSlider(Qt::Horizontal);
  value = rate.Value = new QLabel;
  rate.Unit = new QLabel(QStringLiteral("kbit/s"));
  grid->addWidget(slider, row, 4);
  grid->addWidget(rate.Unit, row, 5);
  grid->addWidget(value, row, 5);
  connect(slider, &QSlider::valueChanged, this,
          [this, &chosen, video = &chosen == &FVideoQuality](int position) {
            chosen = position;
            video ? UpdateVideoControls() : UpdateAudioControls();
          });
  return rate;
}

void TSettingsPanel::TRateRow::Show(bool AQuality) const {
  Caption->setText(AQuality ? QStringLiteral("Quality:") : QStringLiteral("Bit rate:"));
  Caption->setBuddy(AQuality ? static_cast<QWidget *>(Quality) : Bitrate);
  Bitrate->setHidden(AQuality);
  Unit->setHidden(AQuality);
  Quality->setHidden(!AQuality);
  Value->setHidden(!AQuality);
}

QWidget *TSettingsPanel::CreateCPUPage() {
  auto *page = new QWidget;
  auto *grid = NewGrid(page);
  cb_Threads = NewCombo(ThreadsItems(), page);
  cb_CPUUsage = NewCombo(CPUUsageItems(), page);
  cb_CPUUsage->setCurrentIndex(2);
  AddRow(grid, 0, 0, QStringLiteral("Files at once:"), cb_Threads);
  AddRow(grid, 1, 0, QStringLiteral("Priority:"), cb_CPUUsage);
  Finish(grid, 2, 1);
  return page;
}

QWidget *TSettingsPanel::CreateOutputPage() {
  auto *page = new QWidget;
  auto *grid = NewGrid(page);
  chk_Specify = new QRadioButton(QStringLiteral("Specify output path"), page);
  chk_Original = new QRadioButton(QStringLiteral("Use original path"), page);
  chk_Path = new QRadioButton(QStringLiteral("Use following path:"), page);
  chk_Specify->setChecked(true);
  txt_Path = new QLineEdit(page);
  txt_Path->setMinimumWidth(420);
  btn_Browse = new QToolButton(page);
  btn_Browse->setText(QStringLiteral("..."));
  grid->addWidget(chk_Specify, 0, 0, 1, 3);
  grid->addWidget(chk_Original, 1, 0, 1, 3);
  grid->addWidget(chk_Path, 2, 0, 1, 3);
  grid->setColumnMinimumWidth(0, 18);
  grid->addWidget(txt_Path, 3, 1);
  grid->addWidget(btn_Browse, 3, 2);
  Finish(grid, 4, 1);
  for (QRadioButton *radio : {chk_Specify, chk_Original, chk_Path})
    connect(radio, &QRadioButton::toggled, this, [this] { chk_SpecifyClick(); });
  connect(btn_Browse, &QToolButton::clicked, this, [this] { btn_BrowseClick(); });
  return page;
}

TConversionSettings TSettingsPanel::ConversionSettings() const {
  TConversionSettings S;
  for (const auto &[Combo, Field] : ComboFields)
    S.*Field = (this->*Combo)->currentIndex();
  S.AudioFormat = EncoderPosition(cb_AudioFormat);
  S.VideoEncoder = EncoderPosition(cb_VideoEncoder);
  S.AudioEncoder = EncoderPosition(cb_AudioEncoder);
  S.VideoQuality = FVideoQuality;
  S.AudioQuality = FAudioQuality;
  S.TargetSize = spn_TargetSize->value();
  S.AudioLanguages = txt_AudioLanguages->text().toStdString();
  S.Custom = cb_VideoFrameSize->itemText(cb_VideoFrameSize->count() - 1).toStdString();
  S.EncoderListFormat = FEncoderListFormat == S.VideoFormat ? -1 : FEncoderListFormat;
  return S;
}

void TSettingsPanel::ShowConversionSettings(const TConversionSettings &S) {
  cb_VideoFrameSize->setItemText(cb_VideoFrameSize->count() - 1, QString::fromStdString(S.Custom));
  FEncoderListFormat = S.EncoderListFormat >= 0 ? S.EncoderListFormat : S.VideoFormat;
  FillEncoders();
  for (const auto &[Combo, Field] : ComboFields)
    Select(this->*Combo, S.*Field);
  SelectEncoder(cb_AudioFormat, S.AudioFormat);
  SelectEncoder(cb_VideoEncoder, S.VideoEncoder);
  SelectEncoder(cb_AudioEncoder, S.AudioEncoder);
  FVideoQuality = S.VideoQuality;
  FAudioQuality = S.AudioQuality;
  spn_TargetSize->setValue(S.TargetSize);
  txt_AudioLanguages->setText(QString::fromStdString(S.AudioLanguages));
  UpdateVideoControls();
  UpdateAudioControls();
}

void TSettingsPanel::SetEncoderFilter(std::function<bool(const std::string &)> AAvailable) {
  const TConversionSettings S = ConversionSettings();
  FAvailable = std::move(AAvailable);
  ShowConversionSettings(S);
}

void TSettingsPanel::FillEncoders() {
  FillOffered(cb_VideoEncoder, VideoEncoderItems(FEncoderListFormat), EncoderOfItem, FAvailable);
  FillOffered(cb_AudioEncoder, AudioEncoderItems(FEncoderListFormat), EncoderOfItem, FAvailable);
  FillOffered(cb_AudioFormat, AudioFormatItems(), ExtractionEncoderOf, FAvailable);
}

void TSettingsPanel::UpdateVideoControls() {
  const TConversionSettings S = ConversionSettings();
  const bool copy = VideoEncoderText(S) == CopyItem;
  const std::string encoder = VideoEncoderName(S);
  const TQualityScale *scale = copy ? nullptr : QualityScaleOf(encoder);
  // A target size sets the bit rate per file.
  const bool target = S.TargetSize > 0;
  const bool quality = scale && S.VideoRateControl == rcQuality && !target;
  for (QWidget *control : std::initializer_list<QWidget *>{
           cb_VideoAspect, cb_VideoFrameSize, btn_Custom, cb_VideoFrameRate, spn_TargetSize})
    control->setEnabled(!copy);
  cb_VideoBitrate->setEnabled(!copy && !quality && !target);
  cb_VideoRateControl->setEnabled(scale != nullptr && !target);
  FVideoRate.Show(quality);
  ShowScale(sld_VideoQuality, lbl_VideoQuality, scale, S.VideoQuality);
  cb_VideoSpeed->setEnabled(!copy && HasSpeedPresets(encoder));
  // Subtitles are kept only where the container holds them; burning in draws on the picture,
  // so not on a copied stream.
  const bool subtitles = ContainerTakesSubtitles(S);
  EnableItem(cb_Subtitles, sbKeep, subtitles);
  EnableItem(cb_Subtitles, sbBurn, !copy);
  if (copy && S.Subtitles == sbBurn)
    cb_Subtitles->setCurrentIndex(sbNone);
  cb_Subtitles->setToolTip(subtitles ? QString()
                                     : QStringLiteral("%1 holds no subtitles: they can be "
                                                      "burned in, not kept")
                                           .arg(cb_VideoFormat->currentText()));
  if (copy != FVideoCopy) {
    FVideoCopy = copy;
    emit VideoCopyChanged(copy);
  }
}

void TSettingsPanel::UpdateAudioControls() {
  const TConversionSettings S = ConversionSettings();
  const bool copy = AudioEncoderText(S) == CopyItem;
  // The conversion's encoder when it has a scale, else the extraction's; a copied stream has
  // none.
  const TQualityScale *scale = copy ? nullptr : QualityScaleOf(AudioEncoderName(S));
  if (!scale && !copy)
    scale = QualityScaleOf(ExtractionEncoderName(S));
  const bool quality = scale && S.AudioRateControl == rcQuality;
  cb_AudioSampleRate->setEnabled(!copy);
  cb_AudioChannel->setEnabled(!copy);
  cb_AudioBitrate->setEnabled(!copy && !quality);
  cb_AudioRateControl->setEnabled(scale != nullptr);
  txt_AudioLanguages->setEnabled(S.AudioTracks == atLanguages);
  txt_AudioLanguages->setToolTip(LanguagesHint(S.AudioLanguages));
  FAudioRate.Show(quality);
  ShowScale(sld_AudioQuality, lbl_AudioQuality, scale, S.AudioQuality);
}

int TSettingsPanel::LocOption() const {
  if (chk_Specify->isChecked())
    return 1;
  return chk_Original->isChecked() ? 2 : 3;
}

void TSettingsPanel::SetLocOption(int option) {
  if (option == 1)
    chk_Specify->setChecked(true);
  else if (option == 2)
    chk_Original->setChecked(true);
  else if (option == 3)
    chk_Path->setChecked(true);
  chk_SpecifyClick();
}

void TSettingsPanel::cb_TypeSelect() {
  cb_Format->setUpdatesEnabled(false);
  Fill(cb_Format, ProfileFormatItems(cb_Type->currentIndex()));
  cb_Format->setCurrentIndex(0);
  cb_Format->setUpdatesEnabled(true);
}

void TSettingsPanel::cb_VideoFormatChange() {
  TConversionSettings S = ConversionSettings();
  SelectVideoFormat(S, cb_VideoFormat->currentIndex());
  ShowConversionSettings(S);
}

void TSettingsPanel::btn_ApplyClick() {
  TConversionSettings S = ConversionSettings();
  ApplyProfile(S, cb_Type->currentIndex(), cb_Format->currentIndex(),
               chk_OriginalSettings->isChecked());
  ShowConversionSettings(S);
  lbl_NotApplied->hide();
}

void TSettingsPanel::chk_SpecifyClick() {
  txt_Path->setEnabled(chk_Path->isChecked());
  btn_Browse->setEnabled(chk_Path->isChecked());
}

void TSettingsPanel::btn_BrowseClick() {
  const QString folder = QFileDialog::getExistingDirectory(
      window(), QStringLiteral("Specify destination folder."), txt_Path->text());
  if (!folder.isEmpty() && QDir(folder).exists())
    txt_Path->setText(QDir::toNativeSeparators(folder));
}

void TSettingsPanel::btn_CustomClick() {
  QString text;
  TConversionSettings S = ConversionSettings();
  // The size is checked against the encoder chosen now.
  if (!Tfrm_Custom::Execute(window(), text, S))
    return;
  ApplyCustomFrameSize(S, text.toStdString());
  ShowConversionSettings(S);
}

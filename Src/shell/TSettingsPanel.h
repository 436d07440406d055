// The settings page control of the main window (PageControl1): Profiles, Video settings, Audio
// settings, CPU usage and Output. The controls are public because the job windows read them.
// Item lists, option strings and profiles come from the settings logic; this class only copies
// control states to and from TConversionSettings.
#pragma once

#include "shell/settings/TAppSettings.h"
#include "shell/settings/TConversionSettings.h"

#include <QTabWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

class TSettingsPanel : public QTabWidget {
  Q_OBJECT
public:
  explicit TSettingsPanel(QWidget *parent = nullptr);

  enum TPage { tsProfiles, tsVideo, tsAudio, tsCPU, tsOutput };

  // " Profiles "
  QComboBox *cb_Type;
  QComboBox *cb_Format;
  QCheckBox *chk_OriginalSettings;
  QPushButton *btn_Apply;
  QLabel *lbl_NotApplied; // shown while a profile choice waits for "Apply"
  // " Video settings "
  QLabel *lbl_VideoFormat;
  QComboBox *cb_VideoFormat;
  QComboBox *cb_VideoEncoder;
  QComboBox *cb_VideoAspect;
  QComboBox *cb_VideoFrameSize;
  QToolButton *btn_Custom;
  QComboBox *cb_VideoFrameRate;
  QComboBox *cb_VideoBitrate;
  // " Audio settings "
  QLabel *lbl_AudioFormat;
  QComboBox *cb_AudioFormat;
  QComboBox *cb_AudioEncoder;
  QComboBox *cb_AudioSampleRate;
  QComboBox *cb_AudioChannel;
  QComboBox *cb_AudioBitrate;
  // " CPU usage "
  QComboBox *cb_Threads;
  QComboBox *cb_CPUUsage;
  // " Output "
  QRadioButton *chk_Specify;
  QRadioButton *chk_Original;
  QRadioButton *chk_Path;
  QLineEdit *txt_Path;
  QToolButton *btn_Browse;

  // The Video, Audio and CPU tab choices as positions (plus the custom slot's text).
  TConversionSettings ConversionSettings() const;
  // Shows S: refills the encoder lists for S's container and selects every position.
  void ShowConversionSettings(const TConversionSettings &S);

  // Output mode as stored: 1 specify, 2 original, 3 following path.
  int LocOption() const;
  // Checks the matching radio button; any other value leaves the mode unchanged.
  void SetLocOption(int option);

  // Type choice: refills cb_Format with the type's profile names, first one selected.
  void cb_TypeSelect();
  // Container choice: refills both encoder lists, first items selected.
  void cb_VideoFormatChange();
  // "Apply": applies the selected profile to the Video and Audio tabs.
  void btn_ApplyClick();
  // Radio buttons: the fixed folder's controls follow "Use following path:".
  void chk_SpecifyClick();
  // "...": picks the fixed output folder.
  void btn_BrowseClick();
  // "..." beside the resolution: the custom frame size dialog.
  void btn_CustomClick();

private:
  QWidget *CreateProfilesPage();
  QWidget *CreateVideoPage();
  QWidget *CreateAudioPage();
  QWidget *CreateCPUPage();
  QWidget *CreateOutputPage();

  // Container the two encoder lists currently belong to.
  int FEncoderListFormat = 0;
};

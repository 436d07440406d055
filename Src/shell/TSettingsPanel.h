// The settings page control of the main window (PageControl1): Profiles, Video settings, Audio
// settings, CPU usage and Output. The controls are public because the job windows read them.
// Item lists, option strings and profiles come from the settings logic; this class only copies
// control states to and from TConversionSettings.
#pragma once

#include "shell/settings/TAppSettings.h"
#include "shell/settings/TConversionSettings.h"

#include <QTabWidget>

#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QSpinBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class TPresetsBox;
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
  QLabel *lbl_NotApplied;   // shown while a profile choice waits for "Apply"
  TPresetsBox *box_Presets; // "My presets"
  // " Video settings "
  QLabel *lbl_VideoFormat;
  QComboBox *cb_VideoFormat;
  QComboBox *cb_VideoEncoder;
  QComboBox *cb_VideoAspect;
  QComboBox *cb_VideoFrameSize;
  QToolButton *btn_Custom;
  QComboBox *cb_VideoFrameRate;
  QComboBox *cb_VideoBitrate;
  QComboBox *cb_VideoRateControl; // "Bit rate" / "Quality"
  QSlider *sld_VideoQuality;      // in the bit rate's place under constant quality
  QLabel *lbl_VideoQuality;       // the slider's value and its direction
  QComboBox *cb_VideoSpeed;
  QSpinBox *spn_TargetSize; // MB; 0 shows "Off"

  // " Audio settings "
  QLabel *lbl_AudioFormat;
  QComboBox *cb_AudioFormat;
  QComboBox *cb_AudioEncoder;
  QComboBox *cb_AudioSampleRate;
  QComboBox *cb_AudioChannel;
  QComboBox *cb_AudioBitrate;
  QComboBox *cb_AudioRateControl;
  QComboBox *cb_Subtitles;       // of a video conversion
  QComboBox *cb_AudioTracks;     // of a video conversion
  QLineEdit *txt_AudioLanguages; // the languages of "Languages" ("eng, fre")
  QSlider *sld_AudioQuality;
  QLabel *lbl_AudioQuality;
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

  // Which encoders the two encoder lists and the audio format list offer (by libavcodec
  // encoder name); items that take the container's codec and the copy are always offered.
  // Until set: every software encoder. Positions in TConversionSettings stay those of the full
  // lists of SettingsLists.h.
  void SetEncoderFilter(std::function<bool(const std::string &)> AAvailable);

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

signals:
  // The video encoder became or stopped being the copy: the effects cannot apply to it.
  void VideoCopyChanged(bool ACopy);

private:
  QWidget *CreateProfilesPage();
  QWidget *CreateVideoPage();
  QWidget *CreateAudioPage();
  QWidget *CreateCPUPage();
  QWidget *CreateOutputPage();

  // The bit rate row of a page, which shows a quality slider instead under constant quality.
  struct TRateRow {
    QLabel *Caption = nullptr; // "Bit rate:" or "Quality:"
    QComboBox *Bitrate = nullptr;
    QLabel *Unit = nullptr; // "kbit/s"
    QSlider *Quality = nullptr;
    QLabel *Value = nullptr;
    void Show(bool AQuality) const;
  };
  TRateRow AddRateRow(QGridLayout *grid, int row, QComboBox *bitrate, QSlider *&slider,
                      QLabel *&value, int &chosen);
  // The lists of FEncoderListFormat's encoders and the audio formats that FAvailable allows,
  // each item holding its position in the full list.
  void FillEncoders();
  // Enables the controls that apply to the chosen encoders and ranges the quality sliders.
  void UpdateVideoControls();
  void UpdateAudioControls();

  // Container the two encoder lists currently belong to.
  int FEncoderListFormat = 0;
  std::function<bool(const std::string &)> FAvailable;
  // Qualities moved to by the user; -1 = the encoder's default.
  int FVideoQuality = -1;
  int FAudioQuality = -1;
  bool FVideoCopy = false;
  TRateRow FVideoRate;
  TRateRow FAudioRate;
};

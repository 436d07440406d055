// The choices of the Video, Audio and CPU usage tabs as combo-box positions, plus the text of
// the custom frame-size slot, and the effect switches. Plain values: the window copies its
// controls into these and back; the option builders and profiles work on them headlessly.
#pragma once

#include <string>

// Subtitle choice: dropped, the first subtitle stream kept where the container takes one, or
// the first subtitle stream drawn into the picture.
enum TSubtitles { sbNone, sbKeep, sbBurn };

// Audio tracks of a video conversion: the one the engine picks, every one, or those whose
// language tag is one of AudioLanguages.
enum TAudioTracks { atFirst, atAll, atLanguages };

struct TConversionSettings {
  // Video tab: positions in the lists of SettingsLists.h.
  int VideoFormat = 0;    // cb_VideoFormat, "AVI"
  int VideoEncoder = 0;   // cb_VideoEncoder; -1 = no item selected
  int VideoAspect = 0;    // cb_VideoAspect
  int VideoFrameSize = 0; // cb_VideoFrameSize
  int VideoFrameRate = 0; // cb_VideoFrameRate
  int VideoBitrate = 0;   // cb_VideoBitrate
  // Audio tab.
  int AudioFormat = 0;     // cb_AudioFormat (audio extraction only)
  int AudioEncoder = 0;    // cb_AudioEncoder; -1 = no item selected
  int AudioSampleRate = 0; // cb_AudioSampleRate
  int AudioChannel = 0;    // cb_AudioChannel
  int AudioBitrate = 0;    // cb_AudioBitrate, "32"
  // Rate control (TRateControl), constant quality (-1 = the encoder's default) and speed
  // (position in SpeedItems(), 0 = the encoder's own) of the Video and Audio tabs.
  int VideoRateControl = 0;
  int VideoQuality = -1;
  int VideoSpeed = 0;
  int AudioRateControl = 0;
  int AudioQuality = -1;
  // Subtitles of a video conversion (TSubtitles).
  int Subtitles = 0;
  // Audio tracks of a video conversion (TAudioTracks), and the languages atLanguages takes as
  // typed ("eng, fre"; see Languages.h).
  int AudioTracks = 0;
  std::string AudioLanguages;
  // Size of each video conversion's output in MB (10^6 bytes), reached in two passes at a bit
  // rate worked out per file; 0 = off (the chosen bit rate or quality applies).
  int TargetSize = 0;
  // CPU usage tab (read by the job windows, not part of the option string).
  int Threads = 0;  // cb_Threads, "1"
  int CPUUsage = 2; // cb_CPUUsage, "Normal"
  // Text of the last frame-size item (the custom slot).
  std::string Custom = "7680x4800";
  // Container whose encoders the two encoder lists currently hold; -1 = VideoFormat's. Differs
  // only after the FFmpeg command dialog changed the container without refilling the lists.
  int EncoderListFormat = -1;

  bool operator==(const TConversionSettings &) const = default;
};

// Effect switches of the main window (ef_...). Not saved; all off at start.
struct TEffects {
  bool ef_VFlip = false;
  bool ef_HFlip = false;
  bool ef_Negate = false;
  bool ef_Dein = false; // deinterlace
  bool ef_Rotate = false;
  int ef_Degrees = 0; // 0 = 90, 1 = 180, 2 = 270 degrees

  bool operator==(const TEffects &) const = default;
};

// The container-change handler: select VideoFormat, refill both encoder lists and select their
// first items.
void SelectVideoFormat(TConversionSettings &S, int VideoFormat);

// Item texts as the controls show them ("" when no item is selected).
std::string VideoFormatText(const TConversionSettings &S);
std::string VideoEncoderText(const TConversionSettings &S);
std::string AudioEncoderText(const TConversionSettings &S);
std::string VideoFrameSizeText(const TConversionSettings &S); // the last item reads S.Custom

// The custom frame size dialog's "OK": selects the first item at positions 1..last that equals
// Text exactly; when none does, the custom slot takes Text and is selected.
void ApplyCustomFrameSize(TConversionSettings &S, const std::string &Text);

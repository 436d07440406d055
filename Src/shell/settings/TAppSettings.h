// Everything the settings file keeps between runs, with its defaults. The file's keys are the
// field names (the conversion positions are stored as VideoFormat2 ... AudioBitRate2).
#pragma once

#include "shell/settings/TConversionSettings.h"

#include <string>
#include <vector>

struct TAppSettings {
  // [Quillet]
  int LocOption = 1;    // 1 "Specify output path", 2 "Use original path", 3 "Use following path:"
  std::string Location; // txt_Path
  std::string AddPath;  // str_AddPath
  int AddView = 0;      // int_AddView: 0 details, 1 list, 2 icons
  bool Update = true;   // "Check for update on startup"
  bool OriginalSettings = true; // "Original parameters"
  int Column1 = 0;              // default: list width div 4
  int Column2 = 0;              // list width div 5
  int Column3 = 0;              // list width div 4
  int Column4 = 0;              // list width div 4
  int Height = 0;               // default: DesignHeight
  int Width = 0;                // default: DesignWidth
  int Tab = 0;                  // settings page: 0 Profiles ... 4 Output
  bool Maximized = false;
  // [Settings]
  bool Dark = false;
  int ProfileType = 0;   // cb_Type
  int ProfileFormat = 0; // cb_Format
  bool Preview = false;  // the video job window's "Preview" (pictures and sound while converting)
  // The FFmpeg command dialog's drop-down, newest first: keys Command1 ... Command10, written
  // after the others; reading stops at the first missing or empty one.
  std::vector<std::string> Commands;
  // CPUusage, Threads, VideoFormat2 ... AudioBitRate2 and Custom ([Quillet]).
  TConversionSettings Conversion;

  bool operator==(const TAppSettings &) const = default;
};

// Defaults that depend on the window: column widths from the list's width, size from the
// window's design size.
TAppSettings DefaultAppSettings(int ListWidth, int DesignWidth, int DesignHeight);

// S with the window no larger than the screen's area for windows and no column wider than it.
TAppSettings FittedToArea(TAppSettings S, int AreaWidth, int AreaHeight);

// Number of settings pages (Tab is 0 .. SettingsPageCount - 1).
constexpr int SettingsPageCount = 5;
// The Add Files dialog's list view, which any AddView outside 0 .. 2 stands for.
constexpr int AddViewList = 1;
// Most commands the settings file keeps.
constexpr int MaxSavedCommands = 10;
// Largest window or column extent in pixels taken from the file (the window then fits itself
// to the screen).
constexpr int MaxPixelExtent = 16384;

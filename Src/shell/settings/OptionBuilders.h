// Turn the settings into one output option string in the engine's option syntax.
#pragma once

#include "shell/settings/TConversionSettings.h"

#include <string>
#include <vector>

// The first subtitle stream of a source: none, text (drawn by the subtitles filter) or
// pictures (DVD, Blu-ray, DVB: overlaid).
enum TSubtitleKind { skNone, skText, skBitmap };

// What a source holds that its options depend on.
struct TSourceFacts {
  std::string Path; // absolute: the subtitles filter opens the source itself
  TSubtitleKind FirstSubtitle = skNone;
  std::vector<std::string> AudioLanguages; // the language tag of each audio stream, in order
};

// The facts of the source at APath (made absolute: the subtitles filter opens the file
// itself) whose first subtitle stream has the decoder's ASubFormat (0 pictures, 1 text, -1 none
// or neither) and whose audio streams carry AAudioLanguages.
TSourceFacts SourceFacts(const std::string &APath, int ASubFormat,
                         std::vector<std::string> AAudioLanguages);

// Video conversion: Video and Audio tabs plus the effect switches. With Source, the options of
// that file: its first subtitle stream burned in, its audio tracks of the chosen languages
// (the first one when none is). Without, the options every file shares: nothing burned in,
// the tracks mapped by the chosen codes.
std::string BuildVideoOptions(const TConversionSettings &S, const TEffects &Effects,
                              const TSourceFacts *Source = nullptr);

// Whether the options of S differ by source (subtitles burned in, audio tracks by language).
bool DependsOnSource(const TConversionSettings &S);

// What the options of Source cannot do as S asks, one line each for the job's log: no
// subtitles to burn in, no audio track in the chosen languages.
std::vector<std::string> SourceNotes(const TConversionSettings &S, const TSourceFacts &Source);

// Audio extraction: audio format, bit rate, channels and sample rate only.
std::string BuildAudioOptions(const TConversionSettings &S);

// The libavcodec encoders the settings write with ("copy" for a copied stream; "" where the
// container's default applies): the video encoder, the audio encoder of a video conversion
// and the audio extraction's encoder.
std::string VideoEncoderName(const TConversionSettings &S);
std::string AudioEncoderName(const TConversionSettings &S);
std::string ExtractionEncoderName(const TConversionSettings &S);
// The encoder of an item of AudioFormatItems() ("" for WAV: the container's default).
std::string ExtractionEncoderOf(const std::string &AudioFormatItem);

// The size in MB each output of a video conversion is to reach in two passes: the target size,
// or 0 when it is off or the video is copied (a copy has no bit rate to set).
int ConversionTargetSize(const TConversionSettings &S);

// The audio bit rate of a video conversion in kbit/s, as a target size reckons with it: the
// chosen rate, or a typical 128 where a copied stream or a quality setting leaves it open.
int ConversionAudioKbps(const TConversionSettings &S);

// Whether the container S chooses can hold subtitles (Matroska, MP4, M4V, MOV, WebM); the
// others drop them even when they are to be kept.
bool ContainerTakesSubtitles(const TConversionSettings &S);

// Why the video encoder S chooses cannot take the custom frame size AText (width "x" height as
// the custom size dialog gives it); "" when it can. Encoders of 4:2:0 pictures that refuse an
// odd side (libx264, libx265, libxvid, wmv2) are named with the even sizes around the typed
// one; MPEG-4, MPEG-2 and VP8 take odd sides. An empty side follows the other at an even size.
std::string FrameSizeRefusal(const TConversionSettings &S, const std::string &AText);

// AText as one argument of the option grammar, in double quotes: a quote in it, and the
// backslashes before a quote or the closing one, are escaped.
std::string QuotedArgument(const std::string &AText);

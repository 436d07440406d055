// Turn the settings into one output option string in the engine's option syntax.
#pragma once

#include "shell/settings/TConversionSettings.h"

#include <string>

// Video conversion: Video and Audio tabs plus the effect switches.
std::string BuildVideoOptions(const TConversionSettings &S, const TEffects &Effects);

// Audio extraction: audio format, bit rate, channels and sample rate only.
std::string BuildAudioOptions(const TConversionSettings &S);

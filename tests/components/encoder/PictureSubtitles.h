// Test media with picture subtitles. The ffmpeg tool cannot make them (it encodes text
// subtitles to text only), so the DVD subtitle encoder of the loaded libraries draws one.
#pragma once

#include "../../transcode/files/ToolComparison.h"

#include <string>

// Writes AOutput, a Matroska file holding one DVD subtitle stream for a AWidth x AHeight
// picture: a white box at (ABox.X, ABox.Y) of ABox.W x ABox.H from 0 to 0.9 s. The libraries
// must be loaded. False when a library call fails.
bool WriteDvdSubtitles(const std::string &AOutput, int AWidth, int AHeight, TPictureBox ABox);

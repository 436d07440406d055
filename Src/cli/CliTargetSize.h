// --preset with a target size: the input converted twice at the video bit rate that fills the
// size, as the job window does; the first pass writes only the rate log, into a temporary
// folder removed at the end.
#pragma once

#include "cli/CliArguments.h"
#include "cli/CliPreset.h"

#include <cstdio>
#include <functional>
#include <string>

// The arguments of pass APass (1 or 2) at AVideoKbps, each output's pass log under
// ALogFolder: every output gets the pass's options, and in the first pass writes to the null
// muxer instead of its file.
TCliArguments PassArguments(const TCliArguments &AArgs, int APass, int AVideoKbps,
                            const std::string &ALogFolder);

// Runs the two passes of AArgs (its options led by the preset's already) with ARunPass, which
// gives a pass's exit status; names the rate and each pass on AOut. The status: the first
// pass's when it did not finish, else the second's; 1 when the size cannot be reached (the
// input's duration unknown, a pipe that cannot be read twice, a size the sound alone fills).
int ConvertToTargetSize(const TCliArguments &AArgs, const TCliPreset &APreset,
                        const std::string &ALibraryPath, FILE *AOut,
                        const std::function<int(const TCliArguments &)> &ARunPass);

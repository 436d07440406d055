#include "MediaTestSupport.h"

// Registered before main() runs: every decoder test needs the libraries.
static ::testing::Environment *const LibrariesEnvironment =
    ::testing::AddGlobalTestEnvironment(new TDecoderLibrariesEnvironment);

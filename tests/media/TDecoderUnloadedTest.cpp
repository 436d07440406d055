// Decoder objects made and destroyed while the media libraries are not loaded (a preview window
// closed before its first load): nothing may call through an unbound library entry point.
#include <gtest/gtest.h>

#include "media/TFFDecoder.h"

TEST(DecoderWithoutLibraries, IsMadeAndDestroyedWithoutCallingTheLibraries) {
  for (int i = 0; i < 2; ++i) {
    TFFDecoder decoder;
    EXPECT_FALSE(decoder.AVLibLoaded());
    decoder.CloseFile();
  }
}

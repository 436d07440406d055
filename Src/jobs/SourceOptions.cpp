#include "jobs/SourceOptions.h"

#include "media/TCustomDecoder.h"

#include <filesystem>

TSourceFacts SourceFactsOf(TCustomDecoder &ADecoder, const std::string &APath) {
  TSourceFacts facts;
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(APath, error);
  facts.Path = error ? APath : absolute.string();
  if (ADecoder.SubtitleStreamCount() > 0)
    switch (ADecoder.FirstSubtitleStreamInfo().SubFormat) {
    case 0:
      facts.FirstSubtitle = skBitmap;
      break;
    case 1:
      facts.FirstSubtitle = skText;
      break;
    default:
      break;
    }
  facts.AudioLanguages = ADecoder.AudioLanguages();
  return facts;
}

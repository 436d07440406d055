#include "media/DecoderHelpers.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

AVRational GuessFrameRate(const AVStream *AStream) {
  auto valid = [](AVRational r) { return r.num > 0 && r.den > 0; };
  AVRational fr = AStream->r_frame_rate;
  AVRational avg = AStream->avg_frame_rate;
  if (valid(avg) && valid(fr) && av_q2d(avg) < 70 && av_q2d(fr) > 210)
    fr = avg;
  if (fr.num == 0 && valid(avg))
    fr = avg;
  return fr;
}

int64_t ContainerFileSize(const AVFormatContext *AContext) {
  int64_t size = 0;
  if (!(AContext->iformat && (AContext->iformat->flags & AVFMT_NOFILE)) && AContext->pb)
    size = std::max<int64_t>(ff::avio_size(AContext->pb), 0);
  if (size == 0 && AContext->url && *AContext->url) {
    std::error_code ec;
    std::filesystem::path path = std::filesystem::u8path(AContext->url);
    if (std::filesystem::is_regular_file(path, ec)) {
      auto onDisk = std::filesystem::file_size(path, ec);
      size = ec ? -1 : int64_t(onDisk);
    }
  }
  return size;
}

void CapFramePixels(AVDictionary **AOptions) {
  ff::av_dict_set_int(AOptions, "max_pixels", MaxFramePixels, AV_DICT_DONT_OVERWRITE);
}

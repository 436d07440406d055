#include "PictureSubtitles.h"

#include "components/FFAPI.h"

#include <cstdint>
#include <vector>

namespace {

// One subtitle event of a single box in palette entry 1 (opaque white) on entry 0 (clear).
std::vector<uint8_t> EncodeBox(AVCodecContext *ACodec, TPictureBox ABox) {
  std::vector<uint8_t> pixels(size_t(ABox.W) * ABox.H, 1);
  uint32_t palette[4] = {0x00000000, 0xffffffff, 0xff000000, 0xff808080};
  AVSubtitleRect rect{};
  rect.x = ABox.X;
  rect.y = ABox.Y;
  rect.w = ABox.W;
  rect.h = ABox.H;
  rect.nb_colors = 4;
  rect.type = SUBTITLE_BITMAP;
  rect.data[0] = pixels.data();
  rect.linesize[0] = ABox.W;
  rect.data[1] = reinterpret_cast<uint8_t *>(palette);
  rect.linesize[1] = sizeof palette;
  AVSubtitleRect *rects[] = {&rect};
  AVSubtitle event{};
  event.num_rects = 1;
  event.rects = rects;
  event.end_display_time = 900; // ms
  std::vector<uint8_t> packet(1 << 16);
  const int size = ff::avcodec_encode_subtitle(ACodec, packet.data(), int(packet.size()), &event);
  packet.resize(size > 0 ? size_t(size) : 0);
  return packet;
}

bool WriteStream(AVFormatContext *AFile, AVCodecContext *ACodec, const std::string &AOutput,
                 TPictureBox ABox) {
  AVStream *stream = ff::avformat_new_stream(AFile, nullptr);
  if (!stream || ff::avcodec_parameters_from_context(stream->codecpar, ACodec) < 0 ||
      ff::avio_open(&AFile->pb, AOutput.c_str(), AVIO_FLAG_WRITE) < 0 ||
      ff::avformat_write_header(AFile, nullptr) < 0)
    return false;
  std::vector<uint8_t> data = EncodeBox(ACodec, ABox);
  if (data.empty())
    return false;
  AVPacket *packet = ff::av_packet_alloc();
  packet->data = data.data();
  packet->size = int(data.size());
  packet->pts = packet->dts = 0;
  packet->duration = ff::av_rescale_q(900, {1, 1000}, stream->time_base);
  const bool written = ff::av_interleaved_write_frame(AFile, packet) >= 0;
  ff::av_packet_free(&packet);
  return written && ff::av_write_trailer(AFile) >= 0;
}

} // namespace

bool WriteDvdSubtitles(const std::string &AOutput, int AWidth, int AHeight, TPictureBox ABox) {
  const AVCodec *encoder = ff::avcodec_find_encoder(AV_CODEC_ID_DVD_SUBTITLE);
  AVCodecContext *codec = encoder ? ff::avcodec_alloc_context3(encoder) : nullptr;
  if (!codec)
    return false;
  codec->width = AWidth;
  codec->height = AHeight;
  codec->time_base = {1, 1000};
  AVFormatContext *file = nullptr;
  bool written =
      ff::avcodec_open2(codec, encoder, nullptr) >= 0 &&
      ff::avformat_alloc_output_context2(&file, nullptr, "matroska", AOutput.c_str()) >= 0 &&
      WriteStream(file, codec, AOutput, ABox);
  if (file) {
    ff::avio_closep(&file->pb);
    ff::avformat_free_context(file);
  }
  ff::avcodec_free_context(&codec);
  return written;
}

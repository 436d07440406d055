#include "transcode/common/FFOwners.h"

#include <cstring>

namespace {

// SVT-AV1 1.4 deinitialises by waiting for its end-of-stream packet, which comes only after
// the encoder was sent the end of the stream; an output that fails before its encoder is
// flushed (a muxer refusing a stream) would hang there. Draining an encoder that was flushed
// already, or never opened, returns at once.
void EndSvtAv1Stream(AVCodecContext *AContext) {
  if (!AContext->codec || !ff::av_codec_is_encoder(AContext->codec) ||
      std::strcmp(AContext->codec->name, "libsvtav1") != 0)
    return;
  if (ff::avcodec_send_frame(AContext, nullptr) < 0)
    return;
  TPacketPtr packet(ff::av_packet_alloc());
  while (packet && ff::avcodec_receive_packet(AContext, packet.get()) >= 0)
    ff::av_packet_unref(packet.get());
}

} // namespace

namespace ffown {

void CodecContextDeleter::operator()(AVCodecContext *p) const {
  if (p)
    EndSvtAv1Stream(p);
  ff::avcodec_free_context(&p);
}

} // namespace ffown

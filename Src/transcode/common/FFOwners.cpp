#include "transcode/common/FFOwners.h"

#include <cstring>

namespace {

// One picture of zeros in the encoder's size and format.
TFramePtr BlankPicture(const AVCodecContext &AContext) {
  TFramePtr frame(ff::av_frame_alloc());
  if (!frame)
    return frame;
  frame->width = AContext.width;
  frame->height = AContext.height;
  frame->format = AContext.pix_fmt;
  if (ff::av_frame_get_buffer(frame.get(), 0) < 0)
    return nullptr;
  for (int plane = 0; plane < AV_NUM_DATA_POINTERS && frame->buf[plane]; ++plane)
    std::memset(frame->buf[plane]->data, 0, frame->buf[plane]->size);
  return frame;
}

// SVT-AV1 1.4 closes by sending itself the end of the stream and waiting for the last packet,
// which never comes when the encoder was opened but given no picture (an output whose muxer
// refuses another stream fails just then): the close would wait forever. Such an encoder is
// given one blank picture and the end of the stream, and drained, before it is freed; the
// packets are dropped. An encoder that was flushed already, or never opened, refuses the
// picture at once.
void EndSvtAv1Stream(AVCodecContext *AContext) {
  if (!AContext->codec || !ff::av_codec_is_encoder(AContext->codec) ||
      std::strcmp(AContext->codec->name, "libsvtav1") != 0 || AContext->frame_number > 0)
    return;
  TFramePtr blank = BlankPicture(*AContext);
  if (!blank || ff::avcodec_send_frame(AContext, blank.get()) < 0 ||
      ff::avcodec_send_frame(AContext, nullptr) < 0)
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

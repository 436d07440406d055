#include "transcode/Decoding.h"

#include "components/TFFLogger.h"
#include "transcode/TCustomFFmpeg.h"
#include "transcode/TranscodeLoop.h"

TDecoding::TDecoding(TCustomFFmpeg &AEngine, TTranscodeLoop &ALoop) : E(AEngine), L(ALoop) {}

int TDecoding::open_decoder(TInputStream &ist) {
  Log(&E, llError, "Decoding input stream #%d:%d is not available yet", ist.file_index,
      ist.st->index);
  return AVERROR(ENOSYS);
}

bool TDecoding::DecodePacket(TInputStream &, const AVPacket *, bool) {
  return true;
}

int TDecoding::input_for(TOutputStream &ost, TInputStream *&ist) {
  ist = E.Finput_streams[ost.source_index].get();
  return 0;
}

int TDecoding::after_input() {
  return 0;
}

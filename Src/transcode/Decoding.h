// TDecoding: the decoders of the input streams and what feeds the output stream chosen by the
// loop. Task thread only.
#pragma once

#include "components/FFAPI.h"

class TCustomFFmpeg;
class TTranscodeLoop;
struct TInputStream;
struct TOutputStream;

class TDecoding {
public:
  TDecoding(TCustomFFmpeg &AEngine, TTranscodeLoop &ALoop);

  // Opens the decoder of a stream that must be decoded. Negative on failure (reason logged).
  int open_decoder(TInputStream &ist);
  // Decodes one packet (null: drain). True once the decoder has reached its end.
  bool DecodePacket(TInputStream &ist, const AVPacket *pkt, bool no_eof);
  // The input stream to read for ost (null when nothing is to be read now).
  int input_for(TOutputStream &ost, TInputStream *&ist);
  // After a packet was read: hands what became ready on to the encoders.
  int after_input();

private:
  TCustomFFmpeg &E;
  TTranscodeLoop &L;
};

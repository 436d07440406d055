#include "components/encoder/TFFmpeg.h"

#include "components/encoder/TCustomEncoder.h"

TFFmpeg::TFFmpeg(TCustomEncoder *AParent) : FParent(AParent) {}

TFFmpeg::~TFFmpeg() {
  Stop(true);
}

const TComponent *TFFmpeg::ParentComponent() const {
  return FParent;
}

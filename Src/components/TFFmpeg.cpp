#include "components/TFFmpeg.h"

#include "components/TCustomEncoder.h"

TFFmpeg::TFFmpeg(TCustomEncoder *AParent) : FParent(AParent) {}

TFFmpeg::~TFFmpeg() {
  Stop(true);
}

const TComponent *TFFmpeg::ParentComponent() const {
  return FParent;
}

// TFFEncoder: the encoder component as windows and quillet-cli use it (all behaviour is in
// TCustomEncoder).
#pragma once

#include "components/encoder/TCustomEncoder.h"

class TFFEncoder : public TCustomEncoder {
public:
  std::string ClassName() const override { return "TFFEncoder"; }
};

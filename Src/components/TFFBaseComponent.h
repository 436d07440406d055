// TFFBaseComponent: base of the media components (logger, encoder, decoder): read and write
// time-outs and the process-wide masking of floating-point exceptions.
#pragma once

#include "components/TObject.h"

class TFFBaseComponent : public TComponent {
public:
  // Milliseconds; 0 or less: no time-out.
  int ReadTimeout() const { return FReadTimeout; }
  virtual void SetReadTimeout(int Value) { FReadTimeout = Value; }
  int WriteTimeout() const { return FWriteTimeout; }
  virtual void SetWriteTimeout(int Value) { FWriteTimeout = Value; }

  // Masks every floating-point exception (x87 and SSE), rounding to nearest, 64-bit x87
  // precision. Acts on the first call in the process only, on the calling thread; threads
  // created afterwards inherit the setting.
  static void DisableFPUExceptions();

protected:
  int FReadTimeout = 30000;
  int FWriteTimeout = 30000;
};

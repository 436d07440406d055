#include "components/TFFBaseComponent.h"

#include <cfenv>
#include <mutex>

#if defined(__x86_64__) || defined(__i386__)
#include <xmmintrin.h>
#endif

namespace {

void MaskFloatingPointExceptions() {
  fedisableexcept(FE_ALL_EXCEPT);
  std::fesetround(FE_TONEAREST);
#if defined(__x86_64__) || defined(__i386__)
  // x87: all six exceptions masked, 64-bit mantissa, round to nearest.
  const unsigned short controlWord = 0x037F;
  asm volatile("fldcw %0" : : "m"(controlWord));
  // SSE: mask all six exceptions (denormal included), keep the other MXCSR bits.
  _mm_setcsr(_mm_getcsr() | 0x1F80);
#endif
}

} // namespace

void TFFBaseComponent::DisableFPUExceptions() {
  static std::once_flag once;
  std::call_once(once, MaskFloatingPointExceptions);
}

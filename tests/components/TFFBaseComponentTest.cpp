#include <cfenv>
#include <cstdlib>

#include <xmmintrin.h>

#include <gtest/gtest.h>

#include "components/TFFBaseComponent.h"

namespace {

class TProbeComponent : public TFFBaseComponent {
public:
  std::string ClassName() const override { return "TProbeComponent"; }
};

// Traps division by zero, then masks: the division must go through, a later trap stays
// (masking happens once per process).
[[noreturn]] void DivideAfterMasking() {
  feenableexcept(FE_DIVBYZERO);
  TFFBaseComponent::DisableFPUExceptions();
  if (fegetexcept() != 0 || (_mm_getcsr() & 0x1F80) != 0x1F80)
    std::_Exit(2);
  volatile double zero = 0.0;
  volatile double result = 1.0 / zero;
  (void)result;
  feenableexcept(FE_INVALID);
  TFFBaseComponent::DisableFPUExceptions();
  std::_Exit(fegetexcept() == FE_INVALID ? 0 : 3);
}

} // namespace

TEST(TFFBaseComponent, TimeoutsDefaultTo30Seconds) {
  TProbeComponent component;
  EXPECT_EQ(component.ReadTimeout(), 30000);
  EXPECT_EQ(component.WriteTimeout(), 30000);
  component.SetReadTimeout(500);
  EXPECT_EQ(component.ReadTimeout(), 500);
}

TEST(TFFBaseComponentDeathTest, DisableFPUExceptionsMasksEveryExceptionOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(DivideAfterMasking(), ::testing::ExitedWithCode(0), "");
}

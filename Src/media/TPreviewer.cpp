#include "media/TPreviewer.h"

#include <cinttypes>
#include <cstdio>
#include <limits>
#include <mutex>

#include "components/CallInMainThread.h"
#include "components/TFFLogger.h"

namespace {

std::mutex FactoryLock;
TPreviewWindowFactory Factory;

TPreviewWindowFactory InstalledFactory() {
  std::lock_guard lock(FactoryLock);
  return Factory;
}

constexpr int64_t NoPosition = std::numeric_limits<int64_t>::min(); // AV_NOPTS_VALUE

} // namespace

void SetPreviewWindowFactory(TPreviewWindowFactory AFactory) {
  std::lock_guard lock(FactoryLock);
  Factory = std::move(AFactory);
}

TPreviewer::~TPreviewer() {
  if (FForm)
    CallInMainThread([this] { FForm.reset(); });
}

bool TPreviewer::PaintFrame(const TBitmap &ABitmap, int64_t AFrameNumber, int64_t APosition) {
  if (FClosed)
    return false;
  FBitmap = &ABitmap;
  FFrameNumber = AFrameNumber;
  FPosition = APosition;
  CallInMainThread([this] { PaintInMainThread(); });
  FBitmap = nullptr;
  return !FClosed;
}

void TPreviewer::PaintInMainThread() {
  if (!FForm) {
    const TPreviewWindowFactory factory = InstalledFactory();
    if (factory)
      FForm = factory();
    if (!FForm) {
      Log(this, llWarning, "Preview window not available: preview switched off.");
      FClosed = true;
      return;
    }
  }
  if (!FForm->Closed())
    FForm->Paint(*FBitmap, Caption(FPosition));
  FClosed = FForm->Closed();
}

std::string TPreviewer::Caption(int64_t APosition) {
  if (APosition == NoPosition)
    return "N/A";
  // Saturating: no position near the ends of the range may wrap.
  const int64_t rounded = APosition > std::numeric_limits<int64_t>::max() - 5000
                              ? std::numeric_limits<int64_t>::max()
                              : APosition + 5000;
  const uint64_t magnitude = rounded < 0 ? 0 - uint64_t(rounded) : uint64_t(rounded);
  const uint64_t ms = magnitude / 1000;
  char text[48];
  std::snprintf(text, sizeof text, "%s%02" PRIu64 ":%02" PRIu64 ":%02" PRIu64 ".%03" PRIu64,
                rounded < 0 ? "-" : "", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
  return text;
}

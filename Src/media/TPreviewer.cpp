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
  // Whole milliseconds at or before the position, never after it: a rounded-up time could
  // name the next frame's (frames of 5 ms and less at 200 fps and more).
  const int64_t ms = APosition >= 0 ? APosition / 1000 : -((-(APosition + 1)) / 1000 + 1);
  const uint64_t magnitude = ms < 0 ? 0 - uint64_t(ms) : uint64_t(ms);
  char text[48];
  std::snprintf(text, sizeof text, "%s%02" PRIu64 ":%02" PRIu64 ":%02" PRIu64 ".%03" PRIu64,
                ms < 0 ? "-" : "", magnitude / 3600000, magnitude / 60000 % 60,
                magnitude / 1000 % 60, magnitude % 1000);
  return text;
}

// TPreviewer: shows the pictures a task converts in a stay-on-top preview window.
//
// The core has no window system: the window comes from a factory the application installs at
// start (SetPreviewWindowFactory, as it installs the dispatcher behind CallInMainThread).
// Without one the preview is unavailable: the first PaintFrame logs it and returns false, as it
// does once the user has closed the window.
//
// Threads: PaintFrame and destruction on any thread; the window is created, painted and freed
// on the main thread only (through CallInMainThread, which blocks the caller meanwhile).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "components/TObject.h"
#include "media/TBitmap.h"

// The window side, implemented by the application. Every call on the main thread.
class TPreviewWindow {
public:
  virtual ~TPreviewWindow() = default;
  // Shows the window on the first call (client area the size of the bitmap), then sets the
  // caption and draws a copy of the bitmap at 0, 0.
  virtual void Paint(const TBitmap &ABitmap, const std::string &ACaption) = 0;
  // True once the user has closed the window.
  virtual bool Closed() const = 0;
};

using TPreviewWindowFactory = std::function<std::unique_ptr<TPreviewWindow>()>;

// Main thread, at start (an empty factory uninstalls).
void SetPreviewWindowFactory(TPreviewWindowFactory AFactory);

class TPreviewer : public TObject {
public:
  TPreviewer() = default;
  ~TPreviewer() override;
  TPreviewer(const TPreviewer &) = delete;
  TPreviewer &operator=(const TPreviewer &) = delete;

  std::string ClassName() const override { return "TPreviewer"; }

  // Shows the bitmap with the position (microseconds, AV_NOPTS_VALUE when unknown) in the
  // caption. False once the window was closed or is unavailable; nothing is drawn then.
  bool PaintFrame(const TBitmap &ABitmap, int64_t AFrameNumber, int64_t APosition);

  // The last frame handed to PaintFrame.
  int64_t FrameNumber() const { return FFrameNumber; }
  int64_t Position() const { return FPosition; }

  // "hh:mm:ss.zzz" of a position in whole milliseconds at or before it, "N/A" when unknown.
  static std::string Caption(int64_t APosition);

private:
  void PaintInMainThread();

  std::unique_ptr<TPreviewWindow> FForm; // main thread only
  bool FClosed = false;
  const TBitmap *FBitmap = nullptr; // during PaintFrame only
  int64_t FFrameNumber = 0;
  int64_t FPosition = 0;
};

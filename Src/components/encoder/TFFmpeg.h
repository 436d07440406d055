// TFFmpeg: the encoder component's task engine. Adds to the transcoding engine the copies of
// each input's and output's option records (by file position) and the component it works for,
// which log lines name as their reporter.
// Threads: created, configured and destroyed by the component's thread; the task runs on the
// engine's own worker (or the thread that starts it).
#pragma once

#include <atomic>
#include <vector>

#include "components/encoder/EncoderTypes.h"
#include "transcode/TCustomFFmpeg.h"

class TCustomEncoder;

class TFFmpeg : public TCustomFFmpeg {
public:
  explicit TFFmpeg(TCustomEncoder *AParent);
  // Stops a running task and waits for it while the whole object still exists.
  ~TFFmpeg() override;
  std::string ClassName() const override { return "TFFmpeg"; }
  const TComponent *ParentComponent() const override;
  TCustomEncoder *Parent() const { return FParent; }

  std::vector<TInputOptions> FInputOptions;   // by input position
  std::vector<TOutputOptions> FOutputOptions; // by output position
  // Position in the component's task list (kept by the list), so that events need no lookup.
  std::atomic<int> FTaskIndex{-1};

private:
  TCustomEncoder *FParent;
};

#include "components/MessageBoxHook.h"

#include <cstdio>
#include <mutex>

namespace {

// Never destroyed: the log thread may still report while the process ends.
struct THookState {
  std::mutex Lock;
  TMessageBoxHandler Handler;
};

THookState &Hook() {
  static THookState *state = new THookState;
  return *state;
}

} // namespace

void SetMessageBoxHandler(TMessageBoxHandler handler) {
  std::lock_guard lock(Hook().Lock);
  Hook().Handler = std::move(handler);
}

void ShowMessageBox(const std::string &Caption, const std::string &Text) {
  TMessageBoxHandler handler;
  {
    std::lock_guard lock(Hook().Lock);
    handler = Hook().Handler;
  }
  if (handler)
    handler(Caption, Text);
  else
    std::fprintf(stderr, "%s: %s\n", Caption.c_str(), Text.c_str());
}

#include "cli/TCliPreview.h"

#include "components/ProgramFiles.h"

#include <dlfcn.h>

#include <cstdlib>

namespace {

// Beside the program or in the installed module folder; it stays loaded until the program
// ends (Qt does not unload cleanly).
void *LoadModule(const std::string &AProgramFolder, std::string &AReason) {
  const std::string path =
      ProgramFilePath(AProgramFolder, "quillet-cli-preview.so", TProgramFileKind::pfModule);
  void *module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module)
    AReason = dlerror();
  return module;
}

template <typename T> T Entry(void *AModule, const char *AName, std::string &AReason) {
  void *entry = dlsym(AModule, AName);
  if (!entry)
    AReason = dlerror();
  return reinterpret_cast<T>(entry);
}

bool HasDisplay() {
  const char *x = std::getenv("DISPLAY");
  const char *wayland = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (wayland && *wayland);
}

} // namespace

std::unique_ptr<TCliPreview> TCliPreview::Open(const std::string &AProgramFolder, int &argc,
                                               char **argv, std::string &AReason) {
  AReason = "no display";
  if (!HasDisplay())
    return nullptr;
  void *module = LoadModule(AProgramFolder, AReason);
  if (!module)
    return nullptr;
  using TOpen = void *(*)(int *, char **);
  const auto open = Entry<TOpen>(module, "QuilletCliPreviewOpen", AReason);
  const auto process = Entry<TProcessEvents>(module, "QuilletCliPreviewProcessEvents", AReason);
  const auto close = Entry<TClose>(module, "QuilletCliPreviewClose", AReason);
  if (!open || !process || !close)
    return nullptr;
  AReason = "no display";
  void *app = open(&argc, argv);
  if (!app)
    return nullptr;
  return std::unique_ptr<TCliPreview>(new TCliPreview(app, process, close));
}

TCliPreview::TCliPreview(void *AApp, TProcessEvents AProcessEvents, TClose AClose)
    : FApp(AApp), FProcessEvents(AProcessEvents), FClose(AClose) {}

TCliPreview::~TCliPreview() {
  FClose(FApp);
}

void TCliPreview::ProcessEvents() {
  FProcessEvents();
}

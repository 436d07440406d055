#include "components/TFFLoader.h"

#include <mutex>

#include <dlfcn.h>
#include <libintl.h>
#include <link.h>

#include <algorithm>
#include <cassert>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "components/FFAPI.h"
#include "components/TFFLogger.h"

namespace {

// Error numbers that keep apart "file present but not loadable" and "file not found",
// the two failures the Windows loader reports as 193 and 126.
constexpr int ErrNotLoadable = ENOEXEC;
constexpr int ErrNotFound = ENOENT;

struct TBindError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

void *BindFunction(const std::string &libFile, void *handle, const char *name) {
  dlerror();
  void *p = dlsym(handle, name);
  if (!p) {
    const char *err = dlerror();
    throw TBindError("Load function " + std::string(name) + "@" + libFile +
                     " error: " + (err ? err : "symbol not found"));
  }
  return p;
}

template <typename T>
void Bind(T &target, const std::string &libFile, void *handle, const char *name) {
  target = reinterpret_cast<T>(BindFunction(libFile, handle, name));
}

#define QUILLET_BIND(name) Bind(ff::name, libFile, handle, #name);
#define QUILLET_UNBIND(name) ff::name = nullptr;

// BindLib binds every function of a library's list, UnbindLib clears them again.
#define QUILLET_BINDERS(Lib, FUNCTIONS)                                                            \
  void Bind##Lib(const std::string &libFile, void *handle) {                                       \
    FUNCTIONS(QUILLET_BIND)                                                                        \
  }                                                                                                \
  void Unbind##Lib() {                                                                             \
    FUNCTIONS(QUILLET_UNBIND)                                                                      \
  }

QUILLET_BINDERS(AvUtil, QUILLET_FF_AVUTIL_FUNCTIONS)
QUILLET_BINDERS(SwScale, QUILLET_FF_SWSCALE_FUNCTIONS)
QUILLET_BINDERS(SwResample, QUILLET_FF_SWRESAMPLE_FUNCTIONS)
QUILLET_BINDERS(AvCodec, QUILLET_FF_AVCODEC_FUNCTIONS)
QUILLET_BINDERS(AvFormat, QUILLET_FF_AVFORMAT_FUNCTIONS)
QUILLET_BINDERS(AvFilter, QUILLET_FF_AVFILTER_FUNCTIONS)
QUILLET_BINDERS(AvDevice, QUILLET_FF_AVDEVICE_FUNCTIONS)

// The crt:: pointers and the libc symbols they are bound to.
#define QUILLET_CRT_FUNCTIONS(X)                                                                   \
  X(atoi, "atoi")                                                                                  \
  X(fclose, "fclose")                                                                              \
  X(ferror, "ferror")                                                                              \
  X(fopen, "fopen")                                                                                \
  X(fprintf, "fprintf")                                                                            \
  X(fread, "fread")                                                                                \
  X(fseek, "fseek")                                                                                \
  X(ftell, "ftell")                                                                                \
  X(fwrite, "fwrite")                                                                              \
  X(snprintf, "snprintf")                                                                          \
  X(sscanf, "sscanf")                                                                              \
  X(strchr, "strchr")                                                                              \
  X(strcmp, "strcmp")                                                                              \
  X(strcspn, "strcspn")                                                                            \
  X(strncmp, "strncmp")                                                                            \
  X(strrchr, "strrchr")                                                                            \
  X(strstr, "strstr")                                                                              \
  X(strtod, "strtod")                                                                              \
  X(strtok, "strtok")                                                                              \
  X(strtol, "strtol")                                                                              \
  X(vsprintf, "vsprintf")                                                                          \
  X(vsnprintf, "vsnprintf")                                                                        \
  X(wfopen, "fopen")
#define QUILLET_CRT_BIND(var, sym) Bind(crt::var, libFile, handle, sym);
#define QUILLET_CRT_UNBIND(var, sym) crt::var = nullptr;

void BindMyUtil(const std::string &libFile, void *handle) {
  QUILLET_CRT_FUNCTIONS(QUILLET_CRT_BIND)
}
void UnbindMyUtil() {
  QUILLET_CRT_FUNCTIONS(QUILLET_CRT_UNBIND)
}

struct TLibraryDescriptor {
  const char *BaseName;
  bool SystemLibrary;      // loaded through the system search only
  int Version;             // major ABI version, -1: none
  TLibraries Dependencies; // FFmpeg libraries it needs, directly or not
  void (*BindProc)(const std::string &, void *);
  void (*UnbindProc)();
};

// The TLibrary order is a dependency order: every library comes after those it needs.
const TLibraryDescriptor Descriptors[LibraryCount] = {
    {"avutil", false, 57, {}, BindAvUtil, UnbindAvUtil},
    {"swscale", false, 6, {avUtil}, BindSwScale, UnbindSwScale},
    {"swresample", false, 4, {avUtil}, BindSwResample, UnbindSwResample},
    {"avcodec", false, 59, {avUtil, swResample}, BindAvCodec, UnbindAvCodec},
    {"avformat", false, 59, {avUtil, swResample, avCodec}, BindAvFormat, UnbindAvFormat},
    {"avfilter",
     false,
     8,
     {avUtil, swScale, swResample, avCodec, avFormat},
     BindAvFilter,
     UnbindAvFilter},
    {"avdevice",
     false,
     59,
     {avUtil, swScale, swResample, avCodec, avFormat, avFilter},
     BindAvDevice,
     UnbindAvDevice},
    {"c", true, 6, {}, BindMyUtil, UnbindMyUtil},
    {"SDL2", false, -1, {}, nullptr, nullptr},
    {"SoundTouch", false, -1, {}, nullptr, nullptr},
};

std::string BuiltFileName(TLibrary lib) {
  const TLibraryDescriptor &d = Descriptors[lib];
  std::string name = std::string("lib") + d.BaseName + ".so";
  if (d.Version >= 0)
    name += "." + std::to_string(d.Version);
  return name;
}

bool FileExists(const std::string &path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

std::string UpperCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return char(std::toupper(c)); });
  return text;
}

// Puts the library folder in front of PATH unless PATH already holds it (in any letter case,
// also inside a longer entry), so tools and plug-ins that search PATH find the same folder.
void AddFolderToPath(const std::string &folder) {
  const char *current = std::getenv("PATH");
  const std::string path = current ? current : "";
  if (UpperCase(path).find(UpperCase(folder)) != std::string::npos)
    return;
  // An empty PATH stays without an empty entry (which would mean the current folder).
  const std::string value = path.empty() ? folder : folder + ":" + path;
  setenv("PATH", value.c_str(), 1);
}

// dlerror's text for "no such file" for `path`, in the C library's own (translated) words.
bool IsNotFoundError(const std::string &message, const std::string &path) {
  const std::string notFound = path + ": " + dgettext("libc", "cannot open shared object file") +
                               ": " + std::strerror(ENOENT);
  return message == notFound;
}

// Keeps a bound library mapped after its last dlclose. FFmpeg's own dependencies (codec,
// TLS and device libraries) keep exit handlers and allocations in their globals; unmapping
// them while the process still runs or exits is a classic source of crashes. A library that
// failed to bind is not pinned, so a bad file never shadows its soname later.
void Pin(void *handle) {
  link_map *map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map || !map->l_name || !*map->l_name)
    return;
  if (void *pinned = dlopen(map->l_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE))
    dlclose(pinned);
}

struct TOpenResult {
  void *Handle = nullptr;
  int ErrorCode = 0;
  std::string Message;
};

// Opens folder + file when the file lies in the folder, else the bare file name through the
// system search.
TOpenResult LoadLibraryFromFolder(const std::string &folder, const std::string &file) {
  std::string path = file;
  if (!folder.empty() && FileExists(folder + file)) {
    AddFolderToPath(folder);
    path = folder + file;
  }
  dlerror();
  TOpenResult result;
  result.Handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!result.Handle) {
    const char *error = dlerror();
    result.Message = error ? error : "unknown error";
    result.ErrorCode = IsNotFoundError(result.Message, path) ? ErrNotFound : ErrNotLoadable;
  }
  return result;
}

bool NeverLoaded(TLibrary lib) {
  return lib == SDL2 || lib == libSoundTouch;
}

} // namespace

TFFLoader &FFLoader() {
  static TFFLoader loader;
  return loader;
}

TFFLoader::TFFLoader() {
  for (int i = 0; i < LibraryCount; ++i)
    FStatus[i].Lib = TLibrary(i);
}

TFFLoader::~TFFLoader() {
  Unload(AllLibraries);
}

std::string TFFLoader::GetLibraryName(TLibrary index) const {
  if (!FStatus[index].Name.empty())
    return FStatus[index].Name;
  return BuiltFileName(index);
}

void TFFLoader::OpenDependencies(TLibrary lib, const std::string &folder) {
  for (int i = 0; i < LibraryCount; ++i) {
    const TLibrary dependency = TLibrary(i);
    if (!Descriptors[lib].Dependencies.Contains(dependency) || FStatus[dependency].Handle)
      continue;
    const std::string path = folder + BuiltFileName(dependency);
    if (!FileExists(path))
      continue;
    // A failure here shows again, with its text, when the library itself is opened.
    if (void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
      FDependencyHandles[lib].push_back(handle);
  }
}

void *TFFLoader::OpenLibrary(TLibrary lib) {
  const std::filesystem::path name = GetLibraryName(lib);
  std::string folder;
  if (name.has_parent_path())
    folder = name.parent_path().string() + "/";
  else if (!LibraryPath.empty() && !Descriptors[lib].SystemLibrary)
    folder = LibraryPath.back() == '/' ? LibraryPath : LibraryPath + "/";
  const std::string file = name.filename().string();
  if (!folder.empty() && FileExists(folder + file))
    OpenDependencies(lib, folder);
  TOpenResult opened = LoadLibraryFromFolder(folder, file);
  if (opened.Handle) {
    ++FOpenCount;
    return opened.Handle;
  }
  for (void *handle : FDependencyHandles[lib])
    dlclose(handle);
  FDependencyHandles[lib].clear();
  // A file that is not loadable and does not lie in the folder came from the system search.
  std::string reported = folder + file;
  if (opened.ErrorCode == ErrNotLoadable && !folder.empty() && !FileExists(folder + file))
    reported = file;
  FLastErrMsg = "Load library " + reported + " error(#" + std::to_string(opened.ErrorCode) +
                "): " + opened.Message;
  return nullptr;
}

bool TFFLoader::Load(TLibrary lib) {
  if (NeverLoaded(lib))
    return true;
  TLibraryStatus &st = FStatus[lib];
  const TLibraryDescriptor &d = Descriptors[lib];
  if (!st.Handle) {
    st.Handle = OpenLibrary(lib);
    if (!st.Handle)
      return false;
  }
  if (!st.Fixuped) {
    assert(d.BindProc);
    try {
      d.BindProc(GetLibraryName(lib), st.Handle);
      st.Fixuped = true;
      Pin(st.Handle);
    } catch (const TBindError &e) {
      d.UnbindProc();
      FLastErrMsg = e.what();
    }
  }
  if (!st.Fixuped)
    Unload(lib);
  if (st.Fixuped && lib == avUtil && InstallLogger)
    GlobalLogger()->InstallAVLogCallback();
  if (st.Fixuped && lib == avDevice) {
    // Device and virtual formats (lavfi, x11grab, alsa ...) join the format lists once.
    static std::once_flag registered;
    std::call_once(registered, [] { ff::avdevice_register_all(); });
  }
  return st.Fixuped;
}

bool TFFLoader::Load(TLibraries libs) {
  assert(!libs.Empty());
  for (int i = 0; i < LibraryCount; ++i) {
    if (libs.Contains(TLibrary(i)) && !Load(TLibrary(i))) {
      Unload(libs);
      return false;
    }
  }
  return true;
}

bool TFFLoader::Loaded(TLibrary lib) const {
  if (NeverLoaded(lib))
    return true;
  return FStatus[lib].Handle && FStatus[lib].Fixuped;
}

bool TFFLoader::Loaded(TLibraries libs) const {
  assert(!libs.Empty());
  for (int i = 0; i < LibraryCount; ++i)
    if (libs.Contains(TLibrary(i)) && !Loaded(TLibrary(i)))
      return false;
  return true;
}

void TFFLoader::CheckLibAV(TLibraries libs) const {
  for (int i = 0; i < LibraryCount; ++i)
    if (libs.Contains(TLibrary(i)) && !Loaded(TLibrary(i)))
      throw std::runtime_error(std::string("Library ") + Descriptors[i].BaseName + " not loaded.");
}

void TFFLoader::Unload(TLibrary lib) {
  TLibraryStatus &st = FStatus[lib];
  if (st.Fixuped) {
    if (Descriptors[lib].UnbindProc)
      Descriptors[lib].UnbindProc();
    st.Fixuped = false;
  }
  if (st.Handle) {
    dlclose(st.Handle);
    st.Handle = nullptr;
  }
  for (void *handle : FDependencyHandles[lib])
    dlclose(handle);
  FDependencyHandles[lib].clear();
}

void TFFLoader::Unload(TLibraries libs) {
  assert(!libs.Empty());
  for (int i = 0; i < LibraryCount; ++i)
    if (libs.Contains(TLibrary(i)))
      Unload(TLibrary(i));
}

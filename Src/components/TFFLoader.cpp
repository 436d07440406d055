#include "components/TFFLoader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "components/FFAPI.h"

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

void BindAvUtil(const std::string &libFile, void *handle) {
  QUILLET_FF_AVUTIL_FUNCTIONS(QUILLET_BIND)
}
void UnbindAvUtil() {
  QUILLET_FF_AVUTIL_FUNCTIONS(QUILLET_UNBIND)
}
void BindSwScale(const std::string &libFile, void *handle) {
  QUILLET_FF_SWSCALE_FUNCTIONS(QUILLET_BIND)
}
void UnbindSwScale() {
  QUILLET_FF_SWSCALE_FUNCTIONS(QUILLET_UNBIND)
}
void BindSwResample(const std::string &libFile, void *handle) {
  QUILLET_FF_SWRESAMPLE_FUNCTIONS(QUILLET_BIND)
}
void UnbindSwResample() {
  QUILLET_FF_SWRESAMPLE_FUNCTIONS(QUILLET_UNBIND)
}
void BindAvCodec(const std::string &libFile, void *handle) {
  QUILLET_FF_AVCODEC_FUNCTIONS(QUILLET_BIND)
}
void UnbindAvCodec() {
  QUILLET_FF_AVCODEC_FUNCTIONS(QUILLET_UNBIND)
}
void BindAvFormat(const std::string &libFile, void *handle) {
  QUILLET_FF_AVFORMAT_FUNCTIONS(QUILLET_BIND)
}
void UnbindAvFormat() {
  QUILLET_FF_AVFORMAT_FUNCTIONS(QUILLET_UNBIND)
}
void BindAvFilter(const std::string &libFile, void *handle) {
  QUILLET_FF_AVFILTER_FUNCTIONS(QUILLET_BIND)
}
void UnbindAvFilter() {
  QUILLET_FF_AVFILTER_FUNCTIONS(QUILLET_UNBIND)
}
void BindAvDevice(const std::string &libFile, void *handle) {
  QUILLET_FF_AVDEVICE_FUNCTIONS(QUILLET_BIND)
}
void UnbindAvDevice() {
  QUILLET_FF_AVDEVICE_FUNCTIONS(QUILLET_UNBIND)
}

#define QUILLET_CRT(var, sym) Bind(crt::var, libFile, handle, sym);
void BindMyUtil(const std::string &libFile, void *handle) {
  QUILLET_CRT(atoi, "atoi")
  QUILLET_CRT(fclose, "fclose")
  QUILLET_CRT(ferror, "ferror")
  QUILLET_CRT(fopen, "fopen")
  QUILLET_CRT(fprintf, "fprintf")
  QUILLET_CRT(fread, "fread")
  QUILLET_CRT(fseek, "fseek")
  QUILLET_CRT(ftell, "ftell")
  QUILLET_CRT(fwrite, "fwrite")
  QUILLET_CRT(snprintf, "snprintf")
  QUILLET_CRT(sscanf, "sscanf")
  QUILLET_CRT(strchr, "strchr")
  QUILLET_CRT(strcmp, "strcmp")
  QUILLET_CRT(strcspn, "strcspn")
  QUILLET_CRT(strncmp, "strncmp")
  QUILLET_CRT(strrchr, "strrchr")
  QUILLET_CRT(strstr, "strstr")
  QUILLET_CRT(strtod, "strtod")
  QUILLET_CRT(strtok, "strtok")
  QUILLET_CRT(strtol, "strtol")
  QUILLET_CRT(vsprintf, "vsprintf")
  QUILLET_CRT(vsnprintf, "vsnprintf")
  QUILLET_CRT(wfopen, "fopen")
}
void UnbindMyUtil() {
  crt::atoi = nullptr;
  crt::fclose = nullptr;
  crt::ferror = nullptr;
  crt::fopen = nullptr;
  crt::fprintf = nullptr;
  crt::fread = nullptr;
  crt::fseek = nullptr;
  crt::ftell = nullptr;
  crt::fwrite = nullptr;
  crt::snprintf = nullptr;
  crt::sscanf = nullptr;
  crt::strchr = nullptr;
  crt::strcmp = nullptr;
  crt::strcspn = nullptr;
  crt::strncmp = nullptr;
  crt::strrchr = nullptr;
  crt::strstr = nullptr;
  crt::strtod = nullptr;
  crt::strtok = nullptr;
  crt::strtol = nullptr;
  crt::vsprintf = nullptr;
  crt::vsnprintf = nullptr;
  crt::wfopen = nullptr;
}

struct TLibraryDescriptor {
  const char *BaseName;
  bool SystemLibrary;
  int Version;
  void (*BindProc)(const std::string &, void *);
  void (*UnbindProc)();
};

const TLibraryDescriptor Descriptors[LibraryCount] = {
    {"avutil", false, 57, BindAvUtil, UnbindAvUtil},
    {"swscale", false, 6, BindSwScale, UnbindSwScale},
    {"swresample", false, 4, BindSwResample, UnbindSwResample},
    {"avcodec", false, 59, BindAvCodec, UnbindAvCodec},
    {"avformat", false, 59, BindAvFormat, UnbindAvFormat},
    {"avfilter", false, 8, BindAvFilter, UnbindAvFilter},
    {"avdevice", false, 59, BindAvDevice, UnbindAvDevice},
    {"c", true, 6, BindMyUtil, UnbindMyUtil},
    {"SDL2", false, -1, nullptr, nullptr},
    {"SoundTouch", false, -1, nullptr, nullptr},
};

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
  const TLibraryDescriptor &d = Descriptors[index];
  std::string name = std::string("lib") + d.BaseName + ".so";
  if (d.Version >= 0)
    name += "." + std::to_string(d.Version);
  return name;
}

bool TFFLoader::Load(TLibrary lib) {
  if (NeverLoaded(lib))
    return true;
  TLibraryStatus &st = FStatus[lib];
  const TLibraryDescriptor &d = Descriptors[lib];
  if (!st.Handle) {
    std::filesystem::path name = GetLibraryName(lib);
    std::string folder;
    if (name.has_parent_path())
      folder = name.parent_path().string() + "/";
    else if (!LibraryPath.empty() && !d.SystemLibrary)
      folder = LibraryPath.back() == '/' ? LibraryPath : LibraryPath + "/";
    std::string file = name.filename().string();
    bool inFolder = !folder.empty() && std::filesystem::exists(folder + file);
    std::string path = inFolder ? folder + file : file;
    dlerror();
    void *h = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!h) {
      const char *err = dlerror();
      int code = inFolder ? ErrNotLoadable : ErrNotFound;
      std::string reported = folder.empty() || !inFolder ? file : folder + file;
      if (!folder.empty() && code == ErrNotFound)
        reported = folder + file;
      FLastErrMsg = "Load library " + reported + " error(#" + std::to_string(code) +
                    "): " + (err ? err : "unknown error");
      return false;
    }
    st.Handle = h;
  }
  if (!st.Fixuped) {
    assert(d.BindProc);
    try {
      d.BindProc(GetLibraryName(lib), st.Handle);
      st.Fixuped = true;
    } catch (const TBindError &e) {
      d.UnbindProc();
      FLastErrMsg = e.what();
    }
  }
  if (!st.Fixuped)
    Unload(lib);
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
}

void TFFLoader::Unload(TLibraries libs) {
  assert(!libs.Empty());
  for (int i = 0; i < LibraryCount; ++i)
    if (libs.Contains(TLibrary(i)))
      Unload(TLibrary(i));
}

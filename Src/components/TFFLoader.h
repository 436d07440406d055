// TFFLoader: loads the FFmpeg 5.1 libraries at run time (dlopen) and binds every entry point
// of FFAPI.h by name (dlsym). One loader per process, used from the main thread only, and only
// while no conversion or decoding thread runs (loading changes process-wide state).
//
// A library is looked up in LibraryPath when its file lies there (the C library never is),
// otherwise by bare file name through the system search. Libraries load in dependency order
// (the TLibrary order), and a library taken from LibraryPath first opens the FFmpeg libraries
// it depends on from the same folder, so its dependencies resolve to those copies.
// Unload unbinds a library and releases its handle; a library that was bound stays mapped.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

enum TLibrary : int {
  avUtil,
  swScale,
  swResample,
  avCodec,
  avFormat,
  avFilter,
  avDevice,
  myUtil,
  SDL2,
  libSoundTouch
};
constexpr int LibraryCount = 10;

// A set of TLibrary values: bit n = value n.
class TLibraries {
public:
  constexpr TLibraries() = default;
  constexpr TLibraries(std::initializer_list<TLibrary> libs) {
    for (TLibrary l : libs)
      FBits |= uint16_t(1u << l);
  }
  constexpr bool Contains(TLibrary l) const { return FBits & (1u << l); }
  constexpr bool Empty() const { return FBits == 0; }
  constexpr uint16_t Bits() const { return FBits; }

private:
  uint16_t FBits = 0;
};

inline constexpr TLibraries EncoderLibraries{avUtil,   swScale,  swResample, avCodec,
                                             avFormat, avFilter, avDevice,   myUtil};
inline constexpr TLibraries DecoderLibraries{avUtil,   swScale,  swResample, avCodec,
                                             avFormat, avFilter, myUtil};
inline constexpr TLibraries AllLibraries{avUtil,   swScale,  swResample, avCodec, avFormat,
                                         avFilter, avDevice, myUtil,     SDL2,    libSoundTouch};

struct TLibraryStatus {
  TLibrary Lib;
  std::string Name; // empty: the built file name is used
  void *Handle = nullptr;
  bool Fixuped = false;
};

class TFFLoader {
public:
  TFFLoader();
  ~TFFLoader(); // unloads every library

  std::string LibraryPath;
  bool InstallLogger = true;
  const std::string &LastErrMsg() const { return FLastErrMsg; }

  std::string GetLibraryName(TLibrary index) const;
  TLibraryStatus &Status(TLibrary index) { return FStatus[index]; }

  bool Load(TLibrary lib);
  bool Load(TLibraries libs);
  bool Loaded(TLibrary lib) const;
  bool Loaded(TLibraries libs) const;
  void CheckLibAV(TLibraries libs) const; // throws std::runtime_error
  void Unload(TLibrary lib);
  void Unload(TLibraries libs);

  // Number of library files this loader has opened so far (dependencies not counted).
  int OpenCount() const { return FOpenCount; }

private:
  void *OpenLibrary(TLibrary lib);
  void OpenDependencies(TLibrary lib, const std::string &folder);

  std::string FLastErrMsg;
  TLibraryStatus FStatus[LibraryCount];
  std::vector<void *> FDependencyHandles[LibraryCount]; // opened for a library from its folder
  int FOpenCount = 0;
};

// The process-wide loader; it unloads every library at process end.
TFFLoader &FFLoader();

#include "media/TWavePlayer.h"

#include <SDL.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>

#include "components/TFFLogger.h"

namespace {

// The smallest power of two of at least 46 ms of samples, bounded by the 16-bit field.
uint16_t DefaultSamples(int AFreq) {
  const int wanted = AFreq / 1000 * 46;
  int samples = 1;
  while (samples < wanted && samples < 32768)
    samples *= 2;
  return uint16_t(samples);
}

int BlockAlign(const TFF_AudioSpec &ASpec) {
  return std::max(ASpec.channels * (ASpec.format & 0xFF) / 8, 1);
}

} // namespace

// The thread starts once every field it reads exists.
TWavePlayer::TWavePlayer() {
  FQueueThread = std::thread([this] { QueueThreadRun(); });
}

TWavePlayer::~TWavePlayer() {
  Close();
  {
    std::lock_guard lock(FSignalLock);
    FTerminated = true;
    FSignalled = true;
  }
  FQueueSignal.notify_all();
  FQueueThread.join();
  if (FAudioInitialised)
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
  // SDL keeps state (its error text) for each thread that called it, freed only with threads
  // of its own: a task's thread, which opens and frees its player, would leave it behind.
  SDL_TLSCleanup();
}

bool TWavePlayer::Open(TFF_AudioSpec &ADesired, TFF_AudioSpec &AObtained) {
  Close();
  if (!FAudioInitialised)
    FAudioInitialised = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
  // A driver that cannot list its devices answers -1: it may still have a default one.
  if (!FAudioInitialised || SDL_GetNumAudioDevices(0) == 0) {
    SetError("No wave audio playing devices found.");
    return false;
  }
  if (!CompleteRequest(ADesired))
    return false;
  AObtained = ADesired;
  {
    std::lock_guard lock(FLock);
    FReadBuffer = ADesired.callback;
    FUserData = ADesired.userdata;
    FWaveBufSize = int(ADesired.size) / BlockAlign(ADesired) * BlockAlign(ADesired);
    for (TWaveHdr &hdr : FWaveHdr) {
      hdr.Data.assign(size_t(FWaveBufSize), 0);
      hdr.Queued = true; // silence first
    }
    FWaveBufIdx = 0;
    FPlayIdx = 0;
    FPlayOffset = 0;
  }
  return OpenDevice(ADesired);
}

// Fills the defaults and the derived sizes; false (with LastErrMsg) for a refused channel count.
bool TWavePlayer::CompleteRequest(TFF_AudioSpec &ASpec) {
  if (ASpec.freq == 0)
    ASpec.freq = 22050;
  if (ASpec.format == 0)
    ASpec.format = WaveFormatS16;
  if (ASpec.channels == 0)
    ASpec.channels = 2;
  if (ASpec.channels != 1 && ASpec.channels != 2 && ASpec.channels != 4 && ASpec.channels != 6) {
    SetError(std::to_string(ASpec.channels) + " channels not support.");
    return false;
  }
  if (ASpec.freq < 0) {
    SetError("Invalid sample rate " + std::to_string(ASpec.freq) + ".");
    return false;
  }
  if (ASpec.samples == 0)
    ASpec.samples = DefaultSamples(ASpec.freq);
  ASpec.silence = 0;
  ASpec.size = uint32_t(ASpec.channels) * ((ASpec.format & 0xFF) / 8) * ASpec.samples;
  return true;
}

// The device starts paused with the four silent buffers queued.
bool TWavePlayer::OpenDevice(const TFF_AudioSpec &ASpec) {
  SDL_AudioSpec want{};
  want.freq = ASpec.freq;
  want.format = SDL_AudioFormat(ASpec.format);
  want.channels = ASpec.channels;
  want.samples = ASpec.samples;
  want.callback = DeviceCallback;
  want.userdata = this;
  SDL_AudioSpec have{};
  // No changes allowed: SDL converts to what the hardware takes.
  const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
  if (device == 0) {
    SetError(SDL_GetError());
    return false;
  }
  std::lock_guard lock(FLock);
  FWaveHandle = device;
  FPaused = true;
  return true;
}

void TWavePlayer::Close() {
  SDL_AudioDeviceID device;
  {
    std::lock_guard lock(FLock);
    device = FWaveHandle;
    FWaveHandle = 0;
  }
  // Outside the lock: closing waits for the device's callback, which takes it.
  if (device != 0)
    SDL_CloseAudioDevice(device);
  if (std::this_thread::get_id() == FQueueThread.get_id())
    return;
  std::unique_lock lock(FLock);
  FFillDone.wait(lock, [this] { return !FFilling; });
}

void TWavePlayer::Pause() {
  SetPaused(true);
}

void TWavePlayer::Resume() {
  SetPaused(false);
}

// Outside the lock: pausing waits for the device's callback, which takes it.
void TWavePlayer::SetPaused(bool APaused) {
  SDL_AudioDeviceID device;
  {
    std::lock_guard lock(FLock);
    if (FWaveHandle == 0 || FPaused == APaused)
      return;
    device = FWaveHandle;
  }
  SDL_PauseAudioDevice(device, APaused ? 1 : 0);
  std::lock_guard lock(FLock);
  FPaused = APaused;
}

bool TWavePlayer::Opened() {
  std::lock_guard lock(FLock);
  return FWaveHandle != 0;
}

bool TWavePlayer::Paused() {
  std::lock_guard lock(FLock);
  return FPaused;
}

std::string TWavePlayer::LastErrMsg() {
  std::lock_guard lock(FLock);
  return FLastErrMsg;
}

void TWavePlayer::SetError(const std::string &AMessage) {
  std::lock_guard lock(FLock);
  FLastErrMsg = AMessage;
}

void TWavePlayer::DeviceCallback(void *AUserData, uint8_t *AStream, int ALength) {
  static_cast<TWavePlayer *>(AUserData)->Play(AStream, ALength);
}

// Device thread: copies queued buffers in order; every buffer played goes to the refill thread.
void TWavePlayer::Play(uint8_t *AStream, int ALength) {
  bool played = false;
  {
    std::lock_guard lock(FLock);
    while (ALength > 0 && FWaveHandle != 0 && FWaveHdr[FPlayIdx].Queued) {
      TWaveHdr &hdr = FWaveHdr[FPlayIdx];
      const int count = std::min(ALength, FWaveBufSize - FPlayOffset);
      std::memcpy(AStream, hdr.Data.data() + FPlayOffset, size_t(count));
      AStream += count;
      ALength -= count;
      FPlayOffset += count;
      if (FPlayOffset >= FWaveBufSize) {
        hdr.Queued = false;
        FPlayOffset = 0;
        FPlayIdx = (FPlayIdx + 1) % int(FWaveHdr.size());
        played = true;
      }
    }
  }
  std::memset(AStream, 0, size_t(std::max(ALength, 0)));
  if (!played)
    return;
  {
    std::lock_guard lock(FSignalLock);
    FSignalled = true;
  }
  FQueueSignal.notify_one();
}

void TWavePlayer::QueueThreadRun() {
  errno = 0;
  if (setpriority(PRIO_PROCESS, gettid(), -10) != 0)
    Log(this, llDebug, "Audio refill thread keeps its priority: %s", std::strerror(errno));
  while (WaitQueueSignal())
    RefillQueue();
}

// Waits in slices of 100 ms for the signal and resets it; false once terminated.
bool TWavePlayer::WaitQueueSignal() {
  std::unique_lock lock(FSignalLock);
  while (!FSignalled)
    FQueueSignal.wait_for(lock, std::chrono::milliseconds(100));
  FSignalled = false;
  return !FTerminated;
}

// Refills every buffer the device has played, in order, through the read callback.
void TWavePlayer::RefillQueue() {
  std::unique_lock lock(FLock);
  while (FWaveHandle != 0 && !FWaveHdr[FWaveBufIdx].Queued) {
    const uint32_t device = FWaveHandle;
    TWaveHdr &hdr = FWaveHdr[FWaveBufIdx];
    const TFF_AudioSpecCallback read = FReadBuffer;
    void *const userData = FUserData;
    const int size = FWaveBufSize;
    std::memset(hdr.Data.data(), 0, hdr.Data.size());
    FFilling = true;
    lock.unlock();
    if (read)
      read(userData, hdr.Data.data(), size);
    lock.lock();
    FFilling = false;
    FFillDone.notify_all();
    if (FWaveHandle != device)
      return;
    hdr.Queued = true;
    FWaveBufIdx = (FWaveBufIdx + 1) % int(FWaveHdr.size());
  }
}

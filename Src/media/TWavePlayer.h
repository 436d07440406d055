// TWavePlayer: plays PCM audio pulled through a callback on the default SDL audio output.
//
// Open requests a device for the desired format (zero fields take defaults) and fills the
// obtained record. Four buffers circulate between the device and the refill thread: the device
// plays a filled buffer and hands it back; the refill thread zero-fills it, lets the read
// callback fill it (user data, buffer, buffer size in bytes) and queues it again. A device that
// finds no filled buffer plays silence. The device starts paused, with four silent buffers
// queued: Resume starts playing.
//
// Threads: Open, Close, Pause, Resume and destruction from one owner thread at a time (Close
// also from inside the read callback). The read callback runs on the refill thread, never on
// the device's own thread, so it may wait a little for data; Close waits for a running callback
// to return (except when called from it).
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "components/TObject.h"

// Fills ABuffer (ALength bytes, zero-filled on entry) with the next samples.
using TFF_AudioSpecCallback = void (*)(void *AUserData, uint8_t *ABuffer, int ALength);

// The player's request and answer.
struct TFF_AudioSpec {
  int freq = 0;         // Hz
  uint16_t format = 0;  // low byte bits per sample, bit 15 signed: 32784 is signed 16-bit
  uint8_t channels = 0; // 1, 2, 4 or 6
  uint8_t silence = 0;
  uint16_t samples = 0; // samples per buffer
  uint16_t padding = 0;
  uint32_t size = 0; // bytes per buffer
  TFF_AudioSpecCallback callback = nullptr;
  void *userdata = nullptr;
};

constexpr uint16_t WaveFormatS16 = 32784;

class TWavePlayer : public TObject {
public:
  TWavePlayer();
  ~TWavePlayer() override;
  TWavePlayer(const TWavePlayer &) = delete;
  TWavePlayer &operator=(const TWavePlayer &) = delete;

  std::string ClassName() const override { return "TWavePlayer"; }

  // Closes an open device, then opens the default one for ADesired (defaults: 22050 Hz,
  // signed 16-bit, 2 channels; samples 0: the smallest power of two of at least 46 ms).
  // AObtained receives the completed request. False with LastErrMsg set on failure.
  bool Open(TFF_AudioSpec &ADesired, TFF_AudioSpec &AObtained);
  void Close();
  void Pause();
  void Resume();
  bool Opened();
  bool Paused();
  std::string LastErrMsg();

private:
  struct TWaveHdr {
    std::vector<uint8_t> Data;
    bool Queued = false; // filled, waiting for the device
  };

  static void DeviceCallback(void *AUserData, uint8_t *AStream, int ALength);
  void Play(uint8_t *AStream, int ALength);
  void SetPaused(bool APaused);
  void QueueThreadRun();
  bool WaitQueueSignal();
  void RefillQueue();
  bool CompleteRequest(TFF_AudioSpec &ASpec);
  bool OpenDevice(const TFF_AudioSpec &ASpec);
  void SetError(const std::string &AMessage);

  std::thread FQueueThread;
  bool FPaused = false;
  TFF_AudioSpecCallback FReadBuffer = nullptr;
  void *FUserData = nullptr;
  std::string FLastErrMsg;
  uint32_t FWaveHandle = 0; // the open SDL device, 0 for none
  std::array<TWaveHdr, 4> FWaveHdr;
  int FWaveBufSize = 0;
  int FWaveBufIdx = 0; // next buffer to refill
  int FPlayIdx = 0;    // buffer the device plays from
  int FPlayOffset = 0;
  bool FFilling = false; // the refill thread is inside the read callback
  bool FAudioInitialised = false;
  // Guards every field above that the device or refill thread touches.
  std::mutex FLock;
  std::condition_variable FFillDone;
  // The refill thread's auto-reset signal.
  std::mutex FSignalLock;
  std::condition_variable FQueueSignal;
  bool FSignalled = false;
  bool FTerminated = false;
};

// TDiscBurner: the burner component over libburn (drives, media, writing, erasing) and
// libisofs (the data disc image, see TDiscProject).
//
// Threads: every method is called from one thread at a time (the windows call from the main
// thread, or from one helper thread while the main thread waits for it). Burn and Erase return
// at once; the work runs on the component's own thread, which reports through the events. The
// events run on the main thread (CallInMainThread) and the worker waits until they have run.
// Exactly one done event (OnBurnDone or OnEraseDone) ends every Burn or Erase, also when the
// work cannot start; its Error is empty on success.
//
// Failures: operations that can fail return false (or leave nothing) and set LastError and
// GetLastErrorText; misuse (an inactive component, a drive operation while Burn or Erase runs)
// throws EDiscBurnerError.
//
// Drives: the optical drives libburn finds, then the pseudo-drives named in the environment
// variable QUILLET_BURN_DRIVES: "stdio:" addresses separated by ';' (an image file stands in
// for a disc, e.g. "stdio:/tmp/disc.iso"; "stdio:" alone is a drive without a disc).
#pragma once

#include "burn/TDiscProject.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace burn {
struct burn_drive;
struct burn_drive_info;
struct burn_source;
} // namespace burn

class EDiscBurnerError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Error codes of LastError besides those of libburn (positive) and libisofs (negative).
enum TBurnerError : int {
  beNone = 0,
  beNotInitialized = 4096, // libburn could not start
  beOneActive = 4099,      // another component is active in this process
  beNoDrive = 4100,        // no drive selected, or it cannot be opened
  beNoProject = 4101,      // AddFile or Prepare without a data project
  beCannotRead = 4102,     // AddFile: the source cannot be read
  beEmptyProject = 4103,   // nothing to burn
  beNotBlank = 4104,       // the disc cannot take a new data disc
  beNoSpace = 4105,        // the image is larger than the free space
  beNotErasable = 4106,    // the disc cannot be erased
  beCancelled = 4107,      // Abort during Burn
  beWriteFailed = 4108,    // the engine gave no reason
  beImageIsSource = 4109,  // the image file of a stdio: drive is one of the files to burn
  beImageHoldsData = 4110, // the image file holds other data and replacing it was not allowed
};

// ptISOUDF: ISO 9660 with Joliet and Rock Ridge (no library on Linux writes UDF).
enum TProjectType { ptNone, ptISOUDF };
enum TOptionSwitch { osFinalize, osUnderrunProtection, osEjectAfterBurn };

struct TBurnOptions {
  std::set<TOptionSwitch> Switches{osFinalize, osUnderrunProtection, osEjectAfterBurn};
  int64_t CacheSize = 16777216; // bytes of the write cache (fifo)
  std::string VolumeLabel;
  // Lets Prepare replace an image file that holds other data (see ImageHoldsOtherData).
  bool ReplaceOtherData = false;
};

struct TDeviceInfo {
  std::string VendorID;
  std::string ProductID;
};

struct TMediumInfo {
  std::string MediumType;     // libburn's profile name, "" without a disc
  int MediumTypeCode = 0;     // MMC profile number; 0 = no disc
  int64_t MediumFreeSize = 0; // bytes
};

class TDiscBurner {
public:
  using TNotifyEvent = std::function<void(TDiscBurner *Sender)>;
  using TProcessEvent = std::function<void(TDiscBurner *Sender, float Percent, float DeviceBuffer,
                                           float Cache, double BytesWritten, double ImageSize)>;
  using TDoneEvent = std::function<void(TDiscBurner *Sender, const std::string &Error)>;

  static constexpr const char *PseudoDrivesVariable = "QUILLET_BURN_DRIVES";
  static constexpr int MaxDevices = 26;

  TDiscBurner() = default;
  // Aborts a running burn and waits for its done event (serving the main thread meanwhile).
  ~TDiscBurner();
  TDiscBurner(const TDiscBurner &) = delete;
  TDiscBurner &operator=(const TDiscBurner &) = delete;

  bool Active() const { return FActive; }
  // True starts libburn (one active component per process); false releases everything.
  void SetActive(bool Value);
  int LastError() const;
  std::string GetLastErrorText() const;

  // Lists the drives again (releasing the selected one); at most MaxDevices.
  void GetDevices();
  int DeviceCount() const { return int(FDevices.size()); }
  // Address of drive i (1-based): "/dev/sr0", "stdio:/tmp/disc.iso".
  std::string GetDevicesEntry(int i) const;
  TDeviceInfo GetDeviceInfo(int i) const;
  // Opens drive i (1-based) for all later drive operations.
  bool SetBurnDevice(int i);

  // KB/s (1000 bytes); -1 = the fastest. GetBurnSpeed tells the speed the drive grants.
  void SetBurnSpeed(int KBps);
  int GetBurnSpeed() const;
  // "16x": the speed in multiples of the medium's 1x speed (DVD without a disc), rounded.
  std::string SpeedToText(int KBps) const;

  // Reads the disc in the selected drive into MediumInfo.
  bool GetMediumInformation();
  const TMediumInfo &MediumInfo() const { return FMedium; }

  // The data project.
  void ClearAll();
  TProjectType ProjectType() const { return FProjectType; }
  void SetProjectType(TProjectType Value);
  const TBurnOptions &Options() const { return FOptions; }
  void SetOptions(const TBurnOptions &Value);
  // Adds a readable file to the root folder under FileName (made unique).
  bool AddFile(const std::string &SourceFilePath, const std::string &FileName);
  int64_t ProjectSize() const { return FProject.Size(); }
  int ProjectFileCount() const { return FProject.FileCount(); }

  // The file the selected stdio: drive writes ("" for an optical drive or "stdio:" alone).
  std::string ImageFilePath() const;
  // Whether that file is a non-empty regular file that is not an ISO 9660 image: a burn would
  // replace data that no burn wrote.
  bool ImageHoldsOtherData() const;

  // Checks the project against the disc in the selected drive and builds the image. Refuses an
  // image file that is one of the project's files, and one that holds other data unless the
  // options allow replacing it.
  bool Prepare();
  // The project's files that the last image left out: gone, or no longer regular files, since
  // they were added.
  const std::vector<std::string> &LeftOutFiles() const { return FLeftOut; }
  // Start the work and return at once; see the events.
  void Burn();
  void Erase(bool Fast, bool EjectAfterErase);
  // Asks a running Burn to stop; its OnBurnDone follows with beCancelled's text.
  void Abort() { FAbortRequested = true; }
  bool Busy() const { return FBusy; }

  TProcessEvent OnProcess;
  TNotifyEvent OnFinalize;
  TDoneEvent OnBurnDone;
  TDoneEvent OnEraseDone;

private:
  struct TDevice {
    std::string Address;
    TDeviceInfo Info;
  };

  void RequireActive() const;
  void RequireIdle() const;
  bool Fail(int Code, const std::string &Text);
  bool FailFromEngine(int FallbackCode, const std::string &FallbackText);
  void ClearError() { Fail(beNone, {}); }
  bool Grab(const std::string &Address);
  void Release(bool Eject);
  void Regrab(bool Eject);
  void ScanOpticalDrives();
  void AddPseudoDrives();
  void DropImage();
  bool CheckBlankDisc();
  bool CheckImageFile();
  bool BuildImage();
  // The work threads; each returns the error text of its done event.
  std::string RunBurn();
  std::string RunErase(bool Fast, bool Eject);
  void StartWork(std::function<std::string()> Work, TDoneEvent TDiscBurner::*Event);
  void JoinWorker();

  bool FActive = false;
  mutable std::mutex FErrorLock;
  int FLastError = beNone;
  std::string FLastErrorText;

  std::vector<TDevice> FDevices;
  int FDeviceIndex = 0; // 1-based; 0 = none open
  burn::burn_drive_info *FDriveInfo = nullptr;
  burn::burn_drive *FDrive = nullptr;
  int FRequestedSpeed = -1;
  TMediumInfo FMedium;

  TProjectType FProjectType = ptNone;
  TBurnOptions FOptions;
  TDiscProject FProject;
  burn::burn_source *FImage = nullptr; // built by Prepare, consumed by Burn
  std::vector<std::string> FLeftOut;

  std::thread FWorker;
  std::atomic<bool> FBusy{false};
  std::atomic<bool> FAbortRequested{false};
};

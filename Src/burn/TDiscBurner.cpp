#include "burn/TDiscBurner.h"

#include "components/CallInMainThread.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include <libburn/libburn.h>

using namespace burn;

namespace {

using namespace std::chrono_literals;

// The component that owns libburn in this process, if any.
std::atomic<TDiscBurner *> ActiveBurner{nullptr};

constexpr int SectorSize = 2048;
constexpr auto PollInterval = 100ms;

// Rank of a libburn severity from SORRY (0) up.
int SeverityRank(const std::string &Severity) {
  static const char *const order[] = {"SORRY", "FAILURE", "FATAL", "ABORT"};
  for (int i = 3; i > 0; --i)
    if (Severity == order[i])
      return i;
  return 0;
}

// Drains libburn's message queue; returns the first of its most severe messages (SORRY or
// worse): the cause rather than the follow-ups.
bool TakeEngineMessage(int &Code, std::string &Text) {
  char text[BURN_MSGS_MESSAGE_LEN];
  char severity[80];
  int code = 0, osErrno = 0, best = -1;
  while (burn_msgs_obtain(const_cast<char *>("SORRY"), &code, text, &osErrno, severity) == 1) {
    if (SeverityRank(severity) <= best)
      continue;
    best = SeverityRank(severity);
    Code = code;
    Text = text;
  }
  return best >= 0;
}

void DiscardEngineMessages() {
  int code;
  std::string text;
  TakeEngineMessage(code, text);
}

// An inquiry text without the blanks that pad it.
std::string Trimmed(const char *Text) {
  std::string text = Text;
  text.erase(text.find_last_not_of(' ') + 1);
  text.erase(0, text.find_first_not_of(' '));
  return text;
}

// libburn's refusal while the thread of the previous job still ends (its drive already idle).
constexpr int EngineStillBusy = 0x20102;

// Starts a libburn job (burn_disc_write, burn_disc_erase) and waits until it has left the
// spawning state. A job refused because the previous one's thread has not ended yet is
// started again a little later. Returns false with the refusal's text otherwise.
bool StartEngineJob(burn_drive *Drive, const std::function<void()> &Start, std::string &Error) {
  for (int attempt = 0;; ++attempt) {
    DiscardEngineMessages();
    Start();
    while (burn_drive_get_status(Drive, nullptr) == BURN_DRIVE_SPAWNING)
      std::this_thread::sleep_for(10ms);
    int code = 0;
    if (burn_drive_get_status(Drive, nullptr) != BURN_DRIVE_IDLE || !TakeEngineMessage(code, Error))
      return true; // running, or already done
    if (code != EngineStillBusy || attempt == 100)
      return false;
    std::this_thread::sleep_for(50ms);
  }
}

bool IsProfileIn(int Profile, int First, int Last) {
  return Profile >= First && Profile <= Last;
}

// KB/s of 1x for a profile: CD, BD, else DVD (also without a disc).
double OneXSpeed(int Profile) {
  if (IsProfileIn(Profile, 0x08, 0x0a))
    return 176.4;
  if (IsProfileIn(Profile, 0x40, 0x43))
    return 4496.0;
  return 1385.0;
}

struct TBurnObjects {
  burn_disc *Disc = burn_disc_create();
  burn_session *Session = burn_session_create();
  burn_track *Track = burn_track_create();
  burn::burn_source *Image = nullptr;
  burn::burn_source *Fifo = nullptr;
  burn_write_opts *Options = nullptr;
  bool Finished = false; // the image was read to its end

  ~TBurnObjects() {
    if (Image && !Finished)
      Image->cancel(Image); // ends libisofs's generator thread
    if (Options)
      burn_write_opts_free(Options);
    if (Fifo)
      burn_source_free(Fifo);
    if (Image)
      burn_source_free(Image);
    burn_track_free(Track);
    burn_session_free(Session);
    burn_disc_free(Disc);
  }
};

float Ratio(double Part, double Whole) {
  return Whole > 0 ? float(100.0 * Part / Whole) : 0.0f;
}

} // namespace

TDiscBurner::~TDiscBurner() {
  OnProcess = nullptr;
  OnFinalize = nullptr;
  OnBurnDone = nullptr;
  OnEraseDone = nullptr;
  if (FActive)
    SetActive(false);
}

// ---- state and errors -----------------------------------------------------------------------

void TDiscBurner::SetActive(bool Value) {
  if (Value == FActive)
    return;
  if (!Value) {
    FAbortRequested = true;
    JoinWorker();
    DropImage();
    Release(false);
    FDevices.clear();
    burn_finish();
    FActive = false;
    ActiveBurner = nullptr;
    return;
  }
  TDiscBurner *none = nullptr;
  if (!ActiveBurner.compare_exchange_strong(none, this)) {
    Fail(beOneActive, "Only one instance of internal module can be active at a time");
    return;
  }
  if (!burn_initialize()) {
    ActiveBurner = nullptr;
    Fail(beNotInitialized, "SDK DLL is not initialized");
    return;
  }
  // Messages are queued for LastError and never printed.
  burn_msgs_set_severities(const_cast<char *>("SORRY"), const_cast<char *>("NEVER"),
                           const_cast<char *>("libburn: "));
  FActive = true;
  ClearError();
}

int TDiscBurner::LastError() const {
  std::lock_guard lock(FErrorLock);
  return FLastError;
}

std::string TDiscBurner::GetLastErrorText() const {
  std::lock_guard lock(FErrorLock);
  return FLastErrorText;
}

bool TDiscBurner::Fail(int Code, const std::string &Text) {
  std::lock_guard lock(FErrorLock);
  FLastError = Code;
  FLastErrorText = Text;
  return Code == beNone;
}

bool TDiscBurner::FailFromEngine(int FallbackCode, const std::string &FallbackText) {
  int code = FallbackCode;
  std::string text = FallbackText;
  TakeEngineMessage(code, text);
  return Fail(code, text);
}

void TDiscBurner::RequireActive() const {
  if (!FActive)
    throw EDiscBurnerError("internal module must be active for this function");
}

void TDiscBurner::RequireIdle() const {
  RequireActive();
  if (FBusy)
    throw EDiscBurnerError("The drive is busy with a burn or an erase.");
}

// ---- drives ---------------------------------------------------------------------------------

void TDiscBurner::GetDevices() {
  RequireIdle();
  Release(false);
  FDevices.clear();
  ScanOpticalDrives();
  AddPseudoDrives();
  if (FDevices.size() > size_t(MaxDevices))
    FDevices.resize(MaxDevices);
  ClearError();
}

void TDiscBurner::ScanOpticalDrives() {
  burn_drive_info *infos = nullptr;
  unsigned count = 0;
  while (!burn_drive_scan(&infos, &count))
    std::this_thread::sleep_for(10ms);
  for (unsigned i = 0; i < count; ++i) {
    char address[BURN_DRIVE_ADR_LEN];
    if (burn_drive_get_adr(&infos[i], address) > 0)
      FDevices.push_back({address, {Trimmed(infos[i].vendor), Trimmed(infos[i].product)}});
  }
  if (infos)
    burn_drive_info_free(infos); // unlocks the drives until one is opened
  DiscardEngineMessages();
}

void TDiscBurner::AddPseudoDrives() {
  const char *list = std::getenv(PseudoDrivesVariable);
  std::string rest = list ? list : "";
  while (!rest.empty()) {
    const size_t end = rest.find(';');
    const std::string address = rest.substr(0, end);
    rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
    // "stdio:" alone is libburn's drive without a disc.
    if (address.rfind("stdio:", 0) == 0)
      FDevices.push_back({address, {"Image", "file"}});
  }
}

std::string TDiscBurner::GetDevicesEntry(int i) const {
  RequireActive();
  return i >= 1 && i <= DeviceCount() ? FDevices[i - 1].Address : std::string();
}

TDeviceInfo TDiscBurner::GetDeviceInfo(int i) const {
  RequireActive();
  return i >= 1 && i <= DeviceCount() ? FDevices[i - 1].Info : TDeviceInfo();
}

bool TDiscBurner::Grab(const std::string &Address) {
  DiscardEngineMessages();
  std::string address = Address;
  if (burn_drive_scan_and_grab(&FDriveInfo, address.data(), 0) != 1) {
    FDriveInfo = nullptr;
    return FailFromEngine(beNoDrive, "Cannot open the drive " + Address);
  }
  FDrive = FDriveInfo[0].drive;
  burn_drive_set_speed(FDrive, 0, FRequestedSpeed > 0 ? FRequestedSpeed : 0);
  return true;
}

void TDiscBurner::Release(bool Eject) {
  if (FDrive)
    burn_drive_release(FDrive, Eject ? 1 : 0);
  if (FDriveInfo)
    burn_drive_info_free(FDriveInfo);
  FDrive = nullptr;
  FDriveInfo = nullptr;
  FMedium = {};
}

// After a write or an erase: open the drive again so that it reports the new disc state.
void TDiscBurner::Regrab(bool Eject) {
  const std::string address = FDevices[FDeviceIndex - 1].Address;
  Release(Eject);
  if (!Grab(address))
    FDeviceIndex = 0;
}

bool TDiscBurner::SetBurnDevice(int i) {
  RequireIdle();
  if (i < 1 || i > DeviceCount())
    return Fail(beNoDrive, "There is no drive " + std::to_string(i) + ".");
  if (i == FDeviceIndex && FDrive)
    return Fail(beNone, {});
  Release(false);
  FDeviceIndex = 0;
  if (!Grab(FDevices[i - 1].Address))
    return false;
  FDeviceIndex = i;
  return Fail(beNone, {});
}

// ---- speeds ---------------------------------------------------------------------------------

void TDiscBurner::SetBurnSpeed(int KBps) {
  RequireIdle();
  FRequestedSpeed = KBps;
  if (FDrive)
    burn_drive_set_speed(FDrive, 0, KBps > 0 ? KBps : 0);
}

int TDiscBurner::GetBurnSpeed() const {
  RequireActive();
  if (!FDrive)
    return 0;
  const int fastest = burn_drive_get_write_speed(FDrive);
  if (FRequestedSpeed <= 0 || FRequestedSpeed >= fastest)
    return fastest;
  burn_speed_descriptor *best = nullptr;
  if (burn_drive_get_best_speed(FDrive, FRequestedSpeed, &best, 0) > 0 && best)
    return best->write_speed;
  return burn_drive_get_min_write_speed(FDrive);
}

std::string TDiscBurner::SpeedToText(int KBps) const {
  return std::to_string(std::lround(KBps / OneXSpeed(FMedium.MediumTypeCode))) + "x";
}

// ---- media ----------------------------------------------------------------------------------

bool TDiscBurner::GetMediumInformation() {
  RequireIdle();
  FMedium = {};
  if (!FDrive)
    return Fail(beNoDrive, "No drive is selected.");
  DiscardEngineMessages();
  burn_drive_re_assess(FDrive, 0);
  // A drive that is still spinning up reports "unready" for a while.
  burn_disc_status status = burn_disc_get_status(FDrive);
  for (int tries = 0; status == BURN_DISC_UNREADY && tries < 100; ++tries) {
    std::this_thread::sleep_for(PollInterval);
    status = burn_disc_get_status(FDrive);
  }
  if (status == BURN_DISC_EMPTY || status == BURN_DISC_UNREADY)
    return Fail(beNone, {});
  int profile = 0;
  char name[80] = "";
  burn_disc_get_profile(FDrive, &profile, name);
  FMedium.MediumType = name;
  FMedium.MediumTypeCode = profile;
  if (status == BURN_DISC_BLANK || status == BURN_DISC_APPENDABLE)
    FMedium.MediumFreeSize = burn_disc_available_space(FDrive, nullptr);
  return Fail(beNone, {});
}

// ---- project --------------------------------------------------------------------------------

void TDiscBurner::ClearAll() {
  RequireIdle();
  FProject.Clear();
  DropImage();
  ClearError();
}

void TDiscBurner::SetProjectType(TProjectType Value) {
  RequireIdle();
  FProjectType = Value;
  DropImage();
}

void TDiscBurner::SetOptions(const TBurnOptions &Value) {
  RequireIdle();
  FOptions = Value;
  DropImage();
}

bool TDiscBurner::AddFile(const std::string &SourceFilePath, const std::string &FileName) {
  RequireIdle();
  if (FProjectType == ptNone)
    return Fail(beNoProject, "No data project is open.");
  // Non-blocking, so that a pipe or device among the sources cannot hang the caller.
  const int fd = open(SourceFilePath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    return Fail(beCannotRead, std::string("Cannot read the file: ") + std::strerror(error));
  }
  struct stat info;
  const bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  close(fd);
  if (!regular)
    return Fail(beCannotRead, "Cannot read the file: not a regular file");
  const std::string name =
      FileName.empty() ? SourceFilePath.substr(SourceFilePath.find_last_of('/') + 1) : FileName;
  FProject.Add(SourceFilePath, name);
  DropImage();
  return Fail(beNone, {});
}

void TDiscBurner::DropImage() {
  if (!FImage)
    return;
  FImage->cancel(FImage);
  burn_source_free(FImage);
  FImage = nullptr;
}

bool TDiscBurner::CheckBlankDisc() {
  const burn_disc_status status = burn_disc_get_status(FDrive);
  if (status == BURN_DISC_EMPTY)
    return Fail(beNotBlank, "Disc is not inserted.");
  if (status != BURN_DISC_BLANK)
    return Fail(beNotBlank, "The disc is not blank. Erase it or insert a blank disc.");
  return true;
}

std::string TDiscBurner::ImageFilePath() const {
  const std::string prefix = "stdio:";
  if (FDeviceIndex < 1 || FDeviceIndex > DeviceCount())
    return {};
  const std::string &address = FDevices[FDeviceIndex - 1].Address;
  return address.rfind(prefix, 0) == 0 ? address.substr(prefix.size()) : std::string();
}

bool TDiscBurner::ImageHoldsOtherData() const {
  const std::string path = ImageFilePath();
  struct stat info;
  if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size == 0)
    return false;
  // An ISO 9660 image has its primary volume descriptor in sector 16: type 1, "CD001".
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  char descriptor[6] = {};
  const bool got = fd >= 0 && pread(fd, descriptor, sizeof descriptor, 16 * 2048) == 6;
  if (fd >= 0)
    close(fd);
  const char signature[] = "\001CD001";
  return !got || std::memcmp(descriptor, signature, sizeof descriptor) != 0;
}

bool TDiscBurner::CheckImageFile() {
  const std::string path = ImageFilePath();
  if (path.empty())
    return true;
  for (const TDiscFile &file : FProject.Files()) {
    std::error_code ec;
    if (std::filesystem::equivalent(path, file.SourcePath, ec))
      return Fail(beImageIsSource,
                  "The image file " + path + " is one of the files to burn. " +
                      "Choose another image file or remove the file from the list.");
  }
  if (!FOptions.ReplaceOtherData && ImageHoldsOtherData())
    return Fail(beImageHoldsData,
                "The image file " + path +
                    " holds other data, not a disc image; it was left as it is. " +
                    "Choose another image file, or remove or empty this one.");
  return true;
}

bool TDiscBurner::Prepare() {
  RequireIdle();
  return BuildImage();
}

bool TDiscBurner::BuildImage() {
  DropImage();
  if (FProjectType == ptNone)
    return Fail(beNoProject, "No data project is open.");
  if (!FDrive)
    return Fail(beNoDrive, "No drive is selected.");
  if (FProject.FileCount() == 0)
    return Fail(beEmptyProject, "There are no files to burn.");
  if (!CheckBlankDisc() || !CheckImageFile())
    return false;
  ::burn_source *image = nullptr;
  const int r = FProject.CreateImage(FOptions.VolumeLabel, &image, FLeftOut);
  FImage = reinterpret_cast<burn::burn_source *>(image); // one C structure, two C++ names
  if (r < 0)
    return Fail(r, TDiscProject::ErrorText(r));
  const int64_t size = FImage->get_size(FImage);
  const int64_t space = burn_disc_available_space(FDrive, nullptr);
  if (size > space) {
    DropImage();
    return Fail(beNoSpace, "Not enough free space on the disc: the data needs " +
                               std::to_string(size) + " bytes, the disc has " +
                               std::to_string(space) + ".");
  }
  return Fail(beNone, {});
}

// ---- burning and erasing --------------------------------------------------------------------

void TDiscBurner::JoinWorker() {
  if (!FWorker.joinable())
    return;
  WaitInMainThread([this] { return !FBusy; });
  FWorker.join();
}

void TDiscBurner::StartWork(std::function<std::string()> Work, TDoneEvent TDiscBurner::*Event) {
  RequireIdle();
  JoinWorker();
  FBusy = true;
  FAbortRequested = false;
  FWorker = std::thread([this, Work = std::move(Work), Event] {
    const std::string error = Work();
    CallInMainThread([&] {
      if (this->*Event)
        (this->*Event)(this, error);
    });
    FBusy = false;
  });
}

void TDiscBurner::Burn() {
  StartWork([this] { return RunBurn(); }, &TDiscBurner::OnBurnDone);
}

void TDiscBurner::Erase(bool Fast, bool EjectAfterErase) {
  StartWork([this, Fast, EjectAfterErase] { return RunErase(Fast, EjectAfterErase); },
            &TDiscBurner::OnEraseDone);
}

std::string TDiscBurner::RunBurn() {
  // Not prepared since the last change: prepare now.
  if (!FImage && !BuildImage())
    return GetLastErrorText();
  TBurnObjects job;
  job.Image = std::exchange(FImage, nullptr);
  const double imageSize = double(job.Image->get_size(job.Image));
  const int chunks = int(std::max<int64_t>(FOptions.CacheSize / SectorSize, 32));
  job.Fifo = burn_fifo_source_new(job.Image, SectorSize, chunks, 0);
  burn_track_define_data(job.Track, 0, 0, 1, BURN_MODE1);
  burn_track_set_source(job.Track, job.Fifo);
  burn_session_add_track(job.Session, job.Track, BURN_POS_END);
  burn_disc_add_session(job.Disc, job.Session, BURN_POS_END);

  const auto &sw = FOptions.Switches;
  job.Options = burn_write_opts_new(FDrive);
  burn_write_opts_set_perform_opc(job.Options, 0);
  burn_write_opts_set_multi(job.Options, sw.count(osFinalize) ? 0 : 1);
  burn_write_opts_set_underrun_proof(job.Options, sw.count(osUnderrunProtection) ? 1 : 0);
  char reasons[BURN_REASONS_LEN] = "";
  if (burn_write_opts_auto_write_type(job.Options, job.Disc, reasons, 0) == BURN_WRITE_NONE) {
    Fail(beNotBlank, std::string("The disc cannot be written: ") + reasons);
    return GetLastErrorText();
  }

  std::string refusal;
  if (!StartEngineJob(
          FDrive, [&] { burn_disc_write(job.Options, job.Disc); }, refusal)) {
    Fail(beWriteFailed, refusal);
    return refusal;
  }
  bool finalized = false;
  auto finalize = [&] {
    finalized = true;
    CallInMainThread([this] {
      if (OnFinalize)
        OnFinalize(this);
    });
  };
  for (;; std::this_thread::sleep_for(PollInterval)) {
    burn_progress p;
    const burn_drive_status status = burn_drive_get_status(FDrive, &p);
    if (status == BURN_DRIVE_IDLE)
      break;
    if (FAbortRequested)
      burn_drive_cancel(FDrive);
    if (status == BURN_DRIVE_CLOSING_TRACK || status == BURN_DRIVE_CLOSING_SESSION) {
      if (!finalized)
        finalize();
      continue;
    }
    if (status != BURN_DRIVE_WRITING)
      continue;
    int fifoSize = 0, fifoFree = 0;
    char *fifoState = nullptr;
    burn_fifo_inquire_status(job.Fifo, &fifoSize, &fifoFree, &fifoState);
    const double written = double(p.sector) * SectorSize;
    const float buffer = Ratio(p.buffer_capacity - p.buffer_available, p.buffer_capacity);
    const float cache = Ratio(fifoSize - fifoFree, fifoSize);
    CallInMainThread([&] {
      if (OnProcess)
        OnProcess(this, Ratio(written, imageSize), buffer, cache, written, imageSize);
    });
  }
  const bool wroteWell = burn_drive_wrote_well(FDrive);
  job.Finished = wroteWell && !FAbortRequested;
  if (FAbortRequested)
    Fail(beCancelled, "Burning was cancelled.");
  else if (!wroteWell)
    FailFromEngine(beWriteFailed, "Burning failed.");
  else if (!finalized)
    finalize();
  const std::string error = job.Finished ? std::string() : GetLastErrorText();
  if (job.Finished)
    ClearError();
  Regrab(job.Finished && sw.count(osEjectAfterBurn));
  return error;
}

std::string TDiscBurner::RunErase(bool Fast, bool Eject) {
  if (!FDrive) {
    Fail(beNoDrive, "No drive is selected.");
    return GetLastErrorText();
  }
  DiscardEngineMessages();
  const burn_disc_status status = burn_disc_get_status(FDrive);
  const bool used = status == BURN_DISC_FULL || status == BURN_DISC_APPENDABLE;
  if (!burn_disc_erasable(FDrive) || (!used && status != BURN_DISC_BLANK)) {
    Fail(beNotErasable, "The disc in this drive cannot be erased.");
    return GetLastErrorText();
  }
  if (!used) { // a blank rewritable disc: nothing to erase
    ClearError();
    return {};
  }
  std::string refusal;
  if (!StartEngineJob(
          FDrive, [&] { burn_disc_erase(FDrive, Fast ? 1 : 0); }, refusal)) {
    Fail(beWriteFailed, refusal);
    return refusal;
  }
  while (burn_drive_get_status(FDrive, nullptr) != BURN_DRIVE_IDLE)
    std::this_thread::sleep_for(PollInterval);
  const bool erased = burn_drive_wrote_well(FDrive);
  if (erased)
    ClearError();
  else
    FailFromEngine(beWriteFailed, "Erasing failed.");
  const std::string error = erased ? std::string() : GetLastErrorText();
  Regrab(erased && Eject);
  return error;
}

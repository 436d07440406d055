#include "shell/TEncoderCheck.h"

#include "components/TFFLoader.h"
#include "components/encoder/EncoderProbe.h"
#include "shell/settings/SettingsLists.h"

#include <QMetaObject>

namespace {

std::vector<std::string> HardwareEncoderNames() {
  std::vector<std::string> Names;
  for (const char *Item : H264Hardware)
    Names.push_back(EncoderOfItem(Item));
  for (const char *Item : H265Hardware)
    Names.push_back(EncoderOfItem(Item));
  return Names;
}

} // namespace

TEncoderCheck::TEncoderCheck(QObject *parent) : QObject(parent) {}

TEncoderCheck::~TEncoderCheck() {
  if (FWorker.joinable())
    FWorker.join();
}

void TEncoderCheck::Start(const QString &ALibraryPath) {
  if (!FFLoader().Loaded(EncoderLibraries)) {
    FFLoader().LibraryPath = ALibraryPath.toStdString();
    FFLoader().Load(EncoderLibraries);
  }
  FLoaded = FFLoader().Loaded(EncoderLibraries);
  if (!FLoaded || FWorker.joinable())
    return;
  // The result comes back as a queued call; the destructor waits for the thread, and Qt drops
  // the call once this object is gone.
  FWorker = std::thread([this] {
    const std::vector<std::string> Found = OpenableHardwareEncoders(HardwareEncoderNames());
    QStringList Names;
    for (const std::string &Name : Found)
      Names << QString::fromStdString(Name);
    QMetaObject::invokeMethod(
        this,
        [this, Names] {
          FHardware = Names;
          emit HardwareChecked();
        },
        Qt::QueuedConnection);
  });
}

bool TEncoderCheck::Available(const std::string &AEncoder) const {
  if (IsHardwareEncoder(AEncoder))
    return FHardware.contains(QString::fromStdString(AEncoder));
  return !FLoaded || HasEncoder(AEncoder);
}

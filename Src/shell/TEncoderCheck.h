// Which encoders the settings lists may offer: software encoders that the loaded libavcodec
// has, and hardware encoders that open on a device of this machine. The libraries are loaded
// on the main thread when the check starts; the hardware encoders are tried once, on a worker
// thread, and reported by HardwareChecked on the main thread.
#pragma once

#include <QObject>
#include <QStringList>

#include <string>
#include <thread>

class TEncoderCheck : public QObject {
  Q_OBJECT
public:
  explicit TEncoderCheck(QObject *parent = nullptr);
  ~TEncoderCheck() override; // waits for the hardware check

  // Loads the encoder libraries from ALibraryPath and starts the hardware check.
  void Start(const QString &ALibraryPath);

  // Whether the lists may offer AEncoder (a libavcodec encoder name). Without the libraries
  // every software encoder counts as there (the job then reports what is missing); a hardware
  // encoder only once the check has opened it.
  bool Available(const std::string &AEncoder) const;

signals:
  void HardwareChecked();

private:
  bool FLoaded = false;
  QStringList FHardware; // hardware encoders that opened; main thread only
  std::thread FWorker;
};

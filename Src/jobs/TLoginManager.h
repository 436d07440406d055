// TLoginManager: the session's power through systemd-logind (org.freedesktop.login1 on the
// system bus; DBUS_SYSTEM_BUS_ADDRESS points elsewhere). Holds a sleep and idle inhibitor while
// a job runs, and asks for suspend or power-off without an authentication dialog.
//
// Every call is asynchronous, so that a slow or missing logind never freezes a window; a
// refusal comes back through Failed. Main thread only.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

class TLoginManager : public QObject {
  Q_OBJECT
public:
  explicit TLoginManager(QObject *AParent = nullptr);
  // Releases the inhibitor and leaves the bus.
  ~TLoginManager() override;

  // Blocks sleep and idle ("block" mode) until Release; AWhy is what logind shows.
  void Inhibit(const QString &AWhy);
  // Closes the inhibitor's descriptor (logind lets go of it then); also drops a reply to an
  // Inhibit still under way.
  void Release();
  bool Inhibiting() const { return FInhibitor >= 0; }
  void Suspend();
  void PowerOff();

signals:
  void Inhibited();
  // AMethod ("Inhibit", "Suspend", "PowerOff") was refused, or logind could not be reached.
  void Failed(const QString &AMethod, const QString &AMessage);

private:
  void CallManager(const QString &AMethod);

  QString FBusName; // this object's own connection, so that the address is read each time
  QDBusConnection FBus;
  int FInhibitor = -1;
  int FInhibitRequest = 0; // counts requests: a reply to an older one is dropped
};

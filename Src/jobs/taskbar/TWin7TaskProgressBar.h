// Mirrors a job's progress on the program's launcher/taskbar entry. On Linux this is the
// freedesktop launcher API: the D-Bus signal com.canonical.Unity.LauncherEntry.Update on the
// session bus. Without a session bus (or without a window handle) the setters only record what
// the semantics below allow and nothing is sent. Main thread only.
#pragma once

#include <QDBusConnection>
#include <QString>
#include <QVariantMap>
#include <cstdint>
#include <memory>

enum TTaskBarProgressStyle { tbpsNone, tbpsIndeterminate, tbpsNormal, tbpsError, tbpsPaused };

// Taskbar state flag of a style (no progress 0, indeterminate 1, normal 2, error 4, paused 8).
int TaskBarStateFlag(TTaskBarProgressStyle style);

// The platform side: one launcher entry on a connected bus. Remembers what it last sent.
class TLauncherEntry {
public:
  TLauncherEntry(QDBusConnection bus, QString appUri);
  void SetProgressState(int stateFlag);
  void SetProgressValue(int value, int max);

  QString AppUri() const { return FAppUri; }
  QVariantMap LastSent() const { return FLastSent; }
  int SentCount() const { return FSentCount; }

private:
  void Send(const QVariantMap &properties);

  QDBusConnection FBus;
  QString FAppUri;
  QVariantMap FLastSent;
  int FSentCount = 0;
};

class TWin7TaskProgressBar {
public:
  // Desktop entry the launcher matches the progress to.
  static constexpr const char *DefaultAppUri = "application://example.sablewick.Quillet.desktop";

  explicit TWin7TaskProgressBar(uintptr_t AHandle,
                                const QDBusConnection &bus = QDBusConnection::sessionBus(),
                                const QString &appUri = QString::fromLatin1(DefaultAppUri));
  ~TWin7TaskProgressBar();
  TWin7TaskProgressBar(const TWin7TaskProgressBar &) = delete;
  TWin7TaskProgressBar &operator=(const TWin7TaskProgressBar &) = delete;

  uintptr_t glHandle = 0;
  uint8_t glMin = 0;
  int glMax = 0;
  int glValue = 0;
  TTaskBarProgressStyle glStyle = tbpsNone;
  bool glVisible = false;
  bool glMarquee = false;
  // Null when the launcher service is unavailable.
  std::unique_ptr<TLauncherEntry> glTaskBarInterface;

  int Max() const { return glMax; }
  void SetMax(int v);
  uint8_t Min() const { return glMin; }
  void SetMin(uint8_t v) { glMin = v; }
  int Progress() const { return glValue; }
  void SetProgress(int v);
  bool Marquee() const { return glMarquee; }
  void SetMarquee(bool v);
  TTaskBarProgressStyle Style() const { return glStyle; }
  void SetStyle(TTaskBarProgressStyle s);
  bool Visible() const { return glVisible; }
  void SetVisible(bool v);

private:
  bool Connected() const { return glTaskBarInterface && glHandle != 0; }
};

#include "jobs/taskbar/TWin7TaskProgressBar.h"

#include <QCryptographicHash>
#include <QDBusMessage>
#include <algorithm>

int TaskBarStateFlag(TTaskBarProgressStyle style) {
  switch (style) {
  case tbpsIndeterminate:
    return 1;
  case tbpsNormal:
    return 2;
  case tbpsError:
    return 4;
  case tbpsPaused:
    return 8;
  case tbpsNone:
    break;
  }
  return 0;
}

TLauncherEntry::TLauncherEntry(QDBusConnection bus, QString appUri)
    : FBus(std::move(bus)), FAppUri(std::move(appUri)) {}

void TLauncherEntry::SetProgressState(int stateFlag) {
  // The launcher knows only "progress shown" and "needs attention"; error asks for attention.
  Send({{QStringLiteral("progress-visible"), stateFlag != 0},
        {QStringLiteral("urgent"), stateFlag == TaskBarStateFlag(tbpsError)}});
}

void TLauncherEntry::SetProgressValue(int value, int max) {
  const double fraction = max > 0 ? std::clamp(double(value) / max, 0.0, 1.0) : 0.0;
  Send({{QStringLiteral("progress"), fraction}});
}

void TLauncherEntry::Send(const QVariantMap &properties) {
  const QByteArray id =
      QCryptographicHash::hash(FAppUri.toUtf8(), QCryptographicHash::Md5).toHex().left(16);
  QDBusMessage signal = QDBusMessage::createSignal(
      QStringLiteral("/com/canonical/unity/launcherentry/") + QString::fromLatin1(id),
      QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
  signal << FAppUri << properties;
  FBus.send(signal);
  for (auto it = properties.begin(); it != properties.end(); ++it)
    FLastSent.insert(it.key(), it.value());
  ++FSentCount;
}

TWin7TaskProgressBar::TWin7TaskProgressBar(uintptr_t AHandle, const QDBusConnection &bus,
                                           const QString &appUri)
    : glHandle(AHandle) {
  if (AHandle == 0 || !bus.isConnected())
    return;
  glTaskBarInterface = std::make_unique<TLauncherEntry>(bus, appUri);
  glTaskBarInterface->SetProgressState(TaskBarStateFlag(tbpsNone));
  SetMin(0);
  SetMax(100);
  SetProgress(10);
  SetStyle(tbpsNormal);
  SetVisible(glVisible);
}

TWin7TaskProgressBar::~TWin7TaskProgressBar() {
  if (glTaskBarInterface)
    glTaskBarInterface->SetProgressState(TaskBarStateFlag(tbpsNone));
}

void TWin7TaskProgressBar::SetProgress(int v) {
  if (!Connected())
    return;
  glValue = v;
  if (!glMarquee)
    glTaskBarInterface->SetProgressValue(v, glMax);
}

void TWin7TaskProgressBar::SetMax(int v) {
  glMax = v;
  SetProgress(glValue);
}

void TWin7TaskProgressBar::SetStyle(TTaskBarProgressStyle s) {
  if (Connected())
    glTaskBarInterface->SetProgressState(TaskBarStateFlag(s));
  glStyle = s;
}

void TWin7TaskProgressBar::SetVisible(bool v) {
  if (!v)
    SetStyle(tbpsNone);
  else if (glStyle != tbpsNormal)
    SetStyle(tbpsNormal);
  glVisible = v;
}

void TWin7TaskProgressBar::SetMarquee(bool v) {
  // Stored first, so that leaving the marquee re-sends the value instead of skipping it.
  glMarquee = v;
  if (v) {
    SetStyle(tbpsIndeterminate);
    return;
  }
  SetStyle(tbpsNone);
  if (glVisible) {
    SetProgress(glValue);
    SetStyle(tbpsNormal);
  }
}

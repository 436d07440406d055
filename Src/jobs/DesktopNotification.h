// One desktop notification through the session bus's org.freedesktop.Notifications service.
#pragma once

#include <QString>

// Sends the notification without waiting for an answer; false when no session bus is reachable.
bool NotifyDesktop(const QString &ASummary, const QString &ABody);

#include "shell/MainThreadDispatcher.h"

#include "components/CallInMainThread.h"

#include <QMetaObject>
#include <QObject>

void InstallMainThreadDispatcher(QObject *Context) {
  SetMainThreadDispatcher([Context](const std::function<void()> &serve) {
    QMetaObject::invokeMethod(
        Context, [serve] { serve(); }, Qt::QueuedConnection);
  });
}

// Installs the Qt dispatcher behind CallInMainThread: a worker's wake-up request is queued to
// the main thread's event loop, which then serves the worker's pending call (the worker itself
// blocks inside CallInMainThread until its call has run).
#pragma once

class QObject;

// Context must live on the main thread for the whole run (the application object does).
void InstallMainThreadDispatcher(QObject *Context);

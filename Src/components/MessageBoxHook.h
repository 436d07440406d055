// Message boxes of the core ("Information" after a log-file failure, ...). The core cannot
// show windows, so it goes through a replaceable handler; the application may install one
// that shows a real box. Without a handler the text goes to stderr.
#pragma once

#include <functional>
#include <string>

// Called on the thread that reports (the log thread, a worker): a window handler must hand the
// box to the main thread itself and should not block the caller for long.
using TMessageBoxHandler = std::function<void(const std::string &Caption, const std::string &Text)>;

// Installs the handler; an empty handler restores the stderr default.
void SetMessageBoxHandler(TMessageBoxHandler handler);
void ShowMessageBox(const std::string &Caption, const std::string &Text);

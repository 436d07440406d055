// The look and timers the small burn windows share.
#pragma once

#include <QTimer>
#include <functional>

class QDialog;
class QLabel;

// Borderless 348 x 68 window in light grey with a white panel of centred text; returns the
// panel.
QLabel *SetPanelWindowLook(QDialog *AWindow);

// A stopped one-shot timer of 10 ms that runs Action: it starts a window's action once the
// window is on screen.
QTimer *NewStartTimer(QObject *AOwner, const std::function<void()> &Action);

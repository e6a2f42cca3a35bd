#pragma once

#include "platform/zorder.h"

#include <memory>

class QTimer;
class QWidget;

// Keeps the main window above every other window while "Always On Top" is on: once a second it
// takes the topmost mark from whatever other window has the foreground, then raises the main
// window. Stopping it reverts nothing.
class TopmostKeeper
{
public:
    static constexpr int kIntervalMs = 1000;

    // `timer` and `window` belong to the main window. Without a z-order back end (a window system
    // with no foreground to read) the ticks do nothing and the window is given the toolkit's
    // stays-on-top hint instead.
    TopmostKeeper(QTimer *timer, QWidget *window, std::unique_ptr<platform::ZOrder> zorder);
    ~TopmostKeeper();

    void enableKeeper();
    void disableKeeper();
    void tick();

    bool isRunning() const;

private:
    QTimer *m_timer;
    QWidget *m_window;
    std::unique_ptr<platform::ZOrder> m_zorder;
};

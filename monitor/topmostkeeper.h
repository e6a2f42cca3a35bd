#pragma once

#include "controls.h"
#include "zorder.h"

#include <functional>

// Keeps the main window above every other window while "Always On Top" is on: once a second it
// takes the topmost mark from whatever window of another program has the foreground, then raises
// the main window. It remembers nothing between ticks, and stopping it reverts nothing.
class TopmostKeeper
{
public:
    static constexpr int kIntervalMs = 1000;

    // `mainWindow` gives the main window's native handle at the moment of each tick (a toolkit
    // may re-create it).
    TopmostKeeper(Timer &timer, platform::ZOrder &zorder,
                  std::function<platform::WindowId()> mainWindow);

    // At the main window's load: the timer's interval.
    void setup();
    void enableKeeper();
    void disableKeeper();
    void tick();

    bool isRunning() const { return m_timer.isRunning(); }

private:
    Timer &m_timer;
    platform::ZOrder &m_zorder;
    std::function<platform::WindowId()> m_mainWindow;
};

#include "topmostkeeper.h"

TopmostKeeper::TopmostKeeper(Timer &timer, platform::ZOrder &zorder,
                             std::function<platform::WindowId()> mainWindow)
    : m_timer(timer), m_zorder(zorder), m_mainWindow(std::move(mainWindow))
{}

void TopmostKeeper::setup()
{
    m_timer.setInterval(kIntervalMs);
}

void TopmostKeeper::enableKeeper()
{
    m_timer.start();
}

void TopmostKeeper::disableKeeper()
{
    m_timer.stop();
}

void TopmostKeeper::tick()
{
    const platform::WindowId self = m_mainWindow();
    const platform::WindowId foreground = m_zorder.foregroundWindow();
    if (foreground == self)
        return;
    // Demote the foreground window first, so that the main window ends above it; but not the
    // program's own settings window, which the system keeps above the main window that owns it:
    // on Windows taking its mark would take the owner's with it.
    if (foreground != 0 && !m_zorder.isOwnedBy(foreground, self))
        m_zorder.clearTopmost(foreground);
    m_zorder.setTopmost(self);
}

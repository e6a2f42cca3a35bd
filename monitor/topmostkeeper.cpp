#include "topmostkeeper.h"

#include <QTimer>
#include <QWidget>
#include <QWindow>

TopmostKeeper::TopmostKeeper(QTimer *timer, QWidget *window,
                             std::unique_ptr<platform::ZOrder> zorder)
    : m_timer(timer), m_window(window), m_zorder(std::move(zorder))
{
    m_timer->setInterval(kIntervalMs);
}

TopmostKeeper::~TopmostKeeper() = default;

void TopmostKeeper::enableKeeper()
{
    m_timer->start();
    if (!m_zorder) {
        // Set on the QWindow: QWidget::setWindowFlags() would hide and re-create the window.
        m_window->winId();
        if (QWindow *handle = m_window->windowHandle())
            handle->setFlag(Qt::WindowStaysOnTopHint, true);
    }
}

void TopmostKeeper::disableKeeper()
{
    m_timer->stop();
}

bool TopmostKeeper::isRunning() const
{
    return m_timer->isActive();
}

void TopmostKeeper::tick()
{
    if (!m_zorder)
        return;
    // Read the id afresh: the toolkit re-creates the native window on some changes.
    const QWindow *handle = m_window->windowHandle();
    if (!handle)
        return;
    const auto self = static_cast<platform::WindowId>(handle->winId());
    const platform::WindowId foreground = m_zorder->foregroundWindow();
    if (foreground == self)
        return;
    // Demote the foreground window first, so that the main window ends above it.
    if (foreground != 0)
        m_zorder->clearTopmost(foreground);
    m_zorder->setTopmost(self);
}

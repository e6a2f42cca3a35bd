#include "watcherslot.h"

#include "processprobe.h"

#include <QLineEdit>
#include <QTimer>

const QColor WatcherSlot::kRunningColor = QColor(0, 255, 0);
const QColor WatcherSlot::kNotRunningColor = QColor(255, 0, 0);

WatcherSlot::WatcherSlot(QLineEdit *box, QTimer *timer, ProcessProbe &probe)
    : m_box(box), m_timer(timer), m_probe(probe)
{}

void WatcherSlot::setup(bool enabled, const QString &name)
{
    m_timer->setInterval(kIntervalMs);
    if (enabled)
        m_timer->start();
    else
        m_timer->stop();
    m_box->setVisible(enabled);
    m_box->setText(name);
}

void WatcherSlot::enable()
{
    // A timer that already runs keeps its phase.
    if (!m_timer->isActive())
        m_timer->start();
    m_box->show();
}

void WatcherSlot::disable()
{
    m_timer->stop();
    m_box->hide();
}

void WatcherSlot::tick()
{
    const QString name = m_box->text();
    const bool running = !name.isEmpty() && m_probe.IsProcessRunning(name);
    paint(running ? kRunningColor : kNotRunningColor);
}

SlotState WatcherSlot::state() const
{
    const QColor shown = m_box->palette().color(QPalette::Base);
    if (shown == kRunningColor)
        return SlotState::Running;
    if (shown == kNotRunningColor)
        return SlotState::NotRunning;
    return SlotState::NotPolled;
}

void WatcherSlot::paint(const QColor &color)
{
    QPalette palette = m_box->palette();
    palette.setColor(QPalette::Base, color);
    m_box->setPalette(palette);
}

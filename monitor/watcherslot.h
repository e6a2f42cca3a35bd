#pragma once

#include <QColor>
#include <QString>

class QLineEdit;
class QTimer;
class ProcessProbe;

// What a slot's box shows. The box's background colour is the only record of it.
enum class SlotState
{
    NotPolled,
    Running,
    NotRunning
};

// One watch slot: a name box and a poll timer on the host window. While enabled, the slot asks
// the probe once a second whether a process of the box's name runs and paints the box.
class WatcherSlot
{
public:
    static constexpr int kIntervalMs = 1000;
    static const QColor kRunningColor;    // pure green
    static const QColor kNotRunningColor; // pure red

    // `box` and `timer` belong to the host and outlive the slot.
    WatcherSlot(QLineEdit *box, QTimer *timer, ProcessProbe &probe);

    // At the host's load: interval, running state, visibility and name.
    void setup(bool enabled, const QString &name);
    // Start the timer, then show the box.
    void enable();
    // Stop the timer, then hide the box; its last colour stays.
    void disable();
    // One poll: read the box's text, ask the probe, paint green or red.
    void tick();

    SlotState state() const;
    QLineEdit *box() const { return m_box; }
    QTimer *timer() const { return m_timer; }

private:
    void paint(const QColor &color);

    QLineEdit *m_box;
    QTimer *m_timer;
    ProcessProbe &m_probe;
};

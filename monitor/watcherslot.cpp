#include "watcherslot.h"

#include "processprobe.h"

#include <cassert>

WatcherSlot::WatcherSlot(NameBox &box, Timer &timer, ProcessProbe &probe)
    : m_box(box), m_timer(timer), m_probe(probe)
{}

void WatcherSlot::enable()
{
    if (!m_timer.isRunning())
        m_timer.start();
    m_box.setVisible(true);
}

void WatcherSlot::disable()
{
    m_timer.stop();
    m_box.setVisible(false);
}

void WatcherSlot::tick()
{
    const std::string name = m_box.text();
    const bool running = !name.empty() && m_probe.IsProcessRunning(name);
    m_state = running ? SlotState::Running : SlotState::NotRunning;
    // Written on every tick, also when it does not change.
    m_box.setBackground(running ? kRunningColour : kNotRunningColour);
}

namespace {

template <std::size_t... I>
std::array<WatcherSlot, sizeof...(I)> makeSlots(const std::array<NameBox *, sizeof...(I)> &boxes,
                                                const std::array<Timer *, sizeof...(I)> &timers,
                                                ProcessProbe &probe, std::index_sequence<I...>)
{
    return {WatcherSlot(*boxes[I], *timers[I], probe)...};
}

} // namespace

WatcherSlots::WatcherSlots(const std::array<NameBox *, kCount> &boxes,
                           const std::array<Timer *, kCount> &timers, ProcessProbe &probe)
    : m_slots(makeSlots(boxes, timers, probe, std::make_index_sequence<kCount>()))
{}

void WatcherSlots::setup(const std::array<bool, kCount> &enabled,
                         const std::array<std::string, kCount> &names)
{
    for (WatcherSlot &each : m_slots)
        each.timer().setInterval(WatcherSlot::kIntervalMs);
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        if (enabled[i])
            m_slots[i].timer().start();
        else
            m_slots[i].timer().stop();
    }
    for (std::size_t i = 0; i < m_slots.size(); ++i)
        m_slots[i].box().setVisible(enabled[i]);
    for (std::size_t i = 0; i < m_slots.size(); ++i)
        m_slots[i].box().setText(names[i]);
}

WatcherSlot &WatcherSlots::slot(int n)
{
    assert(n >= 1 && n <= kCount);
    return m_slots[static_cast<std::size_t>(n < 1 ? 0 : n > kCount ? kCount - 1 : n - 1)];
}

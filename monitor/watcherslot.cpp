#include "watcherslot.h"

#include "processprobe.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <utility>

std::string_view stateText(SlotState state)
{
    switch (state) {
    case SlotState::Running:
        return "running";
    case SlotState::NotRunning:
        return "not running";
    case SlotState::NotPolled:
        break;
    }
    return "not checked yet";
}

namespace {

// Relative luminance as the accessibility guidelines define it.
double luminance(Rgb colour)
{
    const auto linear = [](std::uint8_t channel) {
        const double c = channel / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.red) + 0.7152 * linear(colour.green) +
           0.0722 * linear(colour.blue);
}

} // namespace

Rgb readableText(Rgb background, Rgb systemText)
{
    const double a = luminance(background);
    const double b = luminance(systemText);
    const double contrast = (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
    return contrast >= 4.5 ? systemText : Rgb{0, 0, 0};
}

WatcherSlot::WatcherSlot(NameBox &box, Timer &timer, ProcessProbe &probe)
    : m_box(box), m_timer(timer), m_probe(probe)
{}

void WatcherSlot::nameChanged()
{
    m_name = m_box.text();
    describe();
}

void WatcherSlot::describe()
{
    const std::string_view state = stateText(m_state);
    m_box.setDescription(std::string(state));
    m_box.setToolTip((m_name.empty() ? std::string("(no name)") : m_name) + ": " +
                     std::string(state));
}

void WatcherSlot::enable(int firstTickMs)
{
    if (!m_timer.isRunning()) {
        // A first tick of its own length; the tick puts the slot's interval back.
        m_shortFirstTick = firstTickMs > 0 && firstTickMs != kIntervalMs;
        if (m_shortFirstTick)
            m_timer.setInterval(firstTickMs);
        m_timer.start();
    }
    m_box.setVisible(true);
}

void WatcherSlot::disable()
{
    m_timer.stop();
    m_box.setVisible(false);
}

void WatcherSlot::tick()
{
    if (m_shortFirstTick) {
        m_shortFirstTick = false;
        m_timer.setInterval(kIntervalMs);
    }
    const bool running = m_probe.IsProcessRunning(m_name);
    const SlotState was =
        std::exchange(m_state, running ? SlotState::Running : SlotState::NotRunning);
    if (m_state == was)
        return; // the box shows it already: nothing to paint or to say
    const Rgb background = running ? kRunningColour : kNotRunningColour;
    m_box.setBackground(background);
    m_box.setTextColour(readableText(background, m_systemText));
    // An edit of the name describes the box itself.
    describe();
    // Spoken at once only where the user is: a box without the focus tells its state when the
    // user comes to it, and a user busy elsewhere is not interrupted every second.
    if (m_box.hasFocus())
        m_box.announce(std::string(stateText(m_state)));
}

WatcherSlots::WatcherSlots(const std::vector<NameBox *> &boxes, const std::vector<Timer *> &timers,
                           ProcessProbe &probe, std::function<Clock::time_point()> now)
    : m_now(std::move(now))
{
    assert(boxes.size() == timers.size());
    m_slots.reserve(boxes.size());
    for (std::size_t i = 0; i < boxes.size() && i < timers.size(); ++i)
        m_slots.emplace_back(*boxes[i], *timers[i], probe);
}

void WatcherSlots::enable(int n)
{
    const bool othersRun =
        std::any_of(m_slots.begin(), m_slots.end(), [](WatcherSlot &s) { return s.isEnabled(); });
    if (slot(n).isEnabled() || !othersRun || !m_lastTick) {
        slot(n).enable();
        return;
    }
    using std::chrono::milliseconds;
    const auto interval = milliseconds(WatcherSlot::kIntervalMs);
    const auto sinceTick =
        std::chrono::duration_cast<milliseconds>(m_now() - *m_lastTick) % interval;
    auto firstTick = interval - sinceTick;
    if (firstTick < interval / 2)
        firstTick += interval;
    slot(n).enable(static_cast<int>(firstTick.count()));
}

void WatcherSlots::tick(int n)
{
    m_lastTick = m_now();
    slot(n).tick();
}

void WatcherSlots::setup(const std::vector<bool> &enabled, const std::vector<std::string> &names,
                         Rgb systemText)
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
    for (std::size_t i = 0; i < m_slots.size(); ++i) {
        m_slots[i].box().setText(names[i]);
        m_slots[i].setSystemText(systemText);
        m_slots[i].nameChanged();
    }
}

WatcherSlot &WatcherSlots::slot(int n)
{
    assert(n >= 1 && n <= count());
    return m_slots[static_cast<std::size_t>(std::clamp(n, 1, count()) - 1)];
}

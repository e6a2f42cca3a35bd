#pragma once

#include "controls.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class ProcessProbe;

// What a slot's box shows.
enum class SlotState
{
    NotPolled, // the box's own background, until the slot's first tick
    Running,
    NotRunning,
};

// The state in words, for those who cannot tell red from green: "running", "not running",
// "not checked yet".
std::string_view stateText(SlotState state);

// The text colour that stays readable on `background`: the system's window text colour where its
// contrast with the background is at least 4.5:1, black otherwise.
Rgb readableText(Rgb background, Rgb systemText);

// One watch slot: a name box and a poll timer on the host window. While enabled, the slot asks
// the probe once a second whether a process of the box's name runs and paints the box.
class WatcherSlot
{
public:
    static constexpr int kIntervalMs = 1000;
    static constexpr Rgb kRunningColour{0, 255, 0};    // pure green
    static constexpr Rgb kNotRunningColour{255, 0, 0}; // pure red

    WatcherSlot(NameBox &box, Timer &timer, ProcessProbe &probe);

    // The name as it stands was set or typed: the tooltip follows it, and the ticks ask for it.
    // The box's text is read here only, so that a tick costs the same for a name of any length.
    void nameChanged();
    // Start the timer (a running one keeps its phase), then show the box; the first tick comes
    // after `firstTickMs`, or one interval from now when it is 0.
    void enable(int firstTickMs = 0);
    // Stop the timer, then hide the box; its last colour stays.
    void disable();
    // One poll: ask the probe for the box's name, paint green or red; a change of state is
    // described in words, and announced when the box has the focus.
    void tick();

    SlotState state() const { return m_state; }
    bool isEnabled() const { return m_timer.isRunning(); }
    NameBox &box() { return m_box; }
    Timer &timer() { return m_timer; }

    // The system's window text colour, against which readability is judged.
    void setSystemText(Rgb colour) { m_systemText = colour; }

private:
    void describe();

    NameBox &m_box;
    Timer &m_timer;
    ProcessProbe &m_probe;
    std::string m_name; // the box's text as of the last nameChanged()
    SlotState m_state = SlotState::NotPolled;
    Rgb m_systemText{0, 0, 0};
    bool m_shortFirstTick = false;
};

// The slots of the main window, numbered from 1.
class WatcherSlots
{
public:
    using Clock = std::chrono::steady_clock;

    // Slot n's box and timer are boxes[n - 1] and timers[n - 1].
    WatcherSlots(const std::vector<NameBox *> &boxes, const std::vector<Timer *> &timers,
                 ProcessProbe &probe, std::function<Clock::time_point()> now = &Clock::now);

    // At the main window's load, across all slots in this order: every interval, every timer's
    // running state, every box's visibility, every box's text. `systemText` is the system's
    // window text colour. One entry per slot.
    void setup(const std::vector<bool> &enabled, const std::vector<std::string> &names,
               Rgb systemText);

    // A slot switched on while others run joins their phase, its first tick 0.5 to 1.5 s from
    // now: then one listing of the processes serves all of them each second.
    void enable(int n);
    void disable(int n) { slot(n).disable(); }
    void tick(int n);

    WatcherSlot &slot(int n); // n counts from 1
    int count() const { return static_cast<int>(m_slots.size()); }

private:
    std::vector<WatcherSlot> m_slots;
    std::function<Clock::time_point()> m_now;
    std::optional<Clock::time_point> m_lastTick;
};

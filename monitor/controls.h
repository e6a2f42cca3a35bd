#pragma once

#include <cstdint>
#include <string>

// The few controls of the host window that the monitoring needs, as small interfaces: each
// toolkit's window implements them, and the core drives them without knowing the toolkit.

// An exact colour: red, green and blue, 0 to 255 each.
struct Rgb
{
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    friend bool operator==(const Rgb &, const Rgb &) = default;
};

// A single-line box holding a process name, whose background shows the slot's state.
class NameBox
{
public:
    virtual ~NameBox() = default;

    // The text as it stands now (UTF-8), exactly as typed.
    virtual std::string text() const = 0;
    virtual void setText(const std::string &text) = 0;
    // The background that shows the slot's state; never set before the slot's first tick, so
    // that the box shows the system's own colours until then, and set again only when the state
    // changes: the view repaints at each call.
    virtual void setBackground(Rgb colour) = 0;
    virtual void setTextColour(Rgb colour) = 0;
    virtual void setVisible(bool visible) = 0;
    // What assistive technology reads out for the box beside its name, and what its tooltip
    // shows.
    virtual void setDescription(const std::string &description) = 0;
    virtual void setToolTip(const std::string &toolTip) = 0;
    // Whether the keyboard is in the box: its window is the active one and the box has the focus.
    virtual bool hasFocus() const = 0;
    // Has assistive technology say `text` now, as news of the box: a screen reader speaks it
    // while the focus stays where it is.
    virtual void announce(const std::string &text) = 0;
};

// A repeating timer of the host window; its ticks reach the core through the window's handler.
class Timer
{
public:
    virtual ~Timer() = default;

    // A running timer starts afresh: its next tick is one (new) interval from now.
    virtual void setInterval(int milliseconds) = 0;
    // Starts it, its first tick one interval from now; a timer that runs starts afresh.
    virtual void start() = 0;
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;
};

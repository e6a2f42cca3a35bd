#pragma once

#include "controls.h"
#include "twips.h"
#include "zorder.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class ZEL_VANTO_SETTINGS;

// What the behaviour of the two windows asks of a toolkit. Each toolkit's window implements
// its view: it creates the controls from the layout tables, passes every event to the
// behaviour's handler, and does what the behaviour asks. It decides nothing itself.

// A check box. Checking it here is not a click.
class CheckBox
{
public:
    virtual ~CheckBox() = default;
    virtual bool isChecked() const = 0;
    virtual void setChecked(bool checked) = 0;
};

// What both windows share: their place on the screens.
class WindowView
{
public:
    virtual ~WindowView() = default;

    // The screens' areas available to windows, the primary screen first, each with its dots per
    // inch (pixels = twips x dpi / 1440).
    virtual std::vector<ScreenArea> screens() const = 0;
    // Puts the frame's outer corner and the client area's size; before the window is shown.
    virtual void place(PixelPoint outerCorner, PixelSize clientSize) = 0;
    // The place and size of the window in its normal state, also while it is maximised or
    // minimised.
    virtual PixelPoint outerCorner() const = 0;
    virtual PixelSize clientSize() const = 0;
    // False where the window system does not tell a window where it stands (a Wayland session):
    // then nothing is stored for the place.
    virtual bool knowsPlace() const = 0;

    // Gives the keyboard focus to the control of this name (its name in the layout table).
    virtual void focus(std::string_view control) = 0;
    // The name of the control that has the focus in this window, or "" for none.
    virtual std::string focused() const = 0;
};

class SettingsView : public WindowView
{
public:
    virtual CheckBox &enableBox(int n) = 0; // n is 1..10
    virtual CheckBox &alwaysOnTopBox() = 0;
    virtual void setCreatorCaption(std::string_view caption) = 0;
    // Shows the window, modal over the main window, and returns once it has closed; meanwhile
    // its events go to `window`. The main window's timers keep ticking.
    virtual void runModal(ZEL_VANTO_SETTINGS &window) = 0;
    // Closes the window as its close control does: the unload runs.
    virtual void closeWindow() = 0;
};

class MainView : public WindowView
{
public:
    virtual NameBox &box(int n) = 0; // n is 1..10
    virtual Timer &slotTimer(int n) = 0;
    virtual Timer &keeperTimer() = 0;
    // Runs while typing in a box pauses; its tick saves the names typed.
    virtual Timer &nameSaveTimer() = 0;
    // The native handle of the window as it is now; 0 before it exists.
    virtual platform::WindowId windowId() = 0;
    // The system's colour for text in boxes, which the boxes keep where it stays readable.
    virtual Rgb windowTextColour() const = 0;
    // A new settings window, owned by this one, not shown yet.
    virtual std::unique_ptr<SettingsView> createSettingsView() = 0;
};

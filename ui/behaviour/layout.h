#pragma once

#include "controls.h"
#include "settingkeys.h"
#include "twips.h"
#include "windowplacement.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

// The two windows as designed: their captions, controls, places in twips, fonts, colours and
// fixed texts. Each toolkit builds its windows from these tables and adds nothing of its own.
namespace layout {

// The design's font is "MS Sans Serif"; where a system lacks it, the nearest in width stands in.
constexpr std::array<std::string_view, 5> kFontFamilies{"MS Sans Serif", "Microsoft Sans Serif",
                                                        "Liberation Sans", "Arial", "Nimbus Sans"};

struct Font
{
    double pointSize = 8.25;
    bool bold = false;
};

constexpr Font kWindowFont{8.25, false}; // both windows' default: check boxes, the button
constexpr Rgb kLabelText{0, 255, 0};     // the labels: green on black
constexpr Rgb kLabelBackground{0, 0, 0};

enum class Kind
{
    Label,
    TextBox,
    CheckBox,
    Button,
};

// What a control is for: each view forwards a control's events to the behaviour's handler for
// its role.
enum class Role
{
    Label,
    Title,       // the main window's title strip: opens the settings window
    NameBox,     // a slot's name box
    EnableBox,   // a slot's enable check box
    AlwaysOnTop, // the "Always On Top" check box
    Ok,
    Creator, // the credit line: a double-click shows the contact address
};

// The keys that the design binds, or deliberately leaves unbound.
enum class Key
{
    Space,
    Enter,
    Escape,
};

constexpr int kNoTab = -1;

struct Control
{
    std::string name; // the control's object name
    Kind kind;
    twips::Place place; // in the client area
    std::string caption;
    Font font;
    Role role = Role::Label;
    int slot = 0;          // 1..kSlotCount for a slot's box or check box
    int tabIndex = kNoTab; // its place in the tab order; kNoTab: it never takes the focus
    bool designVisible = true;
    bool designChecked = false;
    // Keys that act as a click while the control has the focus.
    std::vector<Key> clickKeys = {};
    // What assistive technology calls the control; empty: its caption.
    std::string accessibleName = {};
};

// A window as designed: its controls in the order they stack, the lowest first.
struct Window
{
    std::string_view objectName;
    std::string_view caption;
    std::vector<Control> controls;
    // Keys that the window binds to nothing, where a toolkit's own windows would act on them.
    std::vector<Key> unboundKeys = {};

    // The controls that take the focus, in tab order.
    std::vector<const Control *> tabOrder() const;
    const Control &find(Role role, int slot = 0) const;
    const Control *find(std::string_view name) const;
};

// Whether `key` pressed on `control` counts as a click on it.
bool clicks(const Control &control, Key key);

// The width of a focus frame, in pixels, drawn in the label text colour: it stands out against
// the black of the labels as the text does.
constexpr int kFocusFrameWidth = 2;

// The longest name a box keeps, in characters: no image name comes near it, and a box stays
// responsive at this length.
constexpr int kMaxNameLength = 32767;

namespace mainWindow {

// The title strip, then the boxes n = 1..10 (centred text, 360 twips apart; 375 high, so that
// adjacent borders coincide). Tab order: the ten boxes, then the title strip, which opens the
// settings window on a click, or on Space or Enter while it has the focus. It stacks above box 1,
// whose top border it overlaps.
const Window &window();
constexpr std::string_view kCaption = "ZEL-VANTO";
constexpr std::string_view kObjectName = "ZEL_VANTO_MAIN";
// 60 twips at the sides and the bottom, 300 for the caption and the top edge.
constexpr WindowPlacement::Allowances kAllowances{2 * 60, 300 + 60};
// A window of no use cannot be found again: it has no taskbar entry. It needs the title strip's
// height, room to click the strip, and its caption with the strip below it on a screen.
constexpr WindowPlacement::Reach kReach{225, 255, 300 + 255};

const Control &title();
const Control &box(int n); // n is 1..10
// A name that pauses for this long is saved, so that nothing typed is lost if the program ends
// without its unload (killed, or its display gone).
constexpr int kNameSavePauseMs = 1000;

} // namespace mainWindow

namespace settingsWindow {

// The header of five labels, the ten enable boxes in two columns (slots 1-5 left, 6-10 right, box
// 10 wider), "Always On Top" and OK. Tab order: the enable boxes, OK, "Always On Top" (the labels
// take no focus). Neither Enter nor Escape is bound: OK is no default button, and nothing cancels.
const Window &window();
constexpr std::string_view kCaption = "ZEL-VANTO - SETTINGS";
constexpr std::string_view kObjectName = "ZEL_VANTO_SETTINGS";
// The design's outer size (7320 x 4845) less its client area (7230 x 4515).
constexpr WindowPlacement::Allowances kAllowances{7320 - 7230, 4845 - 4515};
// The user cannot resize it, but a size set in the store is applied as it is, however small: only
// none, or one larger than the desktop, falls back. Its caption must be on a screen so that it can
// be moved.
constexpr WindowPlacement::Reach kReach{0, 0, 300};
// What a double-click on the credit line shows until the window closes.
constexpr std::string_view kContactAddress = "corvane@example.org";

const Control &creator();
const Control &enableBox(int n); // n is 1..10
const Control &alwaysOnTopBox();
const Control &okButton();

} // namespace settingsWindow

} // namespace layout

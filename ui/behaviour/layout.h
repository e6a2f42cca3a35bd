#pragma once

#include "controls.h"
#include "twips.h"
#include "windowplacement.h"

#include <array>
#include <string>
#include <string_view>

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

struct Control
{
    std::string name; // the control's object name
    Kind kind;
    twips::Place place; // in the client area
    std::string caption;
    Font font;
    // What assistive technology calls the control; empty: its caption.
    std::string accessibleName = {};
};

namespace mainWindow {

constexpr std::string_view kCaption = "ZEL-VANTO";
constexpr std::string_view kObjectName = "ZEL_VANTO_MAIN";
// 60 twips at the sides and the bottom, 300 for the caption and the top edge.
constexpr WindowPlacement::Allowances kAllowances{2 * 60, 300 + 60};
// A window of no use cannot be found again: it has no taskbar entry. It needs the title strip's
// height, room to click the strip, and its caption with the strip below it on a screen.
constexpr WindowPlacement::Reach kReach{225, 255, 300 + 255};

// The title strip: green on black; a click, or Space or Enter while it has the focus, opens the
// settings window.
const Control &title();
// Name box n (1..10): centred text. The boxes stand 360 twips apart and, 375 high, overlap
// their neighbours by 15 twips so that adjacent borders coincide.
const Control &box(int n);
// Tab order: the ten boxes, then the title strip.
// A name that pauses for this long is saved, so that nothing typed is lost if the program ends
// without its unload (killed, or its display gone).
constexpr int kNameSavePauseMs = 1000;

} // namespace mainWindow

namespace settingsWindow {

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

// The header, in table order: two labels, the credit across the full width, two labels.
const std::array<Control, 5> &labels();
const Control &creator(); // the credit line, one of the labels
// Check box n (1..10): slots 1-5 in the left column, 6-10 in the right; box 10 is wider.
const Control &enableBox(int n);
const Control &alwaysOnTopBox();
const Control &okButton();
// The design state of the check boxes, which the load replaces from the store.
constexpr int designValue(int n)
{
    return n <= 5 ? 1 : 0;
}
constexpr int kAlwaysOnTopDesignValue = 0;
// Tab order: the ten enable boxes, OK, the labels, "Always On Top" last.

} // namespace settingsWindow

} // namespace layout

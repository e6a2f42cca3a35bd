#include "layout.h"

#include <cassert>

namespace layout {

namespace {

std::size_t index(int n)
{
    assert(n >= 1 && n <= 10);
    return static_cast<std::size_t>(n < 1 ? 0 : n > 10 ? 9 : n - 1);
}

} // namespace

namespace mainWindow {

const Control &title()
{
    static const Control control{"ZEL_TITLE", Kind::Label,  {0, 0, 1575, 255},
                                 "ZEL-VANTO", {9.75, true}, "ZEL-VANTO settings"};
    return control;
}

const Control &box(int n)
{
    static const std::array<Control, 10> boxes = [] {
        std::array<Control, 10> all;
        for (int i = 1; i <= 10; ++i) {
            all[index(i)] = {"PROCESS_TEXTBOX_" + std::to_string(i),
                             Kind::TextBox,
                             {0, 240 + 360 * (i - 1), 1575, 375},
                             "",
                             {8.25, true},
                             "Process watcher " + std::to_string(i)};
        }
        return all;
    }();
    return boxes[index(n)];
}

} // namespace mainWindow

namespace settingsWindow {

const std::array<Control, 5> &labels()
{
    static const std::array<Control, 5> all{{
        {"ZEL_VANTO_TITLE_1",
         Kind::Label,
         {120, 120, 3735, 480},
         "TARNWICK - ZEL-VANTO",
         {12, true}},
        {"ZEL_VANTO_TITLE_2", Kind::Label, {3960, 120, 3135, 480}, "Sentrovia", {12, true}},
        {"ZEL_VANTO_CREATOR", Kind::Label, {120, 720, 6975, 450}, "Created By Corvane", {12, true}},
        {"VERSION_LABEL", Kind::Label, {120, 1200, 3735, 465}, "Version 1.0", {12, true}},
        {"FREEWARE_LABEL", Kind::Label, {3960, 1200, 3135, 465}, "!!! FREEWARE !!!", {12, true}},
    }};
    return all;
}

const Control &creator()
{
    return labels()[2];
}

const Control &enableBox(int n)
{
    static const std::array<Control, 10> boxes = [] {
        std::array<Control, 10> all;
        for (int i = 1; i <= 10; ++i) {
            const twips::Place place =
                i <= 5 ? twips::Place{960, 1800 + 360 * (i - 1), 2295, 255}
                       : twips::Place{4440, 1800 + 360 * (i - 6), i == 10 ? 2415 : 2295, 255};
            all[index(i)] = {"ENABLE_PW_" + std::to_string(i), Kind::CheckBox, place,
                             "Enable Process Watcher - " + std::to_string(i), kWindowFont};
        }
        return all;
    }();
    return boxes[index(n)];
}

const Control &alwaysOnTopBox()
{
    static const Control control{"AlwaysOnTopTimer_TICKBOX",
                                 Kind::CheckBox,
                                 {1440, 3840, 1575, 495},
                                 "Always On Top",
                                 kWindowFont};
    return control;
}

const Control &okButton()
{
    static const Control control{
        "OK_BUTTON", Kind::Button, {4560, 3840, 2055, 495}, "OK", kWindowFont};
    return control;
}

} // namespace settingsWindow

} // namespace layout

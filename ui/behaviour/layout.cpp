#include "layout.h"

#include <algorithm>
#include <cassert>

namespace layout {

std::vector<const Control *> Window::tabOrder() const
{
    std::vector<const Control *> order;
    for (const Control &control : controls) {
        if (control.tabIndex != kNoTab)
            order.push_back(&control);
    }
    std::sort(order.begin(), order.end(),
              [](const Control *a, const Control *b) { return a->tabIndex < b->tabIndex; });
    return order;
}

const Control &Window::find(Role role, int slot) const
{
    const auto found = std::find_if(controls.begin(), controls.end(), [&](const Control &c) {
        return c.role == role &&
               (slot == 0 || c.slot == static_cast<int>(keys::slotIndex(slot)) + 1);
    });
    assert(found != controls.end());
    return found != controls.end() ? *found : controls.front();
}

const Control *Window::find(std::string_view name) const
{
    const auto found = std::find_if(controls.begin(), controls.end(),
                                    [&](const Control &c) { return c.name == name; });
    return found != controls.end() ? &*found : nullptr;
}

bool clicks(const Control &control, Key key)
{
    return std::find(control.clickKeys.begin(), control.clickKeys.end(), key) !=
           control.clickKeys.end();
}

namespace {

std::string numbered(std::string_view prefix, int n)
{
    return std::string(prefix) + std::to_string(n);
}

} // namespace

namespace mainWindow {

const Window &window()
{
    static const Window design = [] {
        Window w{kObjectName, kCaption, {}};
        for (int n = 1; n <= keys::kSlotCount; ++n) {
            Control box{numbered("PROCESS_TEXTBOX_", n),
                        Kind::TextBox,
                        {0, 240 + 360 * (n - 1), 1575, 375},
                        "",
                        {8.25, true}};
            box.role = Role::NameBox;
            box.slot = n;
            box.tabIndex = n - 1;
            box.designVisible = keys::onByDefault(n);
            box.accessibleName = numbered("Process watcher ", n);
            w.controls.push_back(std::move(box));
        }
        Control title{"ZEL_TITLE", Kind::Label, {0, 0, 1575, 255}, "ZEL-VANTO", {9.75, true}};
        title.role = Role::Title;
        title.tabIndex = keys::kSlotCount;
        title.clickKeys = {Key::Space, Key::Enter};
        title.accessibleName = "ZEL-VANTO settings";
        w.controls.push_back(std::move(title));
        return w;
    }();
    return design;
}

const Control &title()
{
    return window().find(Role::Title);
}

const Control &box(int n)
{
    return window().find(Role::NameBox, n);
}

} // namespace mainWindow

namespace settingsWindow {

const Window &window()
{
    static const Window design = [] {
        Window w{kObjectName, kCaption, {}, {Key::Enter, Key::Escape}};
        // The labels hold tab positions 11 to 15 in the design, but take no focus.
        const auto label = [&w](const char *name, twips::Place place, const char *caption,
                                Role role = Role::Label) {
            Control control{name, Kind::Label, place, caption, {12, true}};
            control.role = role;
            w.controls.push_back(std::move(control));
        };
        label("ZEL_VANTO_TITLE_1", {120, 120, 3735, 480}, "TARNWICK - ZEL-VANTO");
        label("ZEL_VANTO_TITLE_2", {3960, 120, 3135, 480}, "Sentrovia");
        label("ZEL_VANTO_CREATOR", {120, 720, 6975, 450}, "Created By Corvane", Role::Creator);
        label("VERSION_LABEL", {120, 1200, 3735, 465}, "Version 1.0");
        label("FREEWARE_LABEL", {3960, 1200, 3135, 465}, "!!! FREEWARE !!!");
        for (int n = 1; n <= keys::kSlotCount; ++n) {
            const twips::Place place =
                n <= 5 ? twips::Place{960, 1800 + 360 * (n - 1), 2295, 255}
                       : twips::Place{4440, 1800 + 360 * (n - 6), n == 10 ? 2415 : 2295, 255};
            Control box{numbered("ENABLE_PW_", n), Kind::CheckBox, place,
                        numbered("Enable Process Watcher - ", n), kWindowFont};
            box.role = Role::EnableBox;
            box.slot = n;
            box.tabIndex = n - 1;
            box.designChecked = keys::onByDefault(n);
            w.controls.push_back(std::move(box));
        }
        Control ok{"OK_BUTTON", Kind::Button, {4560, 3840, 2055, 495}, "OK", kWindowFont};
        ok.role = Role::Ok;
        ok.tabIndex = 10;
        w.controls.push_back(std::move(ok));
        Control onTop{"AlwaysOnTopTimer_TICKBOX",
                      Kind::CheckBox,
                      {1440, 3840, 1575, 495},
                      "Always On Top",
                      kWindowFont};
        onTop.role = Role::AlwaysOnTop;
        onTop.tabIndex = 16;
        w.controls.push_back(std::move(onTop));
        return w;
    }();
    return design;
}

const Control &creator()
{
    return window().find(Role::Creator);
}

const Control &enableBox(int n)
{
    return window().find(Role::EnableBox, n);
}

const Control &alwaysOnTopBox()
{
    return window().find(Role::AlwaysOnTop);
}

const Control &okButton()
{
    return window().find(Role::Ok);
}

} // namespace settingsWindow

} // namespace layout

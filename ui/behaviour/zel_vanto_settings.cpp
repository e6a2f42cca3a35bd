#include "zel_vanto_settings.h"

#include "layout.h"
#include "settingsstore.h"
#include "topmostkeeper.h"
#include "views.h"
#include "watcherslot.h"

#include <algorithm>

namespace {

const WindowPlacement::Keys kPlacementKeys{keys::settingsLeft, keys::settingsTop,
                                           keys::settingsWidth, keys::settingsHeight};

// A check box's value: 1 checked, 0 unchecked; only a stored 1 checks it.
std::int16_t valueOf(const CheckBox &box)
{
    return box.isChecked() ? 1 : 0;
}

} // namespace

ZEL_VANTO_SETTINGS::ZEL_VANTO_SETTINGS(SettingsView &view, SettingsStore &store,
                                       WatcherSlots &slots, TopmostKeeper &keeper)
    : m_view(view), m_store(store), m_slots(slots), m_keeper(keeper)
{}

void ZEL_VANTO_SETTINGS::Form_Load()
{
    const std::vector<ScreenArea> screens = m_view.screens();
    // A modal window off every screen would leave the program unusable: bring it back.
    m_placement =
        WindowPlacement::load(m_store, kPlacementKeys, layout::settingsWindow::kAllowances)
            .rescued(screens, kPlacementKeys, layout::settingsWindow::kReach);
    const WindowPlacement::Pixels pixels = m_placement.on(screens);
    m_view.place(pixels.corner, pixels.client);

    // Setting a box to a value other than the one it shows counts as a click on it.
    CheckBox &onTop = m_view.alwaysOnTopBox();
    const bool onTopChecked = m_store.boxValue(keys::alwaysOnTop) == 1;
    if (onTop.isChecked() != onTopChecked) {
        onTop.setChecked(onTopChecked);
        AlwaysOnTopTimer_TICKBOX_Click();
    }
    for (int n = 1; n <= keys::kSlotCount; ++n) {
        CheckBox &box = m_view.enableBox(n);
        const bool checked = m_store.boxValue(keys::enablePw(n)) == 1;
        if (box.isChecked() != checked) {
            box.setChecked(checked);
            ENABLE_PW_Click(n);
        }
    }
    m_view.focus(layout::settingsWindow::enableBox(1).name);
}

void ZEL_VANTO_SETTINGS::ENABLE_PW_Click(int n)
{
    const std::int16_t value = valueOf(m_view.enableBox(n));
    if (value == 1)
        m_slots.enable(n);
    else
        m_slots.disable(n);
    m_store.save(keys::enablePw(n), value);
}

void ZEL_VANTO_SETTINGS::AlwaysOnTopTimer_TICKBOX_Click()
{
    const std::int16_t value = valueOf(m_view.alwaysOnTopBox());
    if (value == 1)
        m_keeper.enableKeeper();
    else
        m_keeper.disableKeeper();
    m_store.save(keys::alwaysOnTop, value);
}

void ZEL_VANTO_SETTINGS::OK_BUTTON_Click()
{
    SettingsStore::Batch position;
    addPosition(position);
    if (!position.empty())
        m_store.save(position);
    m_view.closeWindow();
}

bool ZEL_VANTO_SETTINGS::Form_KeyDown(layout::Key key)
{
    const auto &unbound = layout::settingsWindow::window().unboundKeys;
    return std::find(unbound.begin(), unbound.end(), key) != unbound.end();
}

void ZEL_VANTO_SETTINGS::ZEL_VANTO_CREATOR_DblClick()
{
    m_view.setCreatorCaption(layout::settingsWindow::kContactAddress);
}

void ZEL_VANTO_SETTINGS::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    SettingsStore::Batch batch;
    addPosition(batch);
    batch.add(keys::alwaysOnTop, valueOf(m_view.alwaysOnTopBox()));
    m_store.save(batch);
}

void ZEL_VANTO_SETTINGS::addPosition(SettingsStore::Batch &batch) const
{
    // The size is the design's and is never written; a place the window system does not report
    // is not written either.
    if (!m_view.knowsPlace())
        return;
    const WindowPlacement now =
        m_placement.now(m_view.outerCorner(), m_view.clientSize(), m_view.screens());
    batch.add(keys::settingsLeft, now.left).add(keys::settingsTop, now.top);
}

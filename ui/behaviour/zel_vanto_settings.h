#pragma once

#include "layout.h"
#include "settingsstore.h"
#include "windowplacement.h"

class SettingsView;
class TopmostKeeper;
class WatcherSlots;

// The settings window's behaviour: switches the ten watch slots and "Always On Top". Every check
// box acts at once on the running slots or keeper and on the store; OK only closes the window.
class ZEL_VANTO_SETTINGS
{
public:
    ZEL_VANTO_SETTINGS(SettingsView &view, SettingsStore &store, WatcherSlots &slots,
                       TopmostKeeper &keeper);

    // Reads the store, places the window and sets the boxes; a box whose stored value differs
    // from the value it shows counts as clicked. Once, before the window shows.
    void Form_Load();
    // Writes the window's place and the "Always On Top" choice; runs once.
    void Form_Unload();

    void ENABLE_PW_Click(int n);
    void AlwaysOnTopTimer_TICKBOX_Click();
    void OK_BUTTON_Click();
    void ZEL_VANTO_CREATOR_DblClick();
    // A key pressed in the window; true when the window takes it so that the toolkit must not
    // act on it (Enter and Escape, which the window binds to nothing).
    bool Form_KeyDown(layout::Key key);

private:
    void addPosition(SettingsStore::Batch &batch) const;

    SettingsView &m_view;
    SettingsStore &m_store;
    WatcherSlots &m_slots;
    TopmostKeeper &m_keeper;
    WindowPlacement m_placement; // as applied at load
    bool m_unloaded = false;
};

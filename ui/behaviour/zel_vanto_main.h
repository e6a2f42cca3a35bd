#pragma once

#include "layout.h"
#include "topmostkeeper.h"
#include "watcherslot.h"
#include "windowplacement.h"

#include <array>

class MainView;
class ProcessProbe;
class SettingsStore;

// The main window's behaviour: a title strip over a column of ten name boxes, one per watch
// slot. Its load restores place, size, names and enabled slots from the store; its unload writes
// place, size and names back. A click on the title strip opens the settings window.
class ZEL_VANTO_MAIN
{
public:
    ZEL_VANTO_MAIN(
        MainView &view, SettingsStore &store, ProcessProbe &probe, platform::ZOrder &zorder,
        std::function<WatcherSlots::Clock::time_point()> now = &WatcherSlots::Clock::now);

    // Reads the store and sets up the window and every timer; once, before the window shows.
    void Form_Load();
    // Writes geometry, then the ten names; runs once, however the program is asked to end.
    void Form_Unload();
    // Writes what the unload writes, without unloading: for a session that may yet go on.
    void saveState();

    void ZEL_TITLE_Click();
    // A key pressed on the control of this name; true when it acted as a click on it.
    bool KeyDown(std::string_view control, layout::Key key);
    void PROCESS_WATCHER_TIMER_Timer(int n);
    void AlwaysOnTopTimer_Timer();
    // The user changed the text of box n (not the load setting it).
    void PROCESS_TEXTBOX_Change(int n);
    void PROCESS_TEXTBOX_LostFocus(int n);
    void NameSaveTimer_Timer();

    WatcherSlots &watcherSlots() { return m_slots; }
    TopmostKeeper &keeper() { return m_keeper; }

private:
    // The first visible box; with none, the title strip.
    void focusFirstControl();
    void saveTypedNames();

    MainView &m_view;
    SettingsStore &m_store;
    WatcherSlots m_slots;
    TopmostKeeper m_keeper;
    WindowPlacement m_placement;                  // as applied at load
    std::array<bool, keys::kSlotCount> m_typed{}; // names typed and not saved yet
    bool m_unloaded = false;
};

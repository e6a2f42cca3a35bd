#pragma once

#include "monitor/processprobe.h"
#include "monitor/topmostkeeper.h"
#include "monitor/watcherslot.h"
#include "windowplacement.h"

#include <QWidget>
#include <array>
#include <memory>

class ClickLabel;
class QLineEdit;
class QTimer;
class SettingsStore;

// The main window: a title strip over a column of ten name boxes, one per watch slot. Its load
// restores place, size, names and enabled slots from the store; its unload writes place, size
// and names back. Closing it ends the program.
class ZEL_VANTO_MAIN : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kSlotCount = 10;

    ZEL_VANTO_MAIN(SettingsStore &store, std::unique_ptr<ProcessProbe> probe,
                   QWidget *parent = nullptr);
    ~ZEL_VANTO_MAIN() override;

    // Reads the store and sets up the window and every timer; call once, before show().
    void Form_Load();
    // Writes geometry, then the ten names; runs once, however the program is asked to end.
    void Form_Unload();
    // Writes what the unload writes, without unloading: for a session that may yet go on.
    void saveState();

    // What the settings window switches (slot n is 1..10).
    void enable(int n);
    void disable(int n);
    void enableKeeper();
    void disableKeeper();

    WatcherSlot &watcherSlot(int n);
    TopmostKeeper &keeper() { return *m_keeper; }
    SettingsStore &store() { return m_store; }

signals:
    // The unload has run and the window is gone: the program may end.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void ZEL_TITLE_Click();
    void PROCESS_WATCHER_TIMER_Timer(int n);
    void AlwaysOnTopTimer_Timer();

    SettingsStore &m_store;
    std::unique_ptr<ProcessProbe> m_probe;
    ClickLabel *m_title = nullptr;
    std::array<QLineEdit *, kSlotCount> m_boxes{};
    std::array<QTimer *, kSlotCount> m_timers{};
    std::array<std::unique_ptr<WatcherSlot>, kSlotCount> m_slots;
    QTimer *m_alwaysOnTopTimer = nullptr;
    std::unique_ptr<TopmostKeeper> m_keeper;
    WindowPlacement m_placement; // as applied at load
    bool m_unloaded = false;
};

#include "zel_vanto_main.h"

#include "layout.h"
#include "settingsstore.h"
#include "views.h"
#include "zel_vanto_settings.h"

namespace {

template <typename T, typename Make> std::vector<T *> perSlot(Make make)
{
    std::vector<T *> all;
    for (int n = 1; n <= keys::kSlotCount; ++n)
        all.push_back(&make(n));
    return all;
}

const WindowPlacement::Keys kPlacementKeys{keys::mainLeft, keys::mainTop, keys::mainWidth,
                                           keys::mainHeight};

} // namespace

ZEL_VANTO_MAIN::ZEL_VANTO_MAIN(MainView &view, SettingsStore &store, ProcessProbe &probe,
                               platform::ZOrder &zorder,
                               std::function<WatcherSlots::Clock::time_point()> now)
    : m_view(view), m_store(store),
      m_slots(perSlot<NameBox>([&view](int n) -> NameBox & { return view.box(n); }),
              perSlot<Timer>([&view](int n) -> Timer & { return view.slotTimer(n); }), probe,
              std::move(now)),
      m_keeper(view.keeperTimer(), zorder, [&view] { return view.windowId(); })
{}

void ZEL_VANTO_MAIN::Form_Load()
{
    const std::vector<ScreenArea> screens = m_view.screens();
    // A window wholly off every screen could not be reached: it has no taskbar entry.
    m_placement = WindowPlacement::load(m_store, kPlacementKeys, layout::mainWindow::kAllowances)
                      .rescued(screens, kPlacementKeys, layout::mainWindow::kReach);
    const WindowPlacement::Pixels pixels = m_placement.on(screens);
    m_view.place(pixels.corner, pixels.client);

    m_keeper.setup();
    m_view.nameSaveTimer().setInterval(layout::mainWindow::kNameSavePauseMs);
    std::vector<bool> enabled;
    std::vector<std::string> names;
    for (int n = 1; n <= keys::kSlotCount; ++n)
        enabled.push_back(m_store.onAtStart(keys::enablePw(n)));
    for (int n = 1; n <= keys::kSlotCount; ++n)
        names.push_back(m_store.read(keys::processTextbox(n)));
    m_slots.setup(enabled, names, m_view.windowTextColour());
    if (m_store.onAtStart(keys::alwaysOnTop))
        m_keeper.enableKeeper();
    else
        m_keeper.disableKeeper();

    focusFirstControl();
}

// With no box shown, the title strip, where Space opens the settings window to switch one on.
void ZEL_VANTO_MAIN::focusFirstControl()
{
    for (int n = 1; n <= keys::kSlotCount; ++n) {
        if (m_slots.slot(n).isEnabled()) {
            m_view.focus(layout::mainWindow::box(n).name);
            return;
        }
    }
    m_view.focus(layout::mainWindow::title().name);
}

void ZEL_VANTO_MAIN::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    saveState();
}

void ZEL_VANTO_MAIN::saveState()
{
    SettingsStore::Batch batch;
    // A window system that cannot say where the window stands would store a made-up place.
    if (m_view.knowsPlace()) {
        const WindowPlacement now =
            m_placement.now(m_view.outerCorner(), m_view.clientSize(), m_view.screens());
        batch.add(keys::mainLeft, now.left)
            .add(keys::mainTop, now.top)
            .add(keys::mainWidth, now.width)
            .add(keys::mainHeight, now.height);
    }
    for (int n = 1; n <= keys::kSlotCount; ++n)
        batch.add(keys::processTextbox(n), m_slots.slot(n).box().text());
    m_store.save(batch);
    m_typed.fill(false);
    m_view.nameSaveTimer().stop();
}

void ZEL_VANTO_MAIN::PROCESS_TEXTBOX_Change(int n)
{
    m_slots.slot(n).nameChanged();
    m_typed[keys::slotIndex(n)] = true;
    // Saved once typing pauses: every edit starts the pause afresh.
    m_view.nameSaveTimer().start();
}

void ZEL_VANTO_MAIN::PROCESS_TEXTBOX_LostFocus(int)
{
    saveTypedNames();
}

void ZEL_VANTO_MAIN::NameSaveTimer_Timer()
{
    saveTypedNames();
}

void ZEL_VANTO_MAIN::saveTypedNames()
{
    m_view.nameSaveTimer().stop();
    SettingsStore::Batch batch;
    bool any = false;
    for (int n = 1; n <= keys::kSlotCount; ++n) {
        if (m_typed[keys::slotIndex(n)]) {
            batch.add(keys::processTextbox(n), m_slots.slot(n).box().text());
            any = true;
        }
    }
    if (any)
        m_store.save(batch);
    m_typed.fill(false);
}

void ZEL_VANTO_MAIN::ZEL_TITLE_Click()
{
    const std::string hadFocus = m_view.focused();
    const std::unique_ptr<SettingsView> view = m_view.createSettingsView();
    ZEL_VANTO_SETTINGS settings(*view, m_store, m_slots, m_keeper);
    settings.Form_Load();
    view->runModal(settings);
    // Back where the user was (some window managers give the focus to no window at all), unless
    // that was a box the settings window has just hidden.
    const layout::Control *had = layout::mainWindow::window().find(hadFocus);
    if (had && had->role == layout::Role::NameBox && !m_slots.slot(had->slot).isEnabled())
        focusFirstControl();
    else if (!hadFocus.empty())
        m_view.focus(hadFocus);
}

bool ZEL_VANTO_MAIN::KeyDown(std::string_view control, layout::Key key)
{
    const layout::Control *pressed = layout::mainWindow::window().find(control);
    if (!pressed || !layout::clicks(*pressed, key))
        return false;
    if (pressed->role == layout::Role::Title)
        ZEL_TITLE_Click();
    return true;
}

void ZEL_VANTO_MAIN::PROCESS_WATCHER_TIMER_Timer(int n)
{
    m_slots.tick(n);
}

void ZEL_VANTO_MAIN::AlwaysOnTopTimer_Timer()
{
    m_keeper.tick();
}

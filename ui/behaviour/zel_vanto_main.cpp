#include "zel_vanto_main.h"

#include "layout.h"
#include "settingsstore.h"
#include "views.h"
#include "zel_vanto_settings.h"

namespace {

template <typename T, typename Make> std::array<T *, WatcherSlots::kCount> perSlot(Make make)
{
    std::array<T *, WatcherSlots::kCount> all{};
    for (int n = 1; n <= WatcherSlots::kCount; ++n)
        all[static_cast<std::size_t>(n - 1)] = &make(n);
    return all;
}

const WindowPlacement::Keys kPlacementKeys{keys::mainLeft(), keys::mainTop(), keys::mainWidth(),
                                           keys::mainHeight()};

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
    std::array<bool, WatcherSlots::kCount> enabled{};
    std::array<std::string, WatcherSlots::kCount> names;
    for (int n = 1; n <= WatcherSlots::kCount; ++n)
        enabled[static_cast<std::size_t>(n - 1)] = m_store.onAtStart(keys::enablePw(n));
    for (int n = 1; n <= WatcherSlots::kCount; ++n)
        names[static_cast<std::size_t>(n - 1)] = m_store.read(keys::processTextbox(n));
    m_slots.setup(enabled, names, m_view.windowTextColour());
    if (m_store.onAtStart(keys::alwaysOnTop()))
        m_keeper.enableKeeper();
    else
        m_keeper.disableKeeper();

    // The keyboard starts in the first visible box.
    for (int n = 1; n <= WatcherSlots::kCount; ++n) {
        if (enabled[static_cast<std::size_t>(n - 1)]) {
            m_view.focus(layout::mainWindow::box(n).name);
            break;
        }
    }
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
        batch.add(keys::mainLeft(), now.left)
            .add(keys::mainTop(), now.top)
            .add(keys::mainWidth(), now.width)
            .add(keys::mainHeight(), now.height);
    }
    for (int n = 1; n <= WatcherSlots::kCount; ++n)
        batch.add(keys::processTextbox(n), m_slots.slot(n).box().text());
    m_store.save(batch);
    m_typed.fill(false);
    m_view.nameSaveTimer().stop();
}

void ZEL_VANTO_MAIN::PROCESS_TEXTBOX_Change(int n)
{
    m_slots.slot(n).nameChanged();
    m_typed[static_cast<std::size_t>(n - 1)] = true;
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
    for (int n = 1; n <= WatcherSlots::kCount; ++n) {
        if (m_typed[static_cast<std::size_t>(n - 1)]) {
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
    // Back where the user was: some window managers give the focus to no window at all.
    if (!hadFocus.empty())
        m_view.focus(hadFocus);
}

void ZEL_VANTO_MAIN::PROCESS_WATCHER_TIMER_Timer(int n)
{
    m_slots.tick(n);
}

void ZEL_VANTO_MAIN::AlwaysOnTopTimer_Timer()
{
    m_keeper.tick();
}

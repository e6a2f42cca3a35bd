#include "fixture.h"

#include <gmock/gmock.h>

using testing::ElementsAre;

TEST(TopmostKeeper, DemotesTheForegroundWindowThenRaisesTheMainWindow)
{
    const std::pair<platform::WindowId, Log> cases[] = {
        {99, {"zorder clear 99", "zorder set 7"}},
        {0, {"zorder set 7"}},  // no window in the foreground: the main window still goes up
        {7, {}},                // the main window has the foreground: nothing is called
        {42, {"zorder set 7"}}, // a window it owns (the settings window) keeps its mark
    };
    for (const auto &[foreground, calls] : cases) {
        Core core;
        core.main.Form_Load();
        core.zorder.foreground = foreground;
        EXPECT_EQ(core.during([&] { core.main.AlwaysOnTopTimer_Timer(); }), calls)
            << "foreground " << foreground;
    }
}

TEST(WatcherSlot, DisabledSlotKeepsItsColourUntilItsNextTickAfterEnabling)
{
    Core core({{"PROCESS_TEXTBOX_1", "watched.exe"}});
    core.query->running = {"watched.exe"};
    core.main.Form_Load();
    const auto tick = [&core] { core.main.PROCESS_WATCHER_TIMER_Timer(1); };
    tick();
    WatcherSlots &slots = core.main.watcherSlots();
    slots.disable(1);
    slots.enable(1);
    EXPECT_THAT(core.during(tick), testing::IsEmpty()); // still running: nothing to paint or say
    EXPECT_THAT(core.during([&] {
        slots.disable(1);
        core.query->running.clear(); // ended while the slot was off
        slots.enable(1);
    }),
                ElementsAre("PROCESS_WATCHER_TIMER_1 stop", "PROCESS_TEXTBOX_1 hide",
                            "PROCESS_WATCHER_TIMER_1 start", "PROCESS_TEXTBOX_1 show"));
    EXPECT_THAT(core.during(tick), ElementsAre("PROCESS_TEXTBOX_1 colour 255,0,0"));
}

TEST(WatcherSlot, SlotSwitchedOnWhileOthersRunJoinsTheirPhase)
{
    using std::chrono::milliseconds;
    const std::pair<int, const char *> cases[] = {
        // ms since the others' tick: the first interval
        {200, "PROCESS_WATCHER_TIMER_7 interval 800"},
        {600, "PROCESS_WATCHER_TIMER_7 interval 1400"}, // never sooner than half a second
        {2300, "PROCESS_WATCHER_TIMER_7 interval 700"},
    };
    for (const auto &[sinceLastTickMs, started] : cases) {
        Core core;
        core.main.Form_Load();
        core.now += milliseconds(1000);
        core.main.PROCESS_WATCHER_TIMER_Timer(1);
        core.now += milliseconds(sinceLastTickMs);
        EXPECT_THAT(
            core.during([&] { core.main.watcherSlots().enable(7); }),
            ElementsAre(started, "PROCESS_WATCHER_TIMER_7 start", "PROCESS_TEXTBOX_7 show"));
        // From its first tick on, it ticks with the others once a second.
        EXPECT_THAT(core.during([&] { core.main.PROCESS_WATCHER_TIMER_Timer(7); }),
                    testing::Contains("PROCESS_WATCHER_TIMER_7 interval 1000"));
    }
    // Alone, a slot starts its own second.
    Core alone;
    alone.main.Form_Load();
    for (int n = 1; n <= 5; ++n)
        alone.main.watcherSlots().disable(n);
    EXPECT_THAT(alone.during([&] { alone.main.watcherSlots().enable(7); }),
                ElementsAre("PROCESS_WATCHER_TIMER_7 start", "PROCESS_TEXTBOX_7 show"));
}

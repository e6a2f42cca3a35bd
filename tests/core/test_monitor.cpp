#include "fixture.h"

#include <gmock/gmock.h>

using testing::ElementsAre;

TEST(TopmostKeeper, DemotesTheForegroundWindowThenRaisesTheMainWindow)
{
    struct Case
    {
        platform::WindowId foreground;
        Log calls;
    };
    const Case cases[] = {
        {99, {"zorder clear 99", "zorder set 7"}},
        {0, {"zorder set 7"}}, // no window in the foreground: the main window still goes up
        {7, {}},               // the main window has the foreground: nothing is called
    };
    for (const Case &c : cases) {
        Core core;
        core.main.Form_Load();
        core.zorder.foreground = c.foreground;
        EXPECT_EQ(core.during([&] { core.main.AlwaysOnTopTimer_Timer(); }), c.calls)
            << "foreground " << c.foreground;
    }
    // Stopping reverts nothing.
    Core core({{"AlwaysOnTopTimer_TICKBOX", "1"}});
    core.main.Form_Load();
    EXPECT_THAT(core.during([&] { core.main.keeper().disableKeeper(); }),
                ElementsAre("AlwaysOnTopTimer stop"));
}

TEST(WatcherSlot, DisabledSlotKeepsItsColourUntilItsNextTickAfterEnabling)
{
    Core core({{"PROCESS_TEXTBOX_1", "watched.exe"}});
    core.query->running = {"watched.exe"};
    core.main.Form_Load();
    core.main.PROCESS_WATCHER_TIMER_Timer(1);
    WatcherSlots &slots = core.main.watcherSlots();
    EXPECT_EQ(slots.slot(1).state(), SlotState::Running);

    EXPECT_THAT(core.during([&] {
        slots.disable(1);
        core.query->running.clear(); // ended while the slot was off
        slots.enable(1);
    }),
                ElementsAre("PROCESS_WATCHER_TIMER_1 stop", "PROCESS_TEXTBOX_1 hide",
                            "PROCESS_WATCHER_TIMER_1 start", "PROCESS_TEXTBOX_1 show"));
    EXPECT_EQ(slots.slot(1).state(), SlotState::Running);
    core.main.PROCESS_WATCHER_TIMER_Timer(1);
    EXPECT_EQ(slots.slot(1).state(), SlotState::NotRunning);
    EXPECT_EQ(core.view.boxes[0].background, (Rgb{255, 0, 0}));
}

// Missed: every tick copied the box's text, and a name of megabytes kept a core busy.
TEST(WatcherSlot, TicksReadTheNameOnlyWhenItChanges)
{
    Core core;
    core.main.Form_Load();
    FakeNameBox &box = core.view.boxes[0];
    box.content = std::string(std::size_t(1) << 20, 'n');
    core.main.PROCESS_TEXTBOX_Change(1);
    const int reads = box.reads;
    for (int tick = 0; tick < 3; ++tick)
        core.main.PROCESS_WATCHER_TIMER_Timer(1);
    EXPECT_EQ(box.reads, reads);
    EXPECT_EQ(core.query->questions, 3);
    EXPECT_EQ(box.toolTip.size(), box.content.size() + std::string(": not running").size());
}

TEST(WatcherSlot, SlotSwitchedOnWhileOthersRunJoinsTheirPhase)
{
    using std::chrono::milliseconds;
    struct Case
    {
        int sinceLastTickMs;
        const char *started;
    };
    const Case cases[] = {
        {200, "PROCESS_WATCHER_TIMER_7 interval 800"},
        {600, "PROCESS_WATCHER_TIMER_7 interval 1400"}, // never sooner than half a second
        {2300, "PROCESS_WATCHER_TIMER_7 interval 700"},
    };
    for (const Case &c : cases) {
        Core core;
        core.main.Form_Load();
        core.now += milliseconds(1000);
        core.main.PROCESS_WATCHER_TIMER_Timer(1);
        core.now += milliseconds(c.sinceLastTickMs);
        EXPECT_THAT(
            core.during([&] { core.main.watcherSlots().enable(7); }),
            ElementsAre(c.started, "PROCESS_WATCHER_TIMER_7 start", "PROCESS_TEXTBOX_7 show"));
        // From its first tick on, it ticks with the others once a second.
        EXPECT_THAT(core.during([&] { core.main.PROCESS_WATCHER_TIMER_Timer(7); }),
                    testing::Contains("PROCESS_WATCHER_TIMER_7 interval 1000"));
    }
    // Alone, a slot starts its own second.
    Core alone({{"ENABLE_PW_1", "0"},
                {"ENABLE_PW_2", "0"},
                {"ENABLE_PW_3", "0"},
                {"ENABLE_PW_4", "0"},
                {"ENABLE_PW_5", "0"}});
    alone.main.Form_Load();
    EXPECT_THAT(alone.during([&] { alone.main.watcherSlots().enable(7); }),
                ElementsAre("PROCESS_WATCHER_TIMER_7 start", "PROCESS_TEXTBOX_7 show"));
}

// Catches a state spoken for a box without the focus (a flood while the user is elsewhere), a
// state spoken again on every tick, or a change of the focused box that is never spoken.
TEST(WatcherSlot, ChangeOfStateIsAnnouncedOnlyForTheFocusedBoxAndOnlyOnce)
{
    Core core({{"PROCESS_TEXTBOX_1", "app.exe"}, {"PROCESS_TEXTBOX_2", "app.exe"}});
    core.main.Form_Load();
    core.view.boxes[1].focused = true;
    const auto announced = [&core] {
        Log said;
        for (const std::string &line : core.during([&core] {
                 core.main.PROCESS_WATCHER_TIMER_Timer(1);
                 core.main.PROCESS_WATCHER_TIMER_Timer(2);
             }))
            if (line.find(" announce ") != std::string::npos)
                said.push_back(line);
        return said;
    };
    EXPECT_THAT(announced(), ElementsAre("PROCESS_TEXTBOX_2 announce 'not running'"));
    EXPECT_THAT(announced(), testing::IsEmpty());
    core.query->running = {"app.exe"};
    EXPECT_THAT(announced(), ElementsAre("PROCESS_TEXTBOX_2 announce 'running'"));
    EXPECT_THAT(announced(), testing::IsEmpty());
}

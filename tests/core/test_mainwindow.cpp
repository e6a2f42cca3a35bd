#include "fixture.h"
#include "layout.h"

#include <gmock/gmock.h>

using testing::ElementsAre;
using testing::ElementsAreArray;

namespace {

Log each(const std::string &pattern)
{
    Log lines;
    for (int n = 1; n <= 10; ++n) {
        std::string line = pattern;
        line.replace(line.find('#'), 1, std::to_string(n));
        lines.push_back(line);
    }
    return lines;
}

Log operator+(Log a, const Log &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST(MainWindow, LoadReadsTheStoreAndSetsUpInTheDesignedOrder)
{
    Core core;
    core.main.Form_Load();
    // 1000 twips = 67 pixels; a client area of 1575 x 3870 twips = 105 x 258 pixels.
    const Log expected =
        Log{"read MainLeft",
            "read MainTop",
            "read MainWidth",
            "read MainHeight",
            "place 67,67 105x258",
            "AlwaysOnTopTimer interval 1000",
            "NameSaveTimer interval 1000"} +
        each("read ENABLE_PW_#") + each("read PROCESS_TEXTBOX_#") +
        each("PROCESS_WATCHER_TIMER_# interval 1000") +
        Log{"PROCESS_WATCHER_TIMER_1 start", "PROCESS_WATCHER_TIMER_2 start",
            "PROCESS_WATCHER_TIMER_3 start", "PROCESS_WATCHER_TIMER_4 start",
            "PROCESS_WATCHER_TIMER_5 start", "PROCESS_WATCHER_TIMER_6 stop",
            "PROCESS_WATCHER_TIMER_7 stop",  "PROCESS_WATCHER_TIMER_8 stop",
            "PROCESS_WATCHER_TIMER_9 stop",  "PROCESS_WATCHER_TIMER_10 stop"} +
        Log{"PROCESS_TEXTBOX_1 show", "PROCESS_TEXTBOX_2 show", "PROCESS_TEXTBOX_3 show",
            "PROCESS_TEXTBOX_4 show", "PROCESS_TEXTBOX_5 show", "PROCESS_TEXTBOX_6 hide",
            "PROCESS_TEXTBOX_7 hide", "PROCESS_TEXTBOX_8 hide", "PROCESS_TEXTBOX_9 hide",
            "PROCESS_TEXTBOX_10 hide"} +
        each("PROCESS_TEXTBOX_# text ''") +
        Log{"read AlwaysOnTopTimer_TICKBOX", "AlwaysOnTopTimer stop", "focus PROCESS_TEXTBOX_1"};
    EXPECT_THAT(core.log, ElementsAreArray(expected));
    // Nothing is probed, painted or written before the first tick.
    EXPECT_EQ(core.query->questions, 0);
}

namespace {

struct LoadCase
{
    const char *name;
    std::map<std::string, std::string, std::less<>> stored;
    const char *enabled; // one character per slot
    bool keeper;
};

class MainWindowLoad : public testing::TestWithParam<LoadCase>
{
};

} // namespace

TEST_P(MainWindowLoad, SlotsAndKeeperFollowTheStore)
{
    Core core(Core::Stored(GetParam().stored));
    core.main.Form_Load();
    EXPECT_EQ(core.enabledSlots(), GetParam().enabled);
    EXPECT_EQ(core.view.keeper.running, GetParam().keeper);
    // The focus starts in the first visible box.
    const std::string first = std::to_string(std::string(GetParam().enabled).find('1') + 1);
    EXPECT_EQ(core.log.back(), "focus PROCESS_TEXTBOX_" + first);
}

INSTANTIATE_TEST_SUITE_P(
    Stored, MainWindowLoad,
    testing::Values(
        LoadCase{"EmptyStore", {}, "1111100000", false},
        LoadCase{"FlagsAsStored",
                 {{"ENABLE_PW_1", "0"}, {"ENABLE_PW_10", "1"}, {"AlwaysOnTopTimer_TICKBOX", "1"}},
                 "0111100001",
                 true},
        // Any non-zero number runs a slot; only exactly 1 starts the keeper.
        LoadCase{"OtherNumbers",
                 {{"ENABLE_PW_2", "2"},
                  {"ENABLE_PW_6", "-1"},
                  {"ENABLE_PW_7", "0.5"},
                  {"AlwaysOnTopTimer_TICKBOX", "2"}},
                 "1111111000",
                 false},
        LoadCase{"OneInAnotherForm", {{"AlwaysOnTopTimer_TICKBOX", " 1.0 "}}, "1111100000", true},
        LoadCase{"UnreadableValuesFallBackToDefaults",
                 {{"ENABLE_PW_1", "abc"}, {"ENABLE_PW_6", ""}, {"AlwaysOnTopTimer_TICKBOX", "yes"}},
                 "1111100000",
                 false}),
    [](const testing::TestParamInfo<LoadCase> &row) { return row.param.name; });

TEST(MainWindow, TicksPaintExactColoursFromTheBoxTextOfTheMoment)
{
    Core core({{"PROCESS_TEXTBOX_1", "running.exe"}, {"PROCESS_TEXTBOX_2", "absent.exe"}});
    core.query->running = {"running.exe"};
    core.main.Form_Load();
    const auto colour = [&core](int n) { return core.view.boxes[std::size_t(n - 1)]->background; };

    core.main.PROCESS_WATCHER_TIMER_Timer(1);
    core.main.PROCESS_WATCHER_TIMER_Timer(2);
    core.main.PROCESS_WATCHER_TIMER_Timer(3); // empty: red, and nobody is asked
    EXPECT_EQ(colour(1), (Rgb{0, 255, 0}));
    EXPECT_EQ(colour(2), (Rgb{255, 0, 0}));
    EXPECT_EQ(colour(3), (Rgb{255, 0, 0}));
    EXPECT_EQ(core.query->questions, 2);
    EXPECT_EQ(colour(4), std::nullopt); // not polled yet: the box's own background

    // A typed name counts at the next tick; the colour is written even when it stays.
    core.view.boxes[1]->content = "running.exe";
    const std::size_t mark = core.log.size();
    core.main.PROCESS_WATCHER_TIMER_Timer(2);
    core.main.PROCESS_WATCHER_TIMER_Timer(1);
    EXPECT_THAT(core.since(mark), ElementsAre("PROCESS_TEXTBOX_2 colour 0,255,0",
                                              "PROCESS_TEXTBOX_1 colour 0,255,0"));
}

TEST(MainWindow, UnloadWritesGeometryThenEveryNameOnceInOneWrite)
{
    // Not whole pixels: converted once to show the window, never rounded into the store.
    Core core({{"MainLeft", "1001"},
               {"MainTop", "-7"},
               {"MainWidth", "1700"},
               {"MainHeight", "4231"},
               {"ENABLE_PW_2", "0"},
               {"PROCESS_TEXTBOX_2", "kept while hidden.exe"}});
    core.main.Form_Load();
    core.view.boxes[0]->content = "a,b;c=d \"e\" \\f";
    std::size_t mark = core.log.size();
    core.main.Form_Unload();
    core.main.Form_Unload(); // a second unload (close, then a session's end) writes nothing more
    std::string names;
    for (int n = 3; n <= 10; ++n)
        names += " PROCESS_TEXTBOX_" + std::to_string(n) + "=";
    EXPECT_THAT(core.since(mark),
                ElementsAre("write MainLeft=1001 MainTop=-7 MainWidth=1700 MainHeight=4231 "
                            "PROCESS_TEXTBOX_1=a,b;c=d \"e\" \\f "
                            "PROCESS_TEXTBOX_2=kept while hidden.exe" +
                                names,
                            "NameSaveTimer stop"));

    // Moved and resized: the outer corner, and the client area plus the design's allowances.
    Core moved;
    moved.main.Form_Load();
    moved.view.where.corner = {300, 200};
    moved.view.where.size = {140, 300};
    mark = moved.log.size();
    moved.main.saveState();
    EXPECT_THAT(moved.since(mark).front(),
                testing::StartsWith("write MainLeft=4500 MainTop=3000 MainWidth=2220 "
                                    "MainHeight=4860 PROCESS_TEXTBOX_1="));
}

TEST(MainWindow, WindowTheUserCouldNotReachIsBroughtBack)
{
    struct Case
    {
        Core::Stored stored;
        const char *placed;
    };
    const Case cases[] = {
        // Wholly off every screen: to the primary screen's corner, size kept.
        {{{"MainLeft", "-300000"}, {"MainTop", "-300000"}, {"MainWidth", "2000"}},
         "place 0,0 125x258"},
        {{{"MainLeft", "900000"}, {"MainTop", "1500"}, {"MainWidth", "2000"}}, "place 0,0 125x258"},
        // Partly on a screen with its caption and title strip: left where it is.
        {{{"MainLeft", "-600"}, {"MainTop", "1500"}, {"MainWidth", "2000"}},
         "place -40,100 125x258"},
        // The title strip above every screen: moved down until it shows.
        {{{"MainTop", "-3500"}}, "place 67,0 105x258"},
        {{{"MainLeft", "20000"}, {"MainTop", "-100"}}, "place 1333,0 105x258"},
        // Sizes that are none, larger than the desktop, or too small to click the strip.
        {{{"MainWidth", "0"}}, "place 67,67 105x258"},
        {{{"MainHeight", "-15"}}, "place 67,67 105x258"},
        {{{"MainWidth", "1e38"}}, "place 67,67 105x258"},
        {{{"MainHeight", "2147483648"}}, "place 67,67 105x258"},
        {{{"MainWidth", "300"}, {"MainHeight", "9000"}}, "place 67,67 105x258"},
        {{{"MainHeight", "500"}}, "place 67,67 105x258"},
        {{{"MainWidth", "465"}, {"MainHeight", "700"}}, "place 67,67 23x23"}, // small but usable
    };
    for (const Case &c : cases) {
        Core core(c.stored);
        core.view.where.screens = {{0, 0, 1280, 1024}, {1280, 0, 800, 600}};
        core.main.Form_Load();
        EXPECT_EQ(core.log.at(4), c.placed) << testing::PrintToString(c.stored);
    }
}

TEST(MainWindow, TitleClickOpensSettingsThatActOnTheRunningSlotsAndKeeper)
{
    Core core({{"PROCESS_TEXTBOX_3", "watched.exe"}});
    core.query->running = {"watched.exe"};
    core.main.Form_Load();
    core.main.PROCESS_WATCHER_TIMER_Timer(3);
    std::size_t mark = 0;
    core.view.settingsWhileOpen = [&](FakeSettingsView &view, ZEL_VANTO_SETTINGS &settings) {
        mark = core.log.size();
        view.enableBox(7).setValue(1);
        settings.ENABLE_PW_Click(7);
        view.enableBox(3).setValue(0);
        settings.ENABLE_PW_Click(3);
        view.alwaysOnTopBox().setValue(1);
        settings.AlwaysOnTopTimer_TICKBOX_Click();
        // The main window keeps ticking meanwhile.
        core.main.PROCESS_WATCHER_TIMER_Timer(7);
    };
    core.main.ZEL_TITLE_Click();
    EXPECT_THAT(core.since(mark),
                ElementsAre("ENABLE_PW_7 value 1", "PROCESS_WATCHER_TIMER_7 start after 1000",
                            "PROCESS_TEXTBOX_7 show", "write ENABLE_PW_7=1", "ENABLE_PW_3 value 0",
                            "PROCESS_WATCHER_TIMER_3 stop", "PROCESS_TEXTBOX_3 hide",
                            "write ENABLE_PW_3=0", "AlwaysOnTopTimer_TICKBOX value 1",
                            "AlwaysOnTopTimer start", "write AlwaysOnTopTimer_TICKBOX=1",
                            "PROCESS_TEXTBOX_7 colour 255,0,0",
                            "write SettingsScreenLeft=1000 SettingsScreenTop=1000 "
                            "AlwaysOnTopTimer_TICKBOX=1",
                            "settings closed", "focus PROCESS_TEXTBOX_1"));
    // Slot 3 keeps its last colour, hidden, until it ticks again; the keeper raises from now on.
    EXPECT_EQ(core.view.boxes[2]->background, (Rgb{0, 255, 0}));
    core.zorder.foreground = 99;
    mark = core.log.size();
    core.main.AlwaysOnTopTimer_Timer();
    EXPECT_THAT(core.since(mark), ElementsAre("clear 99", "set 7"));
}

TEST(MainWindow, TypedNamesAreSavedWhenTypingPausesOrTheFocusLeaves)
{
    Core core;
    core.main.Form_Load();
    std::size_t mark = core.log.size();
    core.view.boxes[1]->content = "new";
    core.main.PROCESS_TEXTBOX_Change(2);
    core.view.boxes[1]->content = "new.exe";
    core.main.PROCESS_TEXTBOX_Change(2); // the pause starts afresh
    core.main.NameSaveTimer_Timer();
    core.main.NameSaveTimer_Timer(); // nothing more to save
    EXPECT_THAT(core.since(mark),
                ElementsAre("NameSaveTimer start", "NameSaveTimer start", "NameSaveTimer stop",
                            "write PROCESS_TEXTBOX_2=new.exe", "NameSaveTimer stop"));

    core.view.boxes[4]->content = "five.exe";
    core.main.PROCESS_TEXTBOX_Change(5);
    mark = core.log.size();
    core.main.PROCESS_TEXTBOX_LostFocus(5);
    core.main.PROCESS_TEXTBOX_LostFocus(5);
    EXPECT_THAT(core.since(mark),
                ElementsAre("NameSaveTimer stop", "write PROCESS_TEXTBOX_5=five.exe",
                            "NameSaveTimer stop"));
}

TEST(MainWindow, APlaceTheWindowSystemCannotReportIsNeverStored)
{
    Core core;
    core.view.where.known = false;
    core.main.Form_Load();
    const std::size_t mark = core.log.size();
    core.main.Form_Unload();
    EXPECT_THAT(core.since(mark).front(), testing::StartsWith("write PROCESS_TEXTBOX_1= "));
}

TEST(MainWindow, BoxesSayTheirStateInWordsAndKeepTheirTextReadable)
{
    struct Case
    {
        Rgb systemText;
        Rgb onGreen;
        Rgb onRed;
    };
    const Case themes[] = {
        {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}},       // light: black stays
        {{255, 255, 255}, {0, 0, 0}, {0, 0, 0}}, // dark: white is unreadable on both
        {{0, 0, 128}, {0, 0, 128}, {0, 0, 0}},   // navy reads on green, not on red
        {{255, 255, 160}, {0, 0, 0}, {0, 0, 0}},
    };
    for (const Case &theme : themes) {
        Core core({{"PROCESS_TEXTBOX_1", "up.exe"}, {"PROCESS_TEXTBOX_2", "down.exe"}});
        core.view.textColour = theme.systemText;
        core.query->running = {"up.exe"};
        core.main.Form_Load();
        const FakeNameBox &up = *core.view.boxes[0];
        const FakeNameBox &down = *core.view.boxes[1];
        EXPECT_EQ(up.description, "not checked yet");
        EXPECT_EQ(core.view.boxes[2]->toolTip, "(no name): not checked yet");
        EXPECT_EQ(up.textColour, std::nullopt); // the system's own colours until the first tick
        core.main.PROCESS_WATCHER_TIMER_Timer(1);
        core.main.PROCESS_WATCHER_TIMER_Timer(2);
        EXPECT_EQ(up.description, "running");
        EXPECT_EQ(down.toolTip, "down.exe: not running");
        EXPECT_EQ(up.textColour, theme.onGreen);
        EXPECT_EQ(down.textColour, theme.onRed);
        // A long name cut off by the box can be read whole in its tooltip as it is typed.
        core.view.boxes[0]->content = "a-very-long-process-name-that-the-box-cuts-off.exe";
        core.main.PROCESS_TEXTBOX_Change(1);
        EXPECT_EQ(up.toolTip, "a-very-long-process-name-that-the-box-cuts-off.exe: running");
    }
}

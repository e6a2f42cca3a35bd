#include "fixture.h"

#include <gmock/gmock.h>

using testing::ElementsAre;

TEST(MainWindow, LoadPlacesTheWindowWithinReachAndRunsWhatTheStoreSays)
{
    const char *placed = "place 67,67 105x258", *keeper = "AlwaysOnTopTimer_TICKBOX";
    Core::Stored allOff;
    for (int n = 1; n <= 5; ++n)
        allOff[keys::enablePw(n).name] = "0";
    struct Row
    {
        Core::Stored stored = {};
        const char *placed = "place 67,67 105x258";
        const char *enabled = "1111100000"; // slots running and shown
        bool keeper = false;
    };
    const Row rows[] = {
        {},
        // Any non-zero number runs a slot (the store's table has the rest).
        {{{"ENABLE_PW_1", "0"}, {"ENABLE_PW_7", "0.5"}, {"ENABLE_PW_10", "1"}, {keeper, "1"}},
         placed,
         "0111101001",
         true},
        // Wholly off every screen: to the primary screen's corner, size kept.
        {{{"MainLeft", "-300000"}, {"MainTop", "-300000"}, {"MainWidth", "2000"}},
         "place 0,0 125x258"},
        // Partly on a screen with its caption and title strip: left where it is.
        {{{"MainLeft", "-600"}, {"MainTop", "1500"}, {"MainWidth", "2000"}},
         "place -40,100 125x258"},
        // The title strip above every screen: moved down until it shows.
        {{{"MainTop", "-3500"}}, "place 67,0 105x258"},
        {{{"MainLeft", "20000"}, {"MainTop", "-100"}}, "place 1333,0 105x258"},
        // Sizes that are none, larger than the desktop, or too small to click the strip fall back;
        // only the dimension that cannot be used does.
        {{{"MainWidth", "0"}}},
        {{{"MainWidth", "1e38"}}},
        {{{"MainWidth", "300"}, {"MainHeight", "9000"}}, "place 67,67 105x576"},
        {{{"MainHeight", "600"}, {"MainWidth", "2370"}}, "place 67,67 150x258"},
        {{{"MainWidth", "465"}, {"MainHeight", "700"}}, "place 67,67 23x23"}, // small but usable
        {allOff, placed, "0000000000"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.stored));
        Core core(row.stored);
        core.view.screenAreas = {{{0, 0, 1280, 1024}, 96}, {{1280, 0, 800, 600}, 96}};
        core.main.Form_Load();
        EXPECT_EQ(core.log.at(0), row.placed);
        EXPECT_EQ(core.enabledSlots(), row.enabled);
        EXPECT_EQ(core.view.keeper.running, row.keeper);
        // The focus starts in the first visible box, or with none on the title strip.
        const std::size_t first = std::string(row.enabled).find('1') + 1;
        EXPECT_EQ(core.log.back(),
                  first ? "focus PROCESS_TEXTBOX_" + std::to_string(first) : "focus ZEL_TITLE");
    }
}

TEST(MainWindow, TicksPaintExactColoursWithReadableTextAndSayTheStateInWords)
{
    const std::tuple<Rgb, Rgb, Rgb> themes[] = {
        // the system's text colour, then on green, on red
        {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}},       // light: black stays
        {{255, 255, 255}, {0, 0, 0}, {0, 0, 0}}, // dark: white is unreadable on both
        {{0, 0, 128}, {0, 0, 128}, {0, 0, 0}},   // navy reads on green, not on red
    };
    for (const auto &[systemText, onGreen, onRed] : themes) {
        Core core({{"PROCESS_TEXTBOX_1", "up.exe"}, {"PROCESS_TEXTBOX_2", "down.exe"}});
        core.view.textColour = systemText;
        core.query->running = {"up.exe"};
        core.main.Form_Load();
        FakeNameBox &up = core.view.boxes[0];
        up.focused = true; // only the focused box's change of state is spoken
        FakeNameBox &down = core.view.boxes[1];
        EXPECT_EQ(up.textColour, std::nullopt); // the system's own colours until the first tick
        EXPECT_EQ(up.description, "not checked yet");
        EXPECT_EQ(core.view.boxes[2].toolTip, "(no name): not checked yet");
        const auto tick = [&core](auto... n) { (core.main.PROCESS_WATCHER_TIMER_Timer(n), ...); };
        EXPECT_THAT(
            core.during([&] { tick(1, 2, 3); }),
            ElementsAre("PROCESS_TEXTBOX_1 colour 0,255,0", "PROCESS_TEXTBOX_1 announce 'running'",
                        "PROCESS_TEXTBOX_2 colour 255,0,0", "PROCESS_TEXTBOX_3 colour 255,0,0"));
        EXPECT_EQ(core.query->questions, 2); // an empty name is red without asking
        EXPECT_EQ(up.description, "running");
        EXPECT_EQ(down.toolTip, "down.exe: not running");
        EXPECT_EQ(up.textColour, onGreen);
        EXPECT_EQ(down.textColour, onRed);

        // A name as typed shows whole in the tooltip, and counts from the next tick; a box is
        // painted and spoken again only when its state changes.
        down.content = "a-very-long-process-name-that-the-box-cuts-off.exe";
        core.main.PROCESS_TEXTBOX_Change(2);
        EXPECT_EQ(down.toolTip, down.content + ": not running");
        core.query->running.insert(down.content);
        EXPECT_THAT(core.during([&] { tick(2, 1); }),
                    ElementsAre("PROCESS_TEXTBOX_2 colour 0,255,0"));
    }
}

TEST(MainWindow, UnloadWritesGeometryThenEveryNameOnceInOneWrite)
{
    // Stored, then the outer corner and client size the window is moved to (none: left where it
    // was placed), and the geometry written (none: the window system cannot say where it is).
    const std::tuple<Core::Stored, PixelRect, std::string> rows[] = {
        // Not whole pixels: converted once to show the window, never rounded into the store.
        {{{"MainLeft", "1001"}, {"MainTop", "-7"}, {"MainWidth", "1700"}, {"MainHeight", "4231"}},
         {},
         "MainLeft=1001 MainTop=-7 MainWidth=1700 MainHeight=4231 "},
        // Moved and resized: the outer corner, and the client area plus the design's allowances.
        {{}, {300, 200, 140, 300}, "MainLeft=4500 MainTop=3000 MainWidth=2220 MainHeight=4860 "},
        {{}, {}, ""}, // nothing made up is stored
    };
    std::string names =
        "PROCESS_TEXTBOX_1=a,b;c=d \"e\" \\f PROCESS_TEXTBOX_2=kept while hidden.exe";
    for (int n = 3; n <= 10; ++n)
        names += " PROCESS_TEXTBOX_" + std::to_string(n) + "=";
    for (auto [stored, moved, geometry] : rows) {
        stored.insert({{"ENABLE_PW_2", "0"}, {"PROCESS_TEXTBOX_2", "kept while hidden.exe"}});
        Core core(stored);
        core.view.known = !geometry.empty();
        core.main.Form_Load();
        core.view.boxes[0].content = "a,b;c=d \"e\" \\f";
        if (moved.width != 0)
            core.view.place({moved.x, moved.y}, {moved.width, moved.height});
        // A second unload (closed, then a session's end) writes nothing more.
        EXPECT_THAT(core.during([&] {
            core.main.Form_Unload();
            core.main.Form_Unload();
        }),
                    ElementsAre("write " + geometry + names, "NameSaveTimer stop"));
    }
}

TEST(MainWindow, TypedNamesAreSavedWhenTypingPausesOrTheFocusLeaves)
{
    Core core;
    core.main.Form_Load();
    const auto type = [&core](int n, const char *text) {
        core.view.boxes[std::size_t(n - 1)].content = text;
        core.main.PROCESS_TEXTBOX_Change(n);
    };
    EXPECT_THAT(core.during([&] {
        type(2, "new");
        type(2, "new.exe"); // the pause starts afresh
        core.main.NameSaveTimer_Timer();
        core.main.NameSaveTimer_Timer(); // nothing more to save
        type(5, "five.exe");
        core.main.PROCESS_TEXTBOX_LostFocus(5);
        core.main.PROCESS_TEXTBOX_LostFocus(5);
    }),
                ElementsAre("NameSaveTimer start", "NameSaveTimer start", "NameSaveTimer stop",
                            "write PROCESS_TEXTBOX_2=new.exe", "NameSaveTimer stop",
                            "NameSaveTimer start", "NameSaveTimer stop",
                            "write PROCESS_TEXTBOX_5=five.exe", "NameSaveTimer stop"));
}

// A laptop screen at 144 DPI, the primary, and a 96-DPI screen to its right. Missed: the place
// went to twips with the DPI of the screen the window stood on at close and came back with the
// primary's, so a window on the second screen moved further right at each start.
TEST(MainWindow, PlaceAndSizeSurviveScreensOfDifferentDpi)
{
    // Closed at: outer corner, client size. Stored: the place in the primary's twips (10 a
    // pixel), the size in those of the screen the window is on.
    const std::pair<PixelRect, const char *> rows[] = {
        {{2000, 100, 105, 258}, "MainLeft=20000 MainTop=1000 MainWidth=1695 MainHeight=4230"},
        {{100, 50, 200, 400}, "MainLeft=1000 MainTop=500 MainWidth=2120 MainHeight=4360"},
    };
    for (const auto &[closedAt, stored] : rows) {
        Core::Stored values;
        for (int start = 0; start < 3; ++start) {
            Core core(values);
            core.view.screenAreas = {{{0, 0, 1920, 1080}, 144}, {{1920, 0, 1280, 1024}, 96}};
            core.main.Form_Load();
            // Opens where it was closed, as large to the eye, and stores the same again.
            const std::string placed = core.log.at(0);
            core.view.place({closedAt.x, closedAt.y}, {closedAt.width, closedAt.height});
            if (start > 0) {
                EXPECT_EQ(placed, core.log.back());
            }
            EXPECT_THAT(core.during([&] { core.main.Form_Unload(); }).at(0),
                        testing::StartsWith(std::string("write ") + stored));
            values = core.backend->values;
        }
    }
}

#include "fixture.h"

#include <gmock/gmock.h>

using testing::ElementsAre;

namespace {

// The log of one opening of the settings window, over the loaded main window, while the user
// does `whileOpen`.
Log openSettings(
    Core &core, WhileOpen whileOpen = [](auto &, auto &) {})
{
    core.view.settingsWhileOpen = std::move(whileOpen);
    return core.during([&core] { core.main.ZEL_TITLE_Click(); });
}

Log writes(Log log)
{
    std::erase_if(log, [](const std::string &line) { return !line.starts_with("write"); });
    return log;
}

} // namespace

TEST(SettingsWindow, LoadPlacesThenSetsAlwaysOnTopThenTheSlotsAndClicksOnlyWhatDiffers)
{
    // Store differs from the design state for "Always On Top" and the first and last slots only:
    // only 1 checks a box, and what is no number reads as the default. The main window runs slot 6
    // for "2"; the settings window shows it unchecked, as designed, and leaves it.
    Core core({{"AlwaysOnTopTimer_TICKBOX", "1"},
               {"ENABLE_PW_1", "-1"},
               {"ENABLE_PW_2", "1"},
               {"ENABLE_PW_3", "abc"},
               {"ENABLE_PW_6", "2"},
               {"ENABLE_PW_10", "1"}});
    core.main.Form_Load();
    // The main window already runs what the store says; the clicks re-apply it and write back.
    EXPECT_THAT(openSettings(core),
                ElementsAre("place 67,67 482x301", "AlwaysOnTopTimer_TICKBOX value 1",
                            "AlwaysOnTopTimer start", "write AlwaysOnTopTimer_TICKBOX=1",
                            "ENABLE_PW_1 value 0", "PROCESS_WATCHER_TIMER_1 stop",
                            "PROCESS_TEXTBOX_1 hide", "write ENABLE_PW_1=0", "ENABLE_PW_10 value 1",
                            "PROCESS_TEXTBOX_10 show", "write ENABLE_PW_10=1", "focus ENABLE_PW_1",
                            "settings shown",
                            "write SettingsScreenLeft=1000 SettingsScreenTop=1000 "
                            "AlwaysOnTopTimer_TICKBOX=1",
                            "settings closed", "focus PROCESS_TEXTBOX_2")); // 1 is hidden now
}

TEST(SettingsWindow, EveryClickActsAtOnceAndWritesEvenAnUnchangedValue)
{
    Core core;
    core.main.Form_Load();
    const Log log = openSettings(core, [](FakeSettingsView &view, ZEL_VANTO_SETTINGS &settings) {
        for (int value : {0, 1, 1}) { // the same value again is written again
            view.enableBox(3).setChecked(value == 1);
            settings.ENABLE_PW_Click(3);
        }
        for (int value : {1, 0}) {
            view.alwaysOnTopBox().setChecked(value == 1);
            settings.AlwaysOnTopTimer_TICKBOX_Click();
        }
        settings.ZEL_VANTO_CREATOR_DblClick();
        settings.ZEL_VANTO_CREATOR_DblClick();
        EXPECT_EQ(view.creator, "corvane@example.org");
        view.corner = {300, 240}; // moved by the user
        settings.OK_BUTTON_Click();
        settings.Form_Unload(); // once only
    });
    EXPECT_THAT(writes(log),
                ElementsAre("write ENABLE_PW_3=0", "write ENABLE_PW_3=1", "write ENABLE_PW_3=1",
                            "write AlwaysOnTopTimer_TICKBOX=1", "write AlwaysOnTopTimer_TICKBOX=0",
                            // OK writes the place, then the unload writes it with the choice.
                            "write SettingsScreenLeft=4500 SettingsScreenTop=3600",
                            "write SettingsScreenLeft=4500 SettingsScreenTop=3600 "
                            "AlwaysOnTopTimer_TICKBOX=0"));
    EXPECT_TRUE(core.view.timers[2].running && core.view.boxes[2].visible);
    // A running slot re-enabled keeps its phase; stopping the keeper reverts nothing.
    EXPECT_EQ(std::count(log.begin(), log.end(), "PROCESS_WATCHER_TIMER_3 start"), 1);
    EXPECT_FALSE(core.view.keeper.running);
    EXPECT_THAT(log, testing::Not(testing::Contains(testing::StartsWith("zorder"))));
}

TEST(SettingsWindow, ReopensWhereItWasClosedWithItsDesignSize)
{
    Core core;
    core.main.Form_Load();
    openSettings(core, [](FakeSettingsView &view, ZEL_VANTO_SETTINGS &) {
        view.corner = {30, 40};
    });
    // A size stored from outside while the program runs is applied at the next opening; the size
    // itself is never written.
    core.backend->values["SettingsScreenWidth"] = "9000";
    EXPECT_EQ(openSettings(core).at(0), "place 30,40 594x301");
    EXPECT_EQ(core.backend->values.at("SettingsScreenWidth"), "9000");
    EXPECT_EQ(core.backend->values.count("SettingsScreenHeight"), 0u);

    // A stored size smaller than the design's is applied too; one that is none, no number or
    // larger than the screen is not. A caption above every screen comes down.
    const std::pair<const char *, const char *> sizes[] = {{"3000", "place 67,0 482x178"},
                                                           {"-15", "place 67,0 482x301"},
                                                           {"20000", "place 67,0 482x301"},
                                                           {"15000", "place 67,0 482x978"}};
    for (const auto &[height, placed] : sizes) {
        Core tiny({{"SettingsScreenHeight", height}, {"SettingsScreenTop", "-900"}});
        tiny.main.Form_Load();
        EXPECT_EQ(openSettings(tiny).at(0), placed) << height;
    }

    // Where the window system cannot report the place, only the choice is written.
    const Log log = openSettings(core, [](FakeSettingsView &view, ZEL_VANTO_SETTINGS &settings) {
        view.known = false;
        settings.OK_BUTTON_Click();
    });
    EXPECT_THAT(writes(log), ElementsAre("write AlwaysOnTopTimer_TICKBOX=0"));
}

TEST(Keyboard, TabOrdersAndTheKeysEachWindowBinds)
{
    const auto order = [](const layout::Window &window) {
        std::string names;
        for (const layout::Control *control : window.tabOrder())
            names += std::string(control->name) + " ";
        return names;
    };
    std::string boxes, checks;
    for (int n = 1; n <= 10; ++n) {
        boxes += "PROCESS_TEXTBOX_" + std::to_string(n) + " ";
        checks += "ENABLE_PW_" + std::to_string(n) + " ";
    }
    EXPECT_EQ(order(layout::mainWindow::window()), boxes + "ZEL_TITLE ");
    EXPECT_EQ(order(layout::settingsWindow::window()),
              checks + "OK_BUTTON AlwaysOnTopTimer_TICKBOX ");

    // Space and Enter on the title strip open the settings window, which takes neither Space
    // (its check boxes' own key) nor anything but Enter and Escape away from the toolkit.
    using layout::Key;
    Core core;
    core.main.Form_Load();
    core.view.settingsWhileOpen = [](FakeSettingsView &, ZEL_VANTO_SETTINGS &settings) {
        EXPECT_TRUE(settings.Form_KeyDown(Key::Enter));
        EXPECT_TRUE(settings.Form_KeyDown(Key::Escape));
        EXPECT_FALSE(settings.Form_KeyDown(Key::Space));
    };
    EXPECT_TRUE(core.main.KeyDown("ZEL_TITLE", Key::Space));
    EXPECT_TRUE(core.main.KeyDown("ZEL_TITLE", Key::Enter));
    EXPECT_FALSE(core.main.KeyDown("ZEL_TITLE", Key::Escape));
    EXPECT_FALSE(core.main.KeyDown("PROCESS_TEXTBOX_1", Key::Enter));
    EXPECT_THAT(core.log, testing::Contains("settings shown").Times(2));
}

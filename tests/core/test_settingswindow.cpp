#include "fixture.h"

#include <gmock/gmock.h>

using testing::ElementsAre;

namespace {

// The settings window opened over a loaded main window, driven by `whileOpen`.
struct Opened : Core
{
    using Core::Core;
    std::size_t mark = 0;

    void open(std::function<void(FakeSettingsView &, ZEL_VANTO_SETTINGS &)> whileOpen = {})
    {
        main.Form_Load();
        mark = log.size();
        view.settingsWhileOpen = std::move(whileOpen);
        main.ZEL_TITLE_Click();
    }
};

std::vector<std::string> writes(const Log &log)
{
    std::vector<std::string> lines;
    for (const std::string &line : log) {
        if (line.starts_with("write"))
            lines.push_back(line);
    }
    return lines;
}

} // namespace

TEST(SettingsWindow, LoadPlacesThenReadsAlwaysOnTopThenTheSlotsAndClicksOnlyWhatDiffers)
{
    // Store differs from the design state for "Always On Top", slot 2 and slot 7 only.
    Opened core({{"AlwaysOnTopTimer_TICKBOX", "1"},
                 {"ENABLE_PW_1", "1"},
                 {"ENABLE_PW_2", "0"},
                 {"ENABLE_PW_7", "1"}});
    core.open();
    // The main window already runs what the store says; the clicks re-apply it and write back.
    EXPECT_THAT(
        core.since(core.mark),
        ElementsAre("read SettingsScreenLeft", "read SettingsScreenTop", "read SettingsScreenWidth",
                    "read SettingsScreenHeight", "place 67,67 482x301",
                    "read AlwaysOnTopTimer_TICKBOX", "AlwaysOnTopTimer_TICKBOX value 1",
                    "AlwaysOnTopTimer start", "write AlwaysOnTopTimer_TICKBOX=1",
                    "read ENABLE_PW_1", "read ENABLE_PW_2", "ENABLE_PW_2 value 0",
                    "PROCESS_WATCHER_TIMER_2 stop", "PROCESS_TEXTBOX_2 hide", "write ENABLE_PW_2=0",
                    "read ENABLE_PW_3", "read ENABLE_PW_4", "read ENABLE_PW_5", "read ENABLE_PW_6",
                    "read ENABLE_PW_7", "ENABLE_PW_7 value 1", "PROCESS_TEXTBOX_7 show",
                    "write ENABLE_PW_7=1", "read ENABLE_PW_8", "read ENABLE_PW_9",
                    "read ENABLE_PW_10", "focus ENABLE_PW_1", "settings shown",
                    "write SettingsScreenLeft=1000 SettingsScreenTop=1000 "
                    "AlwaysOnTopTimer_TICKBOX=1",
                    "settings closed", "focus PROCESS_TEXTBOX_1"));
}

namespace {

struct LoadCase
{
    const char *name;
    std::map<std::string, std::string, std::less<>> stored;
    const char *checked; // boxes 1..10, then "Always On Top"
    std::vector<std::string> writes;
};

class SettingsLoad : public testing::TestWithParam<LoadCase>
{
};

} // namespace

TEST_P(SettingsLoad, BoxesFollowTheStoreAndOnlyDifferencesCountAsClicks)
{
    Opened core(Core::Stored(GetParam().stored));
    core.open();
    std::string checked;
    for (int n = 1; n <= 10; ++n)
        checked += core.view.timers[std::size_t(n - 1)]->running ? '1' : '0';
    checked += core.view.keeper.running ? '1' : '0';
    EXPECT_EQ(checked, GetParam().checked);
    std::vector<std::string> expected = GetParam().writes;
    // The unload writes the place and the "Always On Top" choice.
    expected.push_back("write SettingsScreenLeft=1000 SettingsScreenTop=1000 "
                       "AlwaysOnTopTimer_TICKBOX=" +
                       std::string(1, checked.back()));
    EXPECT_EQ(writes(core.since(core.mark)), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Stored, SettingsLoad,
    testing::Values(
        LoadCase{"EmptyStore", {}, "11111000000", {}},
        LoadCase{
            "EqualToTheDesign", {{"ENABLE_PW_5", "1"}, {"ENABLE_PW_6", "0"}}, "11111000000", {}},
        LoadCase{
            "Differing",
            {{"ENABLE_PW_2", "0"}, {"ENABLE_PW_10", "1"}, {"AlwaysOnTopTimer_TICKBOX", "1"}},
            "10111000011",
            {"write AlwaysOnTopTimer_TICKBOX=1", "write ENABLE_PW_2=0", "write ENABLE_PW_10=1"}},
        // Only 1 checks a box; a text that is no number reads as the key's default. The main
        // window ran slot 6 for "2"; the settings window shows it unchecked and leaves it.
        LoadCase{"ValuesOtherThanZeroAndOne",
                 {{"ENABLE_PW_1", "2"},
                  {"ENABLE_PW_2", "-1"},
                  {"ENABLE_PW_3", "abc"},
                  {"ENABLE_PW_6", "2"},
                  {"AlwaysOnTopTimer_TICKBOX", "-1"}},
                 "00111100000",
                 {"write ENABLE_PW_1=0", "write ENABLE_PW_2=0"}}),
    [](const testing::TestParamInfo<LoadCase> &row) { return row.param.name; });

TEST(SettingsWindow, EveryClickActsAtOnceAndWritesEvenAnUnchangedValue)
{
    Opened core;
    core.open([](FakeSettingsView &view, ZEL_VANTO_SETTINGS &settings) {
        view.enableBox(3).setValue(0);
        settings.ENABLE_PW_Click(3);
        view.enableBox(3).setValue(1);
        settings.ENABLE_PW_Click(3);
        settings.ENABLE_PW_Click(3); // the same value again is written again
        view.alwaysOnTopBox().setValue(1);
        settings.AlwaysOnTopTimer_TICKBOX_Click();
        view.alwaysOnTopBox().setValue(0);
        settings.AlwaysOnTopTimer_TICKBOX_Click();
        settings.ZEL_VANTO_CREATOR_DblClick();
        settings.ZEL_VANTO_CREATOR_DblClick();
        EXPECT_EQ(view.creator, "corvane@example.org");
        view.where.corner = {300, 240}; // moved by the user
        settings.OK_BUTTON_Click();
        settings.Form_Unload(); // once only
    });
    EXPECT_EQ(writes(core.since(core.mark)),
              (std::vector<std::string>{
                  "write ENABLE_PW_3=0", "write ENABLE_PW_3=1", "write ENABLE_PW_3=1",
                  "write AlwaysOnTopTimer_TICKBOX=1", "write AlwaysOnTopTimer_TICKBOX=0",
                  // OK writes the place, then the unload writes it with the choice.
                  "write SettingsScreenLeft=4500 SettingsScreenTop=3600",
                  "write SettingsScreenLeft=4500 SettingsScreenTop=3600 "
                  "AlwaysOnTopTimer_TICKBOX=0"}));
    EXPECT_TRUE(core.view.timers[2]->running && core.view.boxes[2]->visible);
    // A running slot re-enabled keeps its phase; stopping the keeper reverts nothing.
    EXPECT_EQ(std::count(core.log.begin() + long(core.mark), core.log.end(),
                         "PROCESS_WATCHER_TIMER_3 start"),
              1);
    EXPECT_FALSE(core.view.keeper.running);
}

TEST(SettingsWindow, ReopensWhereItWasClosedWithItsDesignSize)
{
    Opened core({{"SettingsScreenWidth", "9000"}});
    core.open([](FakeSettingsView &view, ZEL_VANTO_SETTINGS &) { view.where.corner = {30, 40}; });
    std::size_t mark = core.log.size();
    core.main.ZEL_TITLE_Click();
    // A size stored from outside is applied; the size itself is never written.
    EXPECT_EQ(core.since(mark).at(4), "place 30,40 594x301");
    EXPECT_EQ(core.backend->values.count("SettingsScreenWidth"), 1u);
    EXPECT_EQ(core.backend->values.at("SettingsScreenWidth"), "9000");
    EXPECT_EQ(core.backend->values.count("SettingsScreenHeight"), 0u);

    // A window the user cannot resize, too small for its controls, or with its caption above
    // every screen, opens where it can be used.
    Opened tiny({{"SettingsScreenHeight", "3000"}, {"SettingsScreenTop", "-900"}});
    tiny.open();
    EXPECT_EQ(tiny.since(tiny.mark).at(4), "place 67,0 482x301");

    // Where the window system cannot report the place, only the choice is written.
    Opened unknown;
    unknown.view.where.known = false;
    unknown.open([](FakeSettingsView &view, ZEL_VANTO_SETTINGS &settings) {
        view.where.known = false;
        settings.OK_BUTTON_Click();
    });
    EXPECT_EQ(writes(unknown.since(unknown.mark)),
              std::vector<std::string>{"write AlwaysOnTopTimer_TICKBOX=0"});
}

#include "fixture.h"
#include "textforms.h"

#include <gmock/gmock.h>

TEST(Store, EachKeyReadsByItsOwnConversionAndFallsBackToItsDefault)
{
    // Stored, then read as MainWidth (default 1695), as the settings window reads ENABLE_PW_2
    // (default 1), as the main window reads ENABLE_PW_8 (default off) and AlwaysOnTopTimer_TICKBOX
    // (default off). Fractions round half to even; 1e99 is too big for single precision and 16
    // bits.
    const std::tuple<const char *, float, std::int16_t, bool, bool> readings[] = {
        {"1", 1, 1, true, true},        {"-150", -150, -150, true, false},
        {"2.5", 2.5f, 2, true, false},  {"+3.5", 3.5f, 4, true, false},
        {" 1.0 ", 1, 1, true, true},    {"True", 1695, 1, true, false},
        {"abc", 1695, 1, false, false}, {"", 1695, 1, false, false},
        {"1e99", 1695, 1, true, false}, {"nan", 1695, 1, false, false},
        {"inf", 1695, 1, false, false}};
    for (const auto &[stored, geometry, box, slotOn, keeperOn] : readings) {
        Core core({{"MainWidth", stored},
                   {"ENABLE_PW_2", stored},
                   {"ENABLE_PW_8", stored},
                   {"AlwaysOnTopTimer_TICKBOX", stored}});
        SCOPED_TRACE(stored);
        EXPECT_EQ(core.store.read(keys::mainWidth), geometry);
        EXPECT_EQ(core.store.boxValue(keys::enablePw(2)), box);
        EXPECT_EQ(core.store.onAtStart(keys::enablePw(8)), slotOn);
        EXPECT_EQ(core.store.onAtStart(keys::alwaysOnTop), keeperOn);
    }
}

TEST(Store, GeometryIsWrittenInItsShortestDecimalForm)
{
    const std::pair<float, const char *> forms[] = {
        {1000.0f, "1000"}, {-150.0f, "-150"}, {1234560.0f, "1234560"},  {1000.5f, "1000.5"},
        {0.1f, "0.1"},     {3.0e7f, "3e+07"}, {-1234.567f, "-1234.567"}};
    for (const auto &[value, text] : forms)
        EXPECT_EQ(textforms::fromSingle(value), text);
}

TEST(Store, WhatCouldNotBeWrittenIsReadBackAndWrittenWithTheNextSave)
{
    Core core;
    core.backend->refuseWrites = true;
    core.store.save(keys::processTextbox(4), "typed.exe");
    EXPECT_EQ(core.store.read(keys::processTextbox(4)), "typed.exe");
    core.backend->refuseWrites = false;
    core.store.save(keys::enablePw(4), 0);
    EXPECT_THAT(core.log, testing::Contains("write PROCESS_TEXTBOX_4=typed.exe ENABLE_PW_4=0"));
    EXPECT_EQ(core.backend->values.at("PROCESS_TEXTBOX_4"), "typed.exe");
    core.store.save(keys::processTextbox(4), "later.exe");
    EXPECT_EQ(core.store.read(keys::processTextbox(4)), "later.exe");
}

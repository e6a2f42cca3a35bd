#include "fixture.h"
#include "textforms.h"

#include <gmock/gmock.h>

TEST(Store, EachKeyReadsByItsOwnConversionAndFallsBackToItsDefault)
{
    struct Reading
    {
        const char *stored;
        float geometry;   // as MainWidth (default 1695)
        std::int16_t box; // as the settings window reads ENABLE_PW_2 (default 1)
        bool slotOn;      // as the main window reads ENABLE_PW_8 (default off)
        bool keeperOn;    // as the main window reads AlwaysOnTopTimer_TICKBOX (default off)
    };
    const Reading readings[] = {
        {"1", 1, 1, true, true},
        {"-150", -150, -150, true, false},
        {"2.5", 2.5f, 2, true, false}, // fractions round half to even
        {"+3.5", 3.5f, 4, true, false},
        {" 1.0 ", 1, 1, true, true},
        {"True", 1695, 1, true, false},
        {"abc", 1695, 1, false, false},
        {"", 1695, 1, false, false},
        {"1e99", 1695, 1, true, false}, // too big for single precision and 16 bits
        {"nan", 1695, 1, false, false},
        {"inf", 1695, 1, false, false},
    };
    for (const Reading &r : readings) {
        Core core({{"MainWidth", r.stored},
                   {"ENABLE_PW_2", r.stored},
                   {"ENABLE_PW_8", r.stored},
                   {"AlwaysOnTopTimer_TICKBOX", r.stored}});
        SCOPED_TRACE(r.stored);
        EXPECT_EQ(core.store.read(keys::mainWidth), r.geometry);
        EXPECT_EQ(core.store.boxValue(keys::enablePw(2)), r.box);
        EXPECT_EQ(core.store.onAtStart(keys::enablePw(8)), r.slotOn);
        EXPECT_EQ(core.store.onAtStart(keys::alwaysOnTop), r.keeperOn);
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

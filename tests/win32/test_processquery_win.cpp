#include "diagnostics_win.h"
#include "processquery_win.h"
#include "windowtest.h"

// WMI's process listing against real processes.
TEST(ProcessQuery, FindsRunningImagesByFullNameAndNoneByAnImpossibleName)
{
    const auto query = platform::createProcessQuery();
    EXPECT_TRUE(query->isRunning("SERVICES.EXE")); // the service manager: always runs
    EXPECT_FALSE(query->isRunning("services"));
    // No file has these names, and a quote, a backslash or a control character would change the
    // query: empty; then invalid UTF-8: cut short, an overlong '/', a lone surrogate, past
    // U+10FFFF.
    const std::string run = "services.exe";
    const std::string names[] = {
        "",           run + '"', "\\" + run, run + '\t',     run + '\0',
        run + '\x7f', "\xc3",    "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80"};
    for (const std::string &name : names) {
        EXPECT_EQ(platform::processQueryText(name), std::nullopt) << testing::PrintToString(name);
        EXPECT_FALSE(query->isRunning(name));
    }
    // No image name is longer than 255 UTF-16 units; here 256, the last two a surrogate pair.
    EXPECT_NE(platform::processQueryText(std::string(255, 'z')), std::nullopt);
    EXPECT_EQ(platform::processQueryText(std::string(254, 'z') + "\xf0\x9f\x99\x82"), std::nullopt);
    // WQL has no escapes: a name with an apostrophe goes in double quotes. In single quotes this
    // one would match every process.
    EXPECT_FALSE(query->isRunning("x' OR Name<>'"));
}

// A hung service (busy or restarting): the windows' thread waits at most the bound once a
// second, every name counts as not running meanwhile, and the hang is reported once until the
// service answers again.
TEST(ProcessQuery, AHungServiceIsWaitedForBrieflyOnceASecondAndReportedOnce)
{
    bool hung = true;
    int asked = 0;
    const auto query = platform::createProcessQuery([&](const std::wstring &, long timeoutMs) {
        ++asked;
        EXPECT_LE(timeoutMs, 500);
        if (!hung)
            return platform::QueryAnswer::Found;
        Sleep(DWORD(timeoutMs)); // as WMI's enumerator gives up
        return platform::QueryAnswer::TimedOut;
    });
    std::vector<std::string> reports;
    platform::setProblemListener([&reports](std::string_view line) { reports.emplace_back(line); });
    const ULONGLONG start = GetTickCount64();
    for (int n = 1; n <= 10; ++n)
        EXPECT_FALSE(query->isRunning("services.exe")) << n;
    EXPECT_LT(GetTickCount64() - start, 900u);
    // Asked again after a second; answered, then hung anew: a new report.
    for (const bool hang : {true, false, true}) {
        hung = hang;
        Sleep(1100);
        EXPECT_EQ(query->isRunning("services.exe"), !hang);
    }
    platform::setProblemListener({});
    EXPECT_EQ(asked, 4);
    EXPECT_EQ(reports.size(), 2u);
}

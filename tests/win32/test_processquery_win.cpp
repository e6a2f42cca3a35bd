#include "diagnostics_win.h"
#include "processquery_win.h"
#include "windowtest.h"

// WMI's process listing against real processes: this test program and a copy of it.
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
        SCOPED_TRACE(testing::PrintToString(name));
        EXPECT_EQ(platform::processQueryText(name), std::nullopt);
        EXPECT_FALSE(query->isRunning(name));
    }
    // No image name is longer than 255 UTF-16 units: a longer one is asked nowhere. Here 256,
    // the last two a surrogate pair.
    EXPECT_NE(platform::processQueryText(std::string(255, 'z')), std::nullopt);
    EXPECT_EQ(platform::processQueryText(std::string(254, 'z') + "\xf0\x9f\x99\x82"), std::nullopt);
    // WQL has no escapes: a name with an apostrophe goes in double quotes. In single quotes this
    // one would match every process.
    EXPECT_FALSE(query->isRunning("x' OR Name<>'"));
    // A suspended copy of this program, under a name with an apostrophe.
    wchar_t path[MAX_PATH];
    const std::wstring self(path, GetModuleFileNameW(nullptr, path, MAX_PATH));
    const std::wstring copy = self.substr(0, self.rfind(L'\\') + 1) + L"it's-zv.exe";
    ASSERT_TRUE(CopyFileW(self.c_str(), copy.c_str(), FALSE));
    {
        const Child suspended(L'"' + copy + L'"', CREATE_SUSPENDED);
        EXPECT_TRUE(query->isRunning("it's-zv.exe"));
    }
    DeleteFileW(copy.c_str());
}

// A hung service (busy or restarting): the windows' thread waits at most the bound once a
// second, every name counts as not running meanwhile, and the hang is reported once until the
// service answers again.
TEST(ProcessQuery, AHungServiceIsWaitedForBrieflyOnceASecondAndReportedOnce)
{
    using platform::QueryAnswer;
    bool hung = true;
    int asked = 0;
    const auto query = platform::createProcessQuery([&](const std::wstring &, long timeoutMs) {
        ++asked;
        EXPECT_LE(timeoutMs, 500);
        if (!hung)
            return QueryAnswer::Found;
        Sleep(DWORD(timeoutMs)); // as WMI's enumerator gives up
        return QueryAnswer::TimedOut;
    });
    std::vector<std::string> reports;
    platform::setProblemListener([&reports](std::string_view line) { reports.emplace_back(line); });
    const ULONGLONG start = GetTickCount64();
    for (int n = 1; n <= 10; ++n)
        EXPECT_FALSE(query->isRunning("services.exe")) << n;
    EXPECT_LT(GetTickCount64() - start, 900u);
    EXPECT_EQ(asked, 1);
    Sleep(1100);
    EXPECT_FALSE(query->isRunning("services.exe"));
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(reports.size(), 1u);
    hung = false;
    Sleep(1100);
    EXPECT_TRUE(query->isRunning("services.exe"));
    hung = true;
    Sleep(1100);
    EXPECT_FALSE(query->isRunning("services.exe"));
    platform::setProblemListener({});
    EXPECT_EQ(reports.size(), 2u); // a new hang after an answer
}

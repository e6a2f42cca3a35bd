#include "diagnostics_win.h"
#include "processquery_win.h"
#include "windowtest.h"

#include <atomic>
#include <memory>
#include <utility>

// WMI's process listing against real processes, then over a service that hangs.
TEST(ProcessQuery, FindsImagesByFullNameNoneByAnImpossibleNameAndBoundsAHungService)
{
    const auto real = platform::createProcessQuery();
    EXPECT_TRUE(real->isRunning("SERVICES.EXE")); // the service manager: always runs
    EXPECT_FALSE(real->isRunning("services"));
    // No file has these names, and a quote, a backslash or a control character would change the
    // query: empty; then invalid UTF-8: cut short, an overlong '/', a lone surrogate, past
    // U+10FFFF.
    const std::string run = "services.exe";
    const std::string names[] = {
        "",           run + '"', "\\" + run, run + '\t',     run + '\0',
        run + '\x7f', "\xc3",    "\xc0\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80"};
    for (const std::string &name : names) {
        EXPECT_EQ(platform::processQueryText(name), std::nullopt) << testing::PrintToString(name);
        EXPECT_FALSE(real->isRunning(name));
    }
    // No image name is longer than 255 UTF-16 units; here 256, the last two a surrogate pair.
    EXPECT_NE(platform::processQueryText(std::string(255, 'z')), std::nullopt);
    EXPECT_EQ(platform::processQueryText(std::string(254, 'z') + "\xf0\x9f\x99\x82"), std::nullopt);
    // WQL has no escapes: a name with an apostrophe goes in double quotes. In single quotes this
    // one would match every process.
    EXPECT_FALSE(real->isRunning("x' OR Name<>'"));

    // A service that hangs anywhere (ExecQuery, ConnectServer): the windows' thread waits at most
    // the bound once a second and not at all while the worker is still stuck, a late answer is
    // dropped, a hang or a failure is reported once until the service answers again, and a stuck
    // worker does not hold up the query's end. Fails when the step runs on the caller's thread.
    using platform::QueryAnswer;
    using enum QueryAnswer;
    struct Service
    {
        std::atomic<DWORD> hangMs{1800};
        std::atomic<QueryAnswer> answer{Failed}; // late, so dropped
        std::atomic<int> asked{0};
    };
    const auto service = std::make_shared<Service>(); // outlives a worker left stuck
    auto query = platform::createProcessQuery([service](const std::wstring &, long) {
        ++service->asked;
        const QueryAnswer answer = service->answer;
        Sleep(service->hangMs);
        return answer;
    });
    std::vector<std::string> reports;
    platform::setProblemListener([&reports](std::string_view line) { reports.emplace_back(line); });
    ULONGLONG start = GetTickCount64();
    for (int n = 1; n <= 10; ++n)
        EXPECT_FALSE(query->isRunning("services.exe")) << n;
    EXPECT_LT(GetTickCount64() - start, 900u);
    Sleep(1100); // past the quiet second, still stuck: no wait, nothing queued
    start = GetTickCount64();
    EXPECT_FALSE(query->isRunning("services.exe"));
    EXPECT_LT(GetTickCount64() - start, 100u);
    Sleep(600);
    // Answered; then failing twice; then hung anew: one report each.
    const std::pair<DWORD, QueryAnswer> steps[] = {
        {0, Found}, {0, Failed}, {0, Failed}, {1800, Found}};
    for (const auto &[hangMs, answer] : steps) {
        service->hangMs = hangMs;
        service->answer = answer;
        EXPECT_EQ(query->isRunning("services.exe"), answer == Found && !hangMs);
    }
    start = GetTickCount64();
    query.reset();
    EXPECT_LT(GetTickCount64() - start, 900u);
    platform::setProblemListener({});
    EXPECT_EQ(service->asked, 5);
    EXPECT_EQ(reports.size(), 3u);
}

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

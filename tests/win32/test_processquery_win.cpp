#include "processquery_win.h"
#include "windowtest.h"

#include <gtest/gtest.h>

// WMI's process listing against real processes: this test program and a copy of it.
TEST(ProcessQuery, FindsRunningImagesByFullNameAndNoneByAnImpossibleName)
{
    const auto query = platform::createProcessQuery();
    std::string own = ownImageName();                              // zv_win32_tests.exe
    EXPECT_FALSE(query->isRunning(own.substr(0, own.size() - 4))); // without ".exe"
    CharUpperBuffA(own.data(), static_cast<DWORD>(own.size()));
    EXPECT_TRUE(query->isRunning(own));
    // No file has these names, and a quote, a backslash or a control character would change the
    // query: empty; then invalid UTF-8: cut short, an overlong '/', a lone surrogate, past
    // U+10FFFF.
    const std::string names[] = {"",
                                 own + '"',
                                 "\\" + own,
                                 own + '\t',
                                 own + '\0',
                                 own + '\x7f',
                                 "zv-\xc3.exe",
                                 "zv-\xc0\xaf.exe",
                                 "zv-\xed\xa0\x80.exe",
                                 "zv-\xf4\x90\x80\x80.exe"};
    for (const std::string &name : names) {
        SCOPED_TRACE(testing::PrintToString(name));
        EXPECT_EQ(platform::processQueryText(name), std::nullopt);
        EXPECT_FALSE(query->isRunning(name));
    }
    // WQL has no escapes: a name with an apostrophe goes in double quotes. In single quotes this
    // one would match every process.
    EXPECT_FALSE(query->isRunning("x' OR Name<>'"));
    const std::wstring copy = ownPath().substr(0, ownPath().rfind(L'\\') + 1) + L"it's-zv.exe";
    ASSERT_TRUE(CopyFileW(ownPath().c_str(), copy.c_str(), FALSE));
    {
        const Child suspended(L'"' + copy + L'"', CREATE_SUSPENDED);
        EXPECT_TRUE(query->isRunning("it's-zv.exe"));
        suspended.end();
        EXPECT_FALSE(query->isRunning("it's-zv.exe"));
    }
    DeleteFileW(copy.c_str());
}

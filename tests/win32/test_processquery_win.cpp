#include "processquery_win.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <string>

using platform::processQueryText;

namespace {

std::string ownPath()
{
    char path[MAX_PATH];
    return std::string(path, GetModuleFileNameA(nullptr, path, MAX_PATH));
}

std::string ownImageName()
{
    const std::string path = ownPath();
    return path.substr(path.rfind('\\') + 1);
}

} // namespace

TEST(ProcessQuery, QueryTextQuotesTheNameWithoutEscapes)
{
    const std::wstring select = L"SELECT Name FROM Win32_Process WHERE Name=";
    EXPECT_EQ(processQueryText("notepad.exe"), select + L"'notepad.exe'");
    // WQL has no escapes: a name with an apostrophe goes in double quotes.
    EXPECT_EQ(processQueryText("it's.exe"), select + L"\"it's.exe\"");
}

TEST(ProcessQuery, ImpossibleImageNamesBuildNoQueryAndAreNotRunning)
{
    const auto query = platform::createProcessQuery();
    const std::string own = ownImageName();
    // Empty; a quote, a backslash, control characters; then invalid UTF-8: cut short, an overlong
    // '/', a lone surrogate, past U+10FFFF.
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
        EXPECT_EQ(processQueryText(name), std::nullopt);
        EXPECT_FALSE(query->isRunning(name));
    }
}

TEST(ProcessQuery, FindsRunningImageByFullNameInAnyLetterCase)
{
    const auto query = platform::createProcessQuery();
    const std::string own = ownImageName(); // zv_win32_tests.exe
    EXPECT_TRUE(query->isRunning(own));
    std::string upper = own;
    CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
    EXPECT_TRUE(query->isRunning(upper));
    EXPECT_FALSE(query->isRunning(own.substr(0, own.size() - 4))); // without ".exe"
    EXPECT_FALSE(query->isRunning("x' OR Name<>'"));               // would match every process

    // A suspended copy of this program under a name with an apostrophe.
    const std::string copy = ownPath().substr(0, ownPath().rfind('\\') + 1) + "it's-zv.exe";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CopyFileA(ownPath().c_str(), copy.c_str(), FALSE));
    ASSERT_TRUE(CreateProcessA(copy.c_str(), nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                               nullptr, nullptr, &startup, &info));
    EXPECT_TRUE(query->isRunning("it's-zv.exe"));
    TerminateProcess(info.hProcess, 0);
    WaitForSingleObject(info.hProcess, 10 * 1000);
    EXPECT_FALSE(query->isRunning("it's-zv.exe"));
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    DeleteFileA(copy.c_str());
}

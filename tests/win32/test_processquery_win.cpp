#include "platform/processquery_win.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cctype>
#include <string>

using platform::processQueryText;
using Text = std::optional<std::wstring>;

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

// A copy of this program under another image name, running until it goes out of scope.
struct RunningCopy
{
    explicit RunningCopy(const std::string &imageName)
        : path(ownPath().substr(0, ownPath().rfind('\\') + 1) + imageName)
    {
        std::string commandLine = '"' + path + "\" --wait";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (CopyFileA(ownPath().c_str(), path.c_str(), FALSE) &&
            CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &startup, &info)) {
            CloseHandle(info.hThread);
            process = info.hProcess;
        }
    }
    ~RunningCopy()
    {
        TerminateProcess(process, 0);
        WaitForSingleObject(process, 10 * 1000);
        CloseHandle(process);
        DeleteFileA(path.c_str());
    }

    std::string path;
    HANDLE process = nullptr;
};

} // namespace

TEST(ProcessQuery, QueryTextQuotesTheNameWithoutEscapes)
{
    const std::wstring select = L"SELECT Name FROM Win32_Process WHERE Name=";
    EXPECT_EQ(processQueryText("notepad.exe"), Text(select + L"'notepad.exe'"));
    EXPECT_EQ(processQueryText("zv-pr\u00fcfer \U0001F600.exe"),
              Text(select + L"'zv-pr\u00fcfer \U0001F600.exe'"));
    EXPECT_EQ(processQueryText("it's.exe"), Text(select + L"\"it's.exe\""));
    EXPECT_EQ(processQueryText("x' OR Name<>'"), Text(select + L"\"x' OR Name<>'\""));
}

TEST(ProcessQuery, NamesNoImageCanHaveAnswerFalseWithoutQuery)
{
    const auto query = platform::createProcessQuery();
    const std::string own = ownImageName();
    const std::string names[] = {
        "", own + "\"", "x\" OR Name<>\"", "\\" + own, own + "\\", own + "\t", own + "\x7f",
        std::string("zv\0.exe", 7),
        "zv-\xc3.exe",             // cut short
        "zv-\xc0\xaf.exe",         // overlong '/'
        "zv-\xed\xa0\x80.exe",     // a lone surrogate
        "zv-\xf4\x90\x80\x80.exe", // past U+10FFFF
    };
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
    std::string mixed = own;
    for (std::size_t i = 0; i < mixed.size(); i += 2)
        mixed[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(mixed[i])));
    EXPECT_TRUE(query->isRunning(mixed));
    EXPECT_FALSE(query->isRunning(own.substr(0, own.size() - 4))); // without ".exe"
    EXPECT_FALSE(query->isRunning(own.substr(1)));
    EXPECT_FALSE(query->isRunning(own + "' OR Name<>'")); // would match every process

    {
        const RunningCopy copy("it's-zv.exe");
        ASSERT_NE(copy.process, nullptr);
        EXPECT_TRUE(query->isRunning("it's-zv.exe"));
        EXPECT_TRUE(query->isRunning("IT'S-ZV.EXE"));
    }
    EXPECT_FALSE(query->isRunning("it's-zv.exe"));
}

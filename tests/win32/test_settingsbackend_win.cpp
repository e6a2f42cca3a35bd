#include "diagnostics_win.h"
#include "settingsbackend_win.h"
#include "wintext.h"

#include <windows.h>

#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <string>
#include <vector>

using platform::StoredValue;
using platform::toUtf16;
using platform::toUtf8;

namespace {

// The same 100,000 units, about a third of them outside ASCII.
std::wstring longText()
{
    std::wstring text;
    while (text.size() < 100'000)
        text += L"Zel-\u00e9\u4e2d ";
    text.resize(100'000);
    return text;
}

// A private key under HKCU\Software\ZEL-VANTO-tests for each test, removed afterwards.
class RegistryBackend : public testing::Test
{
protected:
    RegistryBackend()
    {
        std::random_device random;
        m_path = L"Software\\ZEL-VANTO-tests\\" + std::to_wstring(random());
        m_backend = platform::openRegistrySettings(HKEY_CURRENT_USER, m_path);
    }

    ~RegistryBackend() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
        // Only when no other run's key is left in it.
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\ZEL-VANTO-tests");
    }

    // Sets `name` in `section` to the raw bytes given, as another program may have.
    void seed(const std::wstring &section, const std::wstring &name, DWORD type,
              const std::string &bytes)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (m_path + L'\\' + section).c_str(), 0, nullptr,
                                  0, KEY_SET_VALUE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExW(key, name.c_str(), 0, type,
                                 reinterpret_cast<const BYTE *>(bytes.data()),
                                 static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }

    // The type and raw units of `name` in "Settings", as the registry holds them.
    std::pair<DWORD, std::wstring> stored(const std::wstring &name)
    {
        HKEY key = nullptr;
        DWORD type = REG_NONE;
        std::wstring units(200'010, L'\0');
        auto size = static_cast<DWORD>(units.size() * sizeof(wchar_t));
        if (RegOpenKeyExW(HKEY_CURRENT_USER, (m_path + L"\\Settings").c_str(), 0, KEY_READ, &key) ||
            RegQueryValueExW(key, name.c_str(), nullptr, &type,
                             reinterpret_cast<BYTE *>(units.data()), &size))
            size = 0;
        RegCloseKey(key);
        units.resize(size / sizeof(wchar_t));
        return {type, units};
    }

    std::wstring m_path;
    std::unique_ptr<platform::SettingsBackend> m_backend;
};

// Raw bytes of UTF-16 text, with as many bytes as it has.
std::string bytesOf(std::wstring_view text)
{
    return {reinterpret_cast<const char *>(text.data()), text.size() * sizeof(wchar_t)};
}

} // namespace

TEST(WinText, ConvertsLosslesslyAndReplacesInvalidUtf8)
{
    struct Case
    {
        std::string utf8;
        std::wstring utf16;
    };
    // Both directions, each the other's inverse: edges of each sequence length, a pair, and
    // unpaired surrogates (WTF-8) alone, at the end, and in the wrong order.
    const Case lossless[] = {
        {"", L""},
        {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
        {"\x7f\xc2\x80\xdf\xbf", L"\x7f\x80\x7ff"},
        {"\xe0\xa0\x80\xef\xbf\xbf", L"\x800\xffff"},
        {"\xf0\x9f\x99\x82 \xf4\x8f\xbf\xbf", L"\xd83d\xde42 \xdbff\xdfff"},
        {"\xed\xa0\x80", L"\xd800"},
        {"x\xed\xbf\xbf", L"x\xdfff"},
        {"\xed\xb0\x80\xed\xa0\x80", L"\xdc00\xd800"},
    };
    for (const Case &c : lossless) {
        SCOPED_TRACE(testing::PrintToString(c.utf8));
        EXPECT_EQ(toUtf16(c.utf8), c.utf16);
        EXPECT_EQ(toUtf8(c.utf16), c.utf8);
    }
    // One U+FFFD for each maximal piece that could start a sequence, then the next byte afresh.
    const Case invalid[] = {
        {"\x80", L"\xfffd"},                               // lone continuation byte
        {"a\xc3", L"a\xfffd"},                             // cut short at the end
        {"\xe2\x82!", L"\xfffd!"},                         // cut short by ASCII
        {"\xc0\xaf", L"\xfffd\xfffd"},                     // overlong '/'
        {"\xe0\x80\x80", L"\xfffd\xfffd\xfffd"},           // overlong NUL
        {"\xf4\x90\x80\x80", L"\xfffd\xfffd\xfffd\xfffd"}, // past U+10FFFF
        {"\xf0\x9f\x99", L"\xfffd"},                       // emoji without its last byte
        {"\xfe\xff", L"\xfffd\xfffd"},
    };
    for (const Case &c : invalid) {
        SCOPED_TRACE(testing::PrintToString(c.utf8));
        EXPECT_EQ(toUtf16(c.utf8), c.utf16);
    }
}

TEST_F(RegistryBackend, WrittenValuesReadBackAndAreStoredAsRegSz)
{
    const std::vector<StoredValue> values = {
        {"MainLeft", "1000"},
        {"PROCESS_TEXTBOX_1", "it's a \"name\" with C:\\path, tabs\tand;=[]%TEMP%"},
        {"PROCESS_TEXTBOX_2", "\u00e9\u00e8 \u4e2d\u6587 \xf0\x9f\x99\x82.exe"},
        {"PROCESS_TEXTBOX_3", ""},
        {"PROCESS_TEXTBOX_4", "  spaced  "},
        {"PROCESS_TEXTBOX_5", toUtf8(L"lone \xd800 surrogate")},
        {"PROCESS_TEXTBOX_6", toUtf8(longText())},
        {"ENABLE_PW_\u00e9", "1"},
    };
    ASSERT_TRUE(m_backend->write("Settings", values));
    for (const StoredValue &value : values) {
        SCOPED_TRACE(value.key);
        EXPECT_EQ(m_backend->read("Settings", value.key), value.text);
        // Terminated, as the readers of REG_SZ values expect.
        EXPECT_EQ(stored(toUtf16(value.key)),
                  std::pair(DWORD{REG_SZ}, toUtf16(value.text) + L'\0'));
    }
    // A second write replaces, also through another letter case of the key.
    ASSERT_TRUE(m_backend->write("settings", {{"mainleft", "-25.5"}}));
    EXPECT_EQ(m_backend->read("SETTINGS", "MainLeft"), "-25.5");
    EXPECT_EQ(m_backend->read("Settings", "MainTop"), std::nullopt);
    EXPECT_EQ(m_backend->read("Other", "MainLeft"), std::nullopt);

    EXPECT_EQ(platform::openUserSettings("ZEL-VANTO")->location(),
              "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\ZEL-VANTO");
}

TEST_F(RegistryBackend, ReadsValuesOfOlderProgramsAndAsMuchAsDamagedOnesHold)
{
    const std::wstring longer = longText();
    struct Case
    {
        const wchar_t *name;
        DWORD type;
        std::string bytes;
        std::optional<std::string> text;
    };
    const Case cases[] = {
        // Written by an older program: terminated REG_SZ, keys in other letter cases.
        {L"process_textbox_3", REG_SZ, bytesOf({L"calc.exe", 9}), "calc.exe"},
        {L"Mainleft", REG_SZ, bytesOf({L"1234", 5}), "1234"},
        {L"Empty", REG_SZ, "", ""},
        {L"Expand", REG_EXPAND_SZ, bytesOf({L"%TEMP%\\x", 9}), "%TEMP%\\x"},
        {L"NoTerminator", REG_SZ, bytesOf(L"abc"), "abc"},
        {L"OddLength", REG_SZ, bytesOf(L"abc") + 'd', "abc"},
        {L"InnerNul", REG_SZ, bytesOf({L"ab\0cd\0\0", 7}), std::string("ab\0cd", 5)},
        {L"LoneSurrogate", REG_SZ, bytesOf({L"\xdc00x", 3}), "\xed\xb0\x80x"},
        {L"LongUnterminated", REG_SZ, bytesOf(longer), toUtf8(longer)},
        {L"Number", REG_DWORD, std::string("\1\0\0\0", 4), std::nullopt},
        {L"Binary", REG_BINARY, bytesOf({L"1", 2}), std::nullopt},
        {L"Multi", REG_MULTI_SZ, bytesOf({L"a\0b\0", 5}), std::nullopt},
    };
    for (const Case &c : cases)
        seed(L"SETTINGS", c.name, c.type, c.bytes);
    for (const Case &c : cases) {
        SCOPED_TRACE(toUtf8(c.name));
        std::string key = toUtf8(c.name);
        CharUpperBuffA(key.data(), static_cast<DWORD>(key.size()));
        EXPECT_EQ(m_backend->read("Settings", key), c.text);
    }
}

TEST_F(RegistryBackend, FailedWriteReturnsFalseAndIsReportedOnce)
{
    // Wine enforces neither a key's security descriptor nor the parent handle's rights when a
    // subkey is created, but it does refuse a lasting subkey under a volatile key (as Windows
    // does): the application key is made volatile, so no section can be created in it.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_READ, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (m_path + L"\\App").c_str(), 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_READ, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    const auto backend = platform::openRegistrySettings(HKEY_CURRENT_USER, m_path + L"\\App");

    std::vector<std::string> reports;
    platform::setProblemListener([&reports](std::string_view line) { reports.emplace_back(line); });
    const bool first = backend->write("Settings", {{"MainLeft", "20"}, {"MainTop", "30"}});
    const bool second = backend->write("Other", {{"MainTop", "30"}});
    platform::setProblemListener({});

    EXPECT_FALSE(first);
    EXPECT_FALSE(second);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find(backend->location() + "\\Settings:"), std::string::npos)
        << reports[0];
    EXPECT_NE(reports[0].find("(error 1021)"), std::string::npos) << reports[0];
}

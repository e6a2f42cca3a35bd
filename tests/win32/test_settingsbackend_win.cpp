#include "diagnostics_win.h"
#include "windowtest.h"

#include <tuple>

using platform::toUtf8;

// Catches a value not read back as written, a write that does not replace, numbers or damaged
// values read wrongly, a failed read or write not reported, or reported more than once.
TEST(RegistryBackend, ReadsBackWhatItWroteAndAsMuchAsOthersWroteAndReportsFailuresOnce)
{
    const std::wstring longText(100'000, L'\u4e2d');
    // Raw bytes of UTF-16 text, with as many bytes as it has.
    const auto bytesOf = [](std::wstring_view text) {
        return std::string(reinterpret_cast<const char *>(text.data()), text.size() * 2);
    };
    // What names may hold: WQL that would match every process, quotes, non-ASCII, an unpaired
    // surrogate, 100,000 characters.
    const std::vector<platform::StoredValue> written = {
        {"MainLeft", "1000"},
        {"PROCESS_TEXTBOX_1", "\u00e9 \u4e2d \xf0\x9f\x99\x82 tabs\tand;=[]%TEMP%"},
        {"PROCESS_TEXTBOX_2", ""},
        {"PROCESS_TEXTBOX_3", "  spaced  "},
        {"PROCESS_TEXTBOX_7", "x' OR Name<>'\"quoted\" C:\\path"},
        {"PROCESS_TEXTBOX_9", toUtf8(L"lone \xd800 surrogate")},
        {"PROCESS_TEXTBOX_10", toUtf8(longText)},
        {"ENABLE_PW_\u00e9", "1"},
    };
    const TestKey key;
    key.seed(written);
    HKEY settings = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, (key.path + L"\\Settings").c_str(), 0,
                            KEY_ALL_ACCESS, &settings),
              ERROR_SUCCESS);
    for (const auto &[name, text] : written) {
        EXPECT_EQ(key.stored(name), text) << name;
        // REG_SZ with its terminator, as their readers expect.
        DWORD type = REG_NONE, size = 0;
        RegQueryValueExW(settings, platform::toUtf16(name).c_str(), nullptr, &type, nullptr, &size);
        EXPECT_EQ(std::pair(type, size),
                  std::pair(DWORD{REG_SZ}, DWORD(platform::toUtf16(text).size() + 1) * 2));
    }
    // A second write replaces, also through other letter cases.
    ASSERT_TRUE(key.backend()->write("settings", {{"mainleft", "-25.5"}}));
    EXPECT_EQ(key.backend()->read("SETTINGS", "MainLeft"), "-25.5");
    EXPECT_EQ(key.stored("MainTop"), std::nullopt);
    EXPECT_EQ(key.backend()->read("Other", "MainLeft"), std::nullopt);

    // Written by another program, or damaged: numbers are read as their decimal text, other types
    // as nothing.
    const std::tuple<const wchar_t *, DWORD, std::string, std::optional<std::string>> others[] = {
        {L"Expand", REG_EXPAND_SZ, bytesOf({L"%TEMP%\\x", 9}), "%TEMP%\\x"},
        {L"NoTerminator", REG_SZ, bytesOf(L"abc"), "abc"},
        {L"OddLength", REG_SZ, bytesOf(L"abc") + 'd', "abc"},
        {L"InnerNul", REG_SZ, bytesOf({L"ab\0cd\0\0", 7}), std::string("ab\0cd", 5)},
        {L"LoneSurrogate", REG_SZ, bytesOf({L"\xdc00x", 3}), "\xed\xb0\x80x"},
        {L"LongUnterminated", REG_SZ, bytesOf(longText), toUtf8(longText)},
        {L"Number", REG_DWORD, std::string("\x0c\xfe\xff\xff", 4), "-500"},
        {L"Wide", REG_QWORD, std::string("\0\0\0\0\1\0\0\0", 8), "4294967296"},
        {L"Short", REG_DWORD, std::string("\1", 1), std::nullopt},
        {L"Multi", REG_MULTI_SZ, bytesOf({L"a\0b\0", 5}), std::nullopt},
    };
    std::vector<std::string> reports; // of the first value that is neither, once; of a failed key
    platform::setProblemListener([&reports](std::string_view line) { reports.emplace_back(line); });
    const auto backend = key.backend();
    for (const auto &[name, type, bytes, text] : others) {
        RegSetValueExW(settings, name, 0, type, reinterpret_cast<const BYTE *>(bytes.data()),
                       DWORD(bytes.size()));
        EXPECT_EQ(backend->read("Settings", toUtf8(name)), text) << toUtf8(name);
    }

    // Wine enforces neither a key's security descriptor nor the parent handle's rights when a
    // subkey is created, but it does refuse a lasting subkey under a volatile key (as Windows
    // does): the application key is made volatile, so no section can be created in it.
    HKEY app = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (key.path + L"\\App").c_str(), 0, nullptr,
                              REG_OPTION_VOLATILE, KEY_READ, nullptr, &app, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(app);
    const auto failing = platform::openRegistrySettings(HKEY_CURRENT_USER, key.path + L"\\App");
    // However many writes fail, the store is reported once, by the key that failed.
    EXPECT_FALSE(failing->write("Settings", {{"MainLeft", "20"}, {"MainTop", "30"}}));
    EXPECT_FALSE(failing->write("Other", {{"MainTop", "30"}}));
    platform::setProblemListener({});
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].rfind("Cannot read Short in HKEY_CURRENT_USER\\", 0), 0u) << reports[0];
    EXPECT_NE(reports[1].find("HKEY_CURRENT_USER\\" + toUtf8(key.path) + "\\App\\Settings:"),
              std::string::npos);
    RegCloseKey(settings);
}

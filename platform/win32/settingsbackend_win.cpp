#include "settingsbackend_win.h"

#include "diagnostics.h"
#include "wintext.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

namespace platform {

namespace {

// Where the per-user GetSetting/SaveSetting store keeps an application's values, so that settings
// written by an earlier Windows installation are read as they stand.
constexpr wchar_t kUserSettingsPath[] = L"Software\\VB and VBA Program Settings\\";

// A value that keeps growing while we read it is given up on after this many tries.
constexpr int kReadAttempts = 8;

// Closes the key it holds.
class Key
{
public:
    Key() = default;
    Key(const Key &) = delete;
    Key &operator=(const Key &) = delete;
    ~Key()
    {
        if (m_key)
            RegCloseKey(m_key);
    }

    HKEY get() const { return m_key; }
    HKEY *receive() { return &m_key; }

private:
    HKEY m_key = nullptr;
};

std::string rootName(HKEY root)
{
    if (root == HKEY_CURRENT_USER)
        return "HKEY_CURRENT_USER";
    if (root == HKEY_LOCAL_MACHINE)
        return "HKEY_LOCAL_MACHINE";
    return "HKEY " + std::to_string(reinterpret_cast<std::uintptr_t>(root));
}

// The system's wording of `status`, with its number.
std::string reason(LSTATUS status)
{
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    std::wstring message(text ? text : L"", length);
    LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.'))
        message.pop_back();
    const std::string number = "error " + std::to_string(status);
    return message.empty() ? number : toUtf8(message) + " (" + number + ")";
}

// The text of the value `name`: a REG_SZ, or a REG_EXPAND_SZ taken as it stands (unexpanded, as
// typed), or the decimal text of a REG_DWORD or REG_QWORD (a number set with a .reg file or by
// policy). Nullopt with ERROR_UNSUPPORTED_TYPE in `status` for a value of another type.
std::optional<std::wstring> queryText(HKEY key, const std::wstring &name, LSTATUS &status)
{
    // Most values fit at once; a longer one says how long it is and is read again.
    std::wstring text(128, L'\0');
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        DWORD type = REG_NONE;
        auto size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        status = RegQueryValueExW(key, name.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE *>(text.data()), &size);
        if (status == ERROR_MORE_DATA) {
            // One unit more than asked for: an odd size rounds up.
            text.assign(size / sizeof(wchar_t) + 1, L'\0');
            continue;
        }
        if (status == ERROR_SUCCESS && (type == REG_DWORD || type == REG_QWORD) &&
            size == (type == REG_DWORD ? 4u : 8u)) {
            // Little-endian, as Windows stores both; signed, as a .reg file's dword:fffffe0c is
            // the -500 that a place may be.
            if (type == REG_DWORD) {
                std::int32_t number = 0;
                std::memcpy(&number, text.data(), size);
                return std::to_wstring(number);
            }
            std::int64_t number = 0;
            std::memcpy(&number, text.data(), size);
            return std::to_wstring(number);
        }
        if (status == ERROR_SUCCESS && type != REG_SZ && type != REG_EXPAND_SZ)
            status = ERROR_UNSUPPORTED_TYPE;
        if (status != ERROR_SUCCESS)
            return std::nullopt;
        // Damaged values keep all they hold: an odd last byte is half a unit and no text, a missing
        // terminator is no loss, and NULs inside stay. Only the terminators at the end go.
        text.resize(size / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0')
            text.pop_back();
        return text;
    }
    status = ERROR_SUCCESS; // rewritten longer at every try: as if absent this time
    return std::nullopt;
}

class RegistrySettingsBackend final : public SettingsBackend
{
public:
    RegistrySettingsBackend(HKEY root, std::wstring path) : m_root(root), m_path(std::move(path)) {}

    std::optional<std::string> read(std::string_view section, std::string_view key) override
    {
        try {
            const std::wstring path = sectionPath(section);
            const std::wstring name = toUtf16(key);
            // The Win32 calls take names up to the first NUL, which would address another value.
            if (hasNul(path) || hasNul(name))
                return std::nullopt;
            Key opened;
            LSTATUS status =
                RegOpenKeyExW(m_root, path.c_str(), 0, KEY_QUERY_VALUE, opened.receive());
            std::optional<std::wstring> text;
            if (status == ERROR_SUCCESS)
                text = queryText(opened.get(), name, status);
            if (status == ERROR_UNSUPPORTED_TYPE)
                reportOnce("Cannot read " + std::string(key) + " in " + keyName(path) +
                           ": it holds neither text nor a number; the program's own value "
                           "replaces it when the settings are saved");
            else if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
                reportOnce("Cannot read the settings from " + keyName(path) + ": " +
                           reason(status));
            if (!text)
                return std::nullopt;
            return toUtf8(*text);
        } catch (...) {
            return std::nullopt;
        }
    }

    bool write(std::string_view section, const std::vector<StoredValue> &values) override
    {
        try {
            const std::wstring path = sectionPath(section);
            LSTATUS status = hasNul(path) ? ERROR_INVALID_NAME : ERROR_SUCCESS;
            Key created;
            if (status == ERROR_SUCCESS)
                status = RegCreateKeyExW(m_root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         KEY_SET_VALUE, nullptr, created.receive(), nullptr);
            // The registry sets one value at a time; an interruption leaves the first ones new.
            std::string failedValue;
            for (auto value = values.begin(); status == ERROR_SUCCESS && value != values.end();
                 ++value) {
                status = setText(created.get(), toUtf16(value->key), toUtf16(value->text));
                if (status != ERROR_SUCCESS)
                    failedValue = " (value " + value->key + ")";
            }
            if (status != ERROR_SUCCESS) {
                reportOnce("Cannot write the settings to " + keyName(path) + failedValue + ": " +
                           reason(status));
                return false;
            }
            return true;
        } catch (...) {
            return false;
        }
    }

    std::string location() const override
    {
        try {
            return keyName(m_path);
        } catch (...) {
            return {};
        }
    }

private:
    static bool hasNul(const std::wstring &text) { return text.find(L'\0') != std::wstring::npos; }

    static LSTATUS setText(HKEY key, const std::wstring &name, const std::wstring &text)
    {
        if (hasNul(name) || text.size() >= MAXDWORD / sizeof(wchar_t))
            return ERROR_INVALID_PARAMETER;
        // With its terminator, as REG_SZ values are expected to end.
        return RegSetValueExW(key, name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE *>(text.c_str()),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    }

    std::wstring sectionPath(std::string_view section) const
    {
        return m_path + L'\\' + toUtf16(section);
    }

    std::string keyName(const std::wstring &path) const
    {
        return rootName(m_root) + '\\' + toUtf8(path);
    }

    void reportOnce(const std::string &line)
    {
        if (m_reported)
            return;
        m_reported = true;
        reportProblem(line);
    }

    HKEY m_root;
    std::wstring m_path;
    bool m_reported = false;
};

} // namespace

std::unique_ptr<SettingsBackend> openRegistrySettings(HKEY root, std::wstring path)
{
    return std::make_unique<RegistrySettingsBackend>(root, std::move(path));
}

std::unique_ptr<SettingsBackend> openUserSettings(std::string_view application)
{
    return openRegistrySettings(HKEY_CURRENT_USER, kUserSettingsPath + toUtf16(application));
}

} // namespace platform

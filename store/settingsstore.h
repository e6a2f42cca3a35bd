#pragma once

#include "settingkeys.h"
#include "settingsbackend.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The per-user store of everything remembered between runs: text values addressed by
// application, section and key, over the operating system's settings back end. A value that
// cannot be written is kept here and written with the next save that succeeds, so that the
// program reads back what it saved either way.
class SettingsStore
{
public:
    static constexpr std::string_view kApplication = "ZEL-VANTO";
    static constexpr std::string_view kSection = "Settings";

    using Opener =
        std::function<std::unique_ptr<platform::SettingsBackend>(std::string_view application)>;

    // `open` gives the back end of an application the first time it is addressed.
    explicit SettingsStore(Opener open);
    ~SettingsStore();
    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    // The stored text, or `defaultText` when the key is absent.
    std::string GetSetting(std::string_view application, std::string_view section,
                           std::string_view key, std::string_view defaultText);
    // Creates or replaces the value at once.
    void SaveSetting(std::string_view application, std::string_view section, std::string_view key,
                     std::string_view text);

    // Typed reads of this program's keys; a text that does not convert reads as the default.
    float read(const keys::GeometryKey &key);
    std::string read(const keys::NameKey &key);
    // The settings window's reading of a check box: the stored 16-bit value.
    std::int16_t boxValue(const keys::FlagKey &key);
    // The main window's reading of a check box at start, by the key's own rule.
    bool onAtStart(const keys::FlagKey &key);

    // Values written together, as one replacement of what the store keeps.
    class Batch
    {
    public:
        Batch &add(const keys::GeometryKey &key, float value);
        Batch &add(const keys::NameKey &key, std::string text);
        Batch &add(const keys::FlagKey &key, std::int16_t value);
        bool empty() const { return m_values.empty(); }

    private:
        friend class SettingsStore;
        std::vector<platform::StoredValue> m_values;
    };
    void save(const Batch &batch);
    void save(const keys::GeometryKey &key, float value);
    void save(const keys::NameKey &key, std::string text);
    void save(const keys::FlagKey &key, std::int16_t value);

private:
    struct Area
    {
        std::unique_ptr<platform::SettingsBackend> backend;
        // Section, then key: values not written yet because the back end refused them.
        std::map<std::string, std::map<std::string, std::string, std::less<>>, std::less<>> unsaved;
    };

    Area &area(std::string_view application);
    std::optional<std::string> lookup(std::string_view application, std::string_view section,
                                      std::string_view key);
    std::optional<std::string> stored(std::string_view key);
    void write(std::string_view application, std::string_view section,
               std::vector<platform::StoredValue> values);

    Opener m_open;
    std::map<std::string, Area, std::less<>> m_areas;
};

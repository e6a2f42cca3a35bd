#pragma once

#include "settingkeys.h"
#include "settingsbackend.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The per-user store of everything remembered between runs: text values of this program's one
// application and section, over the operating system's settings back end. A value that cannot
// be written is kept here and written with the next save that succeeds, so that the program reads
// back what it saved either way.
class SettingsStore
{
public:
    static constexpr std::string_view kApplication = "ZEL-VANTO";
    static constexpr std::string_view kSection = "Settings";

    explicit SettingsStore(std::unique_ptr<platform::SettingsBackend> backend);
    ~SettingsStore();
    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

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
    std::optional<std::string> stored(std::string_view key);

    std::unique_ptr<platform::SettingsBackend> m_backend;
    // Values not written yet because the back end refused them.
    std::map<std::string, std::string, std::less<>> m_unsaved;
};

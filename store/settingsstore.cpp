#include "settingsstore.h"

#include "textforms.h"

SettingsStore::SettingsStore(Opener open) : m_open(std::move(open)) {}

SettingsStore::~SettingsStore() = default;

SettingsStore::Area &SettingsStore::area(std::string_view application)
{
    auto found = m_areas.find(application);
    if (found == m_areas.end()) {
        found = m_areas.emplace(std::string(application), Area{}).first;
        found->second.backend = m_open(application);
    }
    return found->second;
}

std::optional<std::string> SettingsStore::lookup(std::string_view application,
                                                 std::string_view section, std::string_view key)
{
    Area &where = area(application);
    if (const auto group = where.unsaved.find(section); group != where.unsaved.end()) {
        if (const auto value = group->second.find(key); value != group->second.end())
            return value->second;
    }
    return where.backend ? where.backend->read(section, key) : std::nullopt;
}

std::string SettingsStore::GetSetting(std::string_view application, std::string_view section,
                                      std::string_view key, std::string_view defaultText)
{
    std::optional<std::string> text = lookup(application, section, key);
    return text ? std::move(*text) : std::string(defaultText);
}

void SettingsStore::SaveSetting(std::string_view application, std::string_view section,
                                std::string_view key, std::string_view text)
{
    write(application, section, {{std::string(key), std::string(text)}});
}

void SettingsStore::write(std::string_view application, std::string_view section,
                          std::vector<platform::StoredValue> values)
{
    Area &where = area(application);
    auto &unsaved = where.unsaved[std::string(section)];
    // What an earlier save could not write goes first, so that this save's values win.
    std::vector<platform::StoredValue> all;
    all.reserve(unsaved.size() + values.size());
    for (auto &[key, text] : unsaved)
        all.push_back({key, text});
    std::move(values.begin(), values.end(), std::back_inserter(all));
    if (where.backend && where.backend->write(section, all)) {
        unsaved.clear();
        return;
    }
    for (auto &value : all)
        unsaved[value.key] = std::move(value.text);
}

std::optional<std::string> SettingsStore::stored(std::string_view key)
{
    return lookup(kApplication, kSection, key);
}

float SettingsStore::read(const keys::GeometryKey &key)
{
    const std::optional<std::string> text = stored(key.name);
    return text ? textforms::toSingle(*text).value_or(key.defaultValue) : key.defaultValue;
}

std::string SettingsStore::read(const keys::NameKey &key)
{
    return GetSetting(kApplication, kSection, key.name, {});
}

std::int16_t SettingsStore::boxValue(const keys::FlagKey &key)
{
    const std::optional<std::string> text = stored(key.name);
    return text ? textforms::toInt16(*text).value_or(key.defaultValue) : key.defaultValue;
}

bool SettingsStore::onAtStart(const keys::FlagKey &key)
{
    const std::optional<std::string> text = stored(key.name);
    switch (key.atStart) {
    case keys::StartReading::NonZero: {
        const std::optional<bool> on = text ? textforms::toBoolean(*text) : std::nullopt;
        return on.value_or(key.defaultValue != 0);
    }
    case keys::StartReading::ExactlyOne: {
        const std::optional<double> value = text ? textforms::toDouble(*text) : std::nullopt;
        return value.value_or(key.defaultValue) == 1;
    }
    }
    return false;
}

SettingsStore::Batch &SettingsStore::Batch::add(const keys::GeometryKey &key, float value)
{
    m_values.push_back({key.name, textforms::fromSingle(value)});
    return *this;
}

SettingsStore::Batch &SettingsStore::Batch::add(const keys::NameKey &key, std::string text)
{
    m_values.push_back({key.name, std::move(text)});
    return *this;
}

SettingsStore::Batch &SettingsStore::Batch::add(const keys::FlagKey &key, std::int16_t value)
{
    m_values.push_back({key.name, textforms::fromInt16(value)});
    return *this;
}

void SettingsStore::save(const Batch &batch)
{
    write(kApplication, kSection, batch.m_values);
}

void SettingsStore::save(const keys::GeometryKey &key, float value)
{
    save(Batch().add(key, value));
}

void SettingsStore::save(const keys::NameKey &key, std::string text)
{
    save(Batch().add(key, std::move(text)));
}

void SettingsStore::save(const keys::FlagKey &key, std::int16_t value)
{
    save(Batch().add(key, value));
}

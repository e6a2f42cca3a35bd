#include "settingsstore.h"

#include "textforms.h"

SettingsStore::SettingsStore(std::unique_ptr<platform::SettingsBackend> backend)
    : m_backend(backend ? std::move(backend) : platform::createNullSettings())
{}

SettingsStore::~SettingsStore() = default;

std::optional<std::string> SettingsStore::stored(std::string_view key)
{
    if (const auto value = m_unsaved.find(key); value != m_unsaved.end())
        return value->second;
    return m_backend->read(kSection, key);
}

float SettingsStore::read(const keys::GeometryKey &key)
{
    const std::optional<std::string> text = stored(key.name);
    return text ? textforms::toSingle(*text).value_or(key.defaultValue) : key.defaultValue;
}

std::string SettingsStore::read(const keys::NameKey &key)
{
    return stored(key.name).value_or(std::string());
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
    // What an earlier save could not write goes first, so that this save's values win.
    std::vector<platform::StoredValue> all;
    all.reserve(m_unsaved.size() + batch.m_values.size());
    for (const auto &[key, text] : m_unsaved)
        all.push_back({key, text});
    all.insert(all.end(), batch.m_values.begin(), batch.m_values.end());
    if (m_backend->write(kSection, all)) {
        m_unsaved.clear();
        return;
    }
    for (auto &value : all)
        m_unsaved[value.key] = std::move(value.text);
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

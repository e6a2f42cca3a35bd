#pragma once

#include <QString>
#include <vector>

// One entry of the store's key table: the key and the text read when it is absent.
struct SettingKey
{
    QString name;
    QString defaultText;
};

// The complete key table. Nothing else in the program spells a key.
namespace SettingKeys {

constexpr int kSlotCount = 10;

const SettingKey &mainLeft();
const SettingKey &mainTop();
const SettingKey &mainWidth();
const SettingKey &mainHeight();
const SettingKey &processTextbox(int slot); // slot 1..10
const SettingKey &enablePw(int slot);       // slot 1..10
const SettingKey &alwaysOnTop();
const SettingKey &settingsLeft();
const SettingKey &settingsTop();
const SettingKey &settingsWidth();
const SettingKey &settingsHeight();

const std::vector<SettingKey> &all();

} // namespace SettingKeys

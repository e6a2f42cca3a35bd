#include "settingkeys.h"

#include <QtGlobal>

namespace SettingKeys {

namespace {

enum Index
{
    MainLeft,
    MainTop,
    MainWidth,
    MainHeight,
    ProcessTextbox1,
    EnablePw1 = ProcessTextbox1 + kSlotCount,
    AlwaysOnTop = EnablePw1 + kSlotCount,
    SettingsLeft,
    SettingsTop,
    SettingsWidth,
    SettingsHeight,
    Count
};

std::vector<SettingKey> buildTable()
{
    std::vector<SettingKey> table(Count);
    table[MainLeft] = {QStringLiteral("MainLeft"), QStringLiteral("1000")};
    table[MainTop] = {QStringLiteral("MainTop"), QStringLiteral("1000")};
    table[MainWidth] = {QStringLiteral("MainWidth"), QStringLiteral("1695")};
    table[MainHeight] = {QStringLiteral("MainHeight"), QStringLiteral("4230")};
    for (int n = 1; n <= kSlotCount; ++n) {
        table[ProcessTextbox1 + n - 1] = {QStringLiteral("PROCESS_TEXTBOX_%1").arg(n), QString()};
        // Slots 1 to 5 are in use on a first run.
        table[EnablePw1 + n - 1] = {QStringLiteral("ENABLE_PW_%1").arg(n),
                                    n <= 5 ? QStringLiteral("1") : QStringLiteral("0")};
    }
    table[AlwaysOnTop] = {QStringLiteral("AlwaysOnTopTimer_TICKBOX"), QStringLiteral("0")};
    table[SettingsLeft] = {QStringLiteral("SettingsScreenLeft"), QStringLiteral("1000")};
    table[SettingsTop] = {QStringLiteral("SettingsScreenTop"), QStringLiteral("1000")};
    table[SettingsWidth] = {QStringLiteral("SettingsScreenWidth"), QStringLiteral("7320")};
    table[SettingsHeight] = {QStringLiteral("SettingsScreenHeight"), QStringLiteral("4845")};
    return table;
}

const SettingKey &at(int index)
{
    return all()[static_cast<std::size_t>(index)];
}

int slotIndex(int first, int slot)
{
    Q_ASSERT(slot >= 1 && slot <= kSlotCount);
    return first + qBound(1, slot, kSlotCount) - 1;
}

} // namespace

const std::vector<SettingKey> &all()
{
    static const std::vector<SettingKey> table = buildTable();
    return table;
}

const SettingKey &mainLeft()
{
    return at(MainLeft);
}
const SettingKey &mainTop()
{
    return at(MainTop);
}
const SettingKey &mainWidth()
{
    return at(MainWidth);
}
const SettingKey &mainHeight()
{
    return at(MainHeight);
}
const SettingKey &processTextbox(int slot)
{
    return at(slotIndex(ProcessTextbox1, slot));
}
const SettingKey &enablePw(int slot)
{
    return at(slotIndex(EnablePw1, slot));
}
const SettingKey &alwaysOnTop()
{
    return at(AlwaysOnTop);
}
const SettingKey &settingsLeft()
{
    return at(SettingsLeft);
}
const SettingKey &settingsTop()
{
    return at(SettingsTop);
}
const SettingKey &settingsWidth()
{
    return at(SettingsWidth);
}
const SettingKey &settingsHeight()
{
    return at(SettingsHeight);
}

} // namespace SettingKeys

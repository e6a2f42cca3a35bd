#include "settingkeys.h"

#include <array>
#include <cassert>

namespace keys {

namespace {

struct Table
{
    GeometryKey mainLeft{"MainLeft", 1000};
    GeometryKey mainTop{"MainTop", 1000};
    GeometryKey mainWidth{"MainWidth", 1695};
    GeometryKey mainHeight{"MainHeight", 4230};
    std::array<NameKey, kSlotCount> processTextbox;
    std::array<FlagKey, kSlotCount> enablePw;
    // The main window starts the keeper only for exactly 1; any other number leaves it off.
    FlagKey alwaysOnTop{"AlwaysOnTopTimer_TICKBOX", 0, StartReading::ExactlyOne};
    GeometryKey settingsLeft{"SettingsScreenLeft", 1000};
    GeometryKey settingsTop{"SettingsScreenTop", 1000};
    GeometryKey settingsWidth{"SettingsScreenWidth", 7320};
    GeometryKey settingsHeight{"SettingsScreenHeight", 4845};

    Table()
    {
        for (int n = 1; n <= kSlotCount; ++n) {
            const auto i = static_cast<std::size_t>(n - 1);
            processTextbox[i] = {"PROCESS_TEXTBOX_" + std::to_string(n)};
            // Slots 1 to 5 are in use on a first run. The main window runs a slot for any
            // number other than 0.
            enablePw[i] = {"ENABLE_PW_" + std::to_string(n), std::int16_t(n <= 5 ? 1 : 0),
                           StartReading::NonZero};
        }
    }
};

const Table &table()
{
    static const Table keys;
    return keys;
}

std::size_t slotIndex(int slot)
{
    assert(slot >= 1 && slot <= kSlotCount);
    return static_cast<std::size_t>(slot < 1 ? 0 : slot > kSlotCount ? kSlotCount - 1 : slot - 1);
}

} // namespace

const GeometryKey &mainLeft()
{
    return table().mainLeft;
}
const GeometryKey &mainTop()
{
    return table().mainTop;
}
const GeometryKey &mainWidth()
{
    return table().mainWidth;
}
const GeometryKey &mainHeight()
{
    return table().mainHeight;
}
const NameKey &processTextbox(int slot)
{
    return table().processTextbox[slotIndex(slot)];
}
const FlagKey &enablePw(int slot)
{
    return table().enablePw[slotIndex(slot)];
}
const FlagKey &alwaysOnTop()
{
    return table().alwaysOnTop;
}
const GeometryKey &settingsLeft()
{
    return table().settingsLeft;
}
const GeometryKey &settingsTop()
{
    return table().settingsTop;
}
const GeometryKey &settingsWidth()
{
    return table().settingsWidth;
}
const GeometryKey &settingsHeight()
{
    return table().settingsHeight;
}

} // namespace keys

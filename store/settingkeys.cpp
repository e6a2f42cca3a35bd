#include "settingkeys.h"

#include <array>
#include <cassert>

namespace keys {

std::size_t slotIndex(int slot)
{
    assert(slot >= 1 && slot <= kSlotCount);
    return static_cast<std::size_t>(slot < 1 ? 0 : slot > kSlotCount ? kSlotCount - 1 : slot - 1);
}

namespace {

template <typename Key, typename Make> const Key &perSlot(int slot, Make make)
{
    static const std::array<Key, kSlotCount> table = [&make] {
        std::array<Key, kSlotCount> all;
        for (int n = 1; n <= kSlotCount; ++n)
            all[slotIndex(n)] = make(std::to_string(n), n);
        return all;
    }();
    return table[slotIndex(slot)];
}

} // namespace

const NameKey &processTextbox(int slot)
{
    return perSlot<NameKey>(
        slot, [](const std::string &n, int) { return NameKey{"PROCESS_TEXTBOX_" + n}; });
}

const FlagKey &enablePw(int slot)
{
    return perSlot<FlagKey>(slot, [](const std::string &n, int number) {
        return FlagKey{"ENABLE_PW_" + n, std::int16_t(onByDefault(number) ? 1 : 0),
                       StartReading::NonZero};
    });
}

} // namespace keys

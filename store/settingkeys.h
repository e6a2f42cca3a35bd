#pragma once

#include <cstdint>
#include <string>

// The complete key table of the store. Each key carries the text read when it is absent and the
// way its text converts, so that no two readers can silently disagree. Nothing else in the
// program spells a key; adding one is one line here.
namespace keys {

// The watch slots, numbered 1 to kSlotCount; each has a name and an enable key.
constexpr int kSlotCount = 10;
// The slots in use on a first run: 1 to 5.
constexpr bool onByDefault(int slot)
{
    return slot <= 5;
}
// Slot `slot`'s place in a table of kSlotCount entries; an out-of-range number is a programming
// error, and lands on the nearest slot rather than outside the table.
std::size_t slotIndex(int slot);

// A window's edge or size in twips: a single-precision number, written in its shortest decimal
// form.
struct GeometryKey
{
    std::string name;
    float defaultValue;
};

// A slot's process name: any text, kept verbatim.
struct NameKey
{
    std::string name;
};

// How the main window reads a check box's state at start.
enum class StartReading
{
    // Any number other than 0 is on (the Boolean conversion).
    NonZero,
    // On only when the number equals 1 exactly (the double-precision conversion compared with 1).
    ExactlyOne,
};

// A check box's state, written as "1" (checked) or "0" (unchecked) by the settings window. Two
// windows read it, each in its own way, and both readings are kept because they differ only for
// values that the program never writes itself (a hand-edited "2", "-1" or "0.5"):
// - the settings window shows the stored 16-bit integer, and only 1 checks the box;
// - the main window starts the slot or the keeper according to `atStart`.
struct FlagKey
{
    std::string name;
    std::int16_t defaultValue;
    StartReading atStart;
};

inline const GeometryKey mainLeft{"MainLeft", 1000};
inline const GeometryKey mainTop{"MainTop", 1000};
inline const GeometryKey mainWidth{"MainWidth", 1695};
inline const GeometryKey mainHeight{"MainHeight", 4230};
// The main window starts the keeper only for exactly 1; any other number leaves it off.
inline const FlagKey alwaysOnTop{"AlwaysOnTopTimer_TICKBOX", 0, StartReading::ExactlyOne};
inline const GeometryKey settingsLeft{"SettingsScreenLeft", 1000};
inline const GeometryKey settingsTop{"SettingsScreenTop", 1000};
inline const GeometryKey settingsWidth{"SettingsScreenWidth", 7320};   // read, never written
inline const GeometryKey settingsHeight{"SettingsScreenHeight", 4845}; // read, never written

const NameKey &processTextbox(int slot);
// The main window runs a slot for any number other than 0.
const FlagKey &enablePw(int slot);

} // namespace keys

#pragma once

#include <cstdint>
#include <string>

// The complete key table of the store. Each key carries the text read when it is absent and the
// way its text converts, so that no two readers can silently disagree. Nothing else in the
// program spells a key.
namespace keys {

constexpr int kSlotCount = 10;

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

const GeometryKey &mainLeft();
const GeometryKey &mainTop();
const GeometryKey &mainWidth();
const GeometryKey &mainHeight();
const NameKey &processTextbox(int slot); // slot 1..10
const FlagKey &enablePw(int slot);       // slot 1..10
const FlagKey &alwaysOnTop();
const GeometryKey &settingsLeft();
const GeometryKey &settingsTop();
const GeometryKey &settingsWidth();  // read, never written
const GeometryKey &settingsHeight(); // read, never written

} // namespace keys

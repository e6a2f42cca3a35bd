#pragma once

#include <optional>
#include <string>
#include <string_view>

// How QSettings (Qt 6, Unix) escapes keys and values in an INI file, both ways.
namespace platform::ini {

// The file's texts and the program's are UTF-8: a line with bytes that are not reads as damaged,
// and what is written is the program's own text, so that a bad byte would only be replaced.
std::u16string utf16(std::string_view s);
std::string utf8(std::u16string_view s);

// A key (or section name) as written: '\' stands for '/', "%XX" and "%UXXXX" for the character
// with that code.
std::u16string unescapedKey(std::string_view raw);
void appendEscapedKey(std::string &out, std::u16string_view key);

// The prefix of the keys of section `name` as written between the brackets: "" for [General].
std::string sectionPrefix(std::string_view name);
// The header line of the section whose keys start with `prefix`.
std::string headerLine(std::string_view prefix);

// A value as QSettings decodes a string (quotes, C-like escapes, padding); '@' forms not read.
std::u16string decodedValue(std::string_view s);
// The value as QSettings writes a string, so that QSettings reads back exactly `s`.
void appendEscapedValue(std::string &out, std::u16string_view s);

// How QSettings stores a text, '@' forms made where the text would read as one.
std::u16string storedForm(std::string_view text);
// The text a stored value means, reading its '@' forms as QSettings does; nullopt for the ones
// that are not a text (another type, or "@Invalid()").
std::optional<std::string> valueText(std::u16string_view s);

} // namespace platform::ini

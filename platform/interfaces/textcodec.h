#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The one converter between the program's texts (UTF-8) and UTF-16. Each caller says what its
// input may hold that is not text, and what should become of it:
enum class BadText
{
    // Each maximal piece of bytes that is not UTF-8, an encoded surrogate and an unpaired
    // surrogate become U+FFFD: for texts where a readable result matters more than the bytes.
    Replace,
    // Lossless from UTF-16 and back (WTF-8): an unpaired surrogate becomes its 3-byte form and
    // that form becomes the surrogate again; other bytes that are not UTF-8 become U+FFFD.
    Keep,
    // Anything that is not strict UTF-8 or UTF-16 fails the conversion.
    Reject
};

// UTF-16 of `utf8`; nullopt only under BadText::Reject, when `utf8` is not strict UTF-8.
std::optional<std::u16string> utf16From(std::string_view utf8, BadText policy);

// UTF-8 of `utf16`; nullopt only under BadText::Reject, when it holds an unpaired surrogate.
std::optional<std::string> utf8From(std::u16string_view utf16, BadText policy);

// One code point as UTF-8, appended to `out`; a surrogate is given its 3-byte form.
void appendUtf8(std::string &out, char32_t codePoint);

} // namespace platform

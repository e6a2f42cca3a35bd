#pragma once

#include <string>
#include <string_view>

namespace platform {

// Texts cross between the program (UTF-8) and Windows (UTF-16) losslessly: whatever an edit box or
// the registry holds comes back unchanged after toUtf8 then toUtf16, unpaired surrogates included.

// UTF-16 of `utf8`. The 3-byte form of a surrogate (WTF-8) becomes that surrogate; each maximal
// piece of bytes that is not UTF-8 becomes one U+FFFD.
std::wstring toUtf16(std::string_view utf8);

// UTF-8 of `utf16`; an unpaired surrogate becomes its 3-byte form (WTF-8).
std::string toUtf8(std::wstring_view utf16);

} // namespace platform

#include "wintext.h"

#include "textcodec.h"

namespace platform {

static_assert(sizeof(wchar_t) == 2, "Windows' wide characters are UTF-16 code units");

// Kept: what an edit box or the registry holds comes back unchanged, unpaired surrogates
// included.

std::wstring toUtf16(std::string_view utf8)
{
    const std::u16string text = *utf16From(utf8, BadText::Keep);
    return std::wstring(text.begin(), text.end());
}

std::string toUtf8(std::wstring_view utf16)
{
    return *utf8From(std::u16string(utf16.begin(), utf16.end()), BadText::Keep);
}

} // namespace platform

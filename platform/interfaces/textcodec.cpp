#include "textcodec.h"

namespace platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isHighSurrogate(char32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(char32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void appendUtf16(std::u16string &out, char32_t codePoint)
{
    if (codePoint < 0x10000) {
        out += static_cast<char16_t>(codePoint);
        return;
    }
    codePoint -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (codePoint >> 10));
    out += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
}

} // namespace

void appendUtf8(std::string &out, char32_t codePoint)
{
    const auto byte = [&out](char32_t value) { out += static_cast<char>(value); };
    if (codePoint < 0x80) {
        byte(codePoint);
    } else if (codePoint < 0x800) {
        byte(0xC0 | (codePoint >> 6));
        byte(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        byte(0xE0 | (codePoint >> 12));
        byte(0x80 | ((codePoint >> 6) & 0x3F));
        byte(0x80 | (codePoint & 0x3F));
    } else {
        byte(0xF0 | (codePoint >> 18));
        byte(0x80 | ((codePoint >> 12) & 0x3F));
        byte(0x80 | ((codePoint >> 6) & 0x3F));
        byte(0x80 | (codePoint & 0x3F));
    }
}

std::optional<std::u16string> utf16From(std::string_view utf8, BadText policy)
{
    std::u16string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out += static_cast<char16_t>(lead);
            ++i;
            continue;
        }
        // The sequence's length, and the range of its second byte: that range keeps out overlong
        // forms, everything past U+10FFFF and, unless kept, the surrogates (ED A0..BF).
        std::size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            if (lead == 0xE0)
                low = 0xA0;
            if (lead == 0xED && policy != BadText::Keep)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            if (lead == 0xF0)
                low = 0x90;
            if (lead == 0xF4)
                high = 0x8F;
        }
        char32_t codePoint = lead & (0x7Fu >> length);
        std::size_t taken = 1;
        for (; taken < length && i + taken < utf8.size(); ++taken) {
            const auto next = static_cast<unsigned char>(utf8[i + taken]);
            if (next < low || next > high)
                break;
            codePoint = (codePoint << 6) | (next & 0x3Fu);
            low = 0x80;
            high = 0xBF;
        }
        if (length == 0 || taken < length) {
            // A sequence cut short is replaced as a whole; the byte that cut it starts afresh.
            if (policy == BadText::Reject)
                return std::nullopt;
            codePoint = kReplacement;
        }
        i += taken;
        appendUtf16(out, codePoint);
    }
    return out;
}

std::optional<std::string> utf8From(std::u16string_view utf16, BadText policy)
{
    std::string out;
    out.reserve(utf16.size());
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t codePoint = utf16[i];
        if (isHighSurrogate(codePoint) && i + 1 < utf16.size() && isLowSurrogate(utf16[i + 1])) {
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (char32_t(utf16[++i]) - 0xDC00);
        } else if (isHighSurrogate(codePoint) || isLowSurrogate(codePoint)) {
            if (policy == BadText::Reject)
                return std::nullopt;
            if (policy == BadText::Replace)
                codePoint = kReplacement;
        }
        appendUtf8(out, codePoint);
    }
    return out;
}

} // namespace platform

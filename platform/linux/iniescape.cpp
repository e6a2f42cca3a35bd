#include "iniescape.h"

#include "inilines.h"
#include "textcodec.h"

#include <algorithm>

namespace platform::ini {

namespace {

bool isHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool isLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](char x, char y) { return lower(x) == lower(y); });
}

// The one-letter escapes, and the characters they stand for.
constexpr std::string_view kEscapeLetters = "abfnrtv\"\\?'";
constexpr std::string_view kEscapedChars = "\a\b\f\n\r\t\v\"\\?'";
constexpr std::size_t kWrittenEscapes = 9; // QSettings writes '?' and '\'' as they are

bool isHexDigit(char16_t c)
{
    return digitValue(c, 16) >= 0;
}

void appendHexEscape(std::string &out, char16_t c)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += "\\x";
    int shift = 12;
    while (shift > 0 && (c >> shift) == 0)
        shift -= 4;
    for (; shift >= 0; shift -= 4)
        out += kHex[(c >> shift) & 0xF];
}

std::size_t argumentCount(std::u16string_view s)
{
    return static_cast<std::size_t>(std::count(s.begin(), s.end(), u' ') +
                                    std::count(s.begin(), s.end(), u')'));
}

} // namespace

std::u16string utf16(std::string_view s)
{
    return *utf16From(s, BadText::Replace);
}

std::string utf8(std::u16string_view s)
{
    return *utf8From(s, BadText::Replace);
}

std::u16string unescapedKey(std::string_view raw)
{
    const std::u16string in = utf16(raw);
    std::u16string out;
    for (std::size_t i = 0; i < in.size();) {
        if (in[i] == u'\\') {
            out += u'/';
            ++i;
            continue;
        }
        if (in[i] == u'%' && i + 1 < in.size()) {
            const bool wide = in[i + 1] == u'U';
            const std::size_t first = wide ? i + 2 : i + 1;
            const std::size_t digits = wide ? 4 : 2;
            unsigned code = 0;
            bool ok = first + digits <= in.size();
            for (std::size_t k = first; ok && k < first + digits; ++k) {
                const int digit = digitValue(in[k], 16);
                ok = digit >= 0;
                code = code * 16 + static_cast<unsigned>(digit);
            }
            if (ok) {
                out += static_cast<char16_t>(code);
                i = first + digits;
                continue;
            }
        }
        out += in[i++];
    }
    return out;
}

void appendEscapedKey(std::string &out, std::u16string_view key)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < key.size(); ++i) {
        const char16_t c = key[i];
        // A '\' last would escape the '=' after it, so a '/' there is written by its code.
        if (c == u'/' && i + 1 < key.size()) {
            out += '\\';
        } else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                   (c >= u'0' && c <= u'9') || c == u'_' || c == u'-' || c == u'.') {
            out += static_cast<char>(c);
        } else if (c <= 0xFF) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += "%U";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += kHex[(c >> shift) & 0xF];
        }
    }
}

std::string sectionPrefix(std::string_view name)
{
    if (equalsNoCase(name, "general"))
        return {};
    if (equalsNoCase(name, "%general"))
        return std::string(name.substr(1)) + '/';
    return utf8(unescapedKey(name)) + '/';
}

std::string headerLine(std::string_view prefix)
{
    std::string name;
    appendEscapedKey(name, utf16(prefix.substr(0, prefix.empty() ? 0 : prefix.size() - 1)));
    if (name.empty())
        return "[General]\n";
    if (equalsNoCase(name, "general"))
        return "[%General]\n";
    return '[' + name + "]\n";
}

// A value as QSettings decodes a string: leading blanks skipped, quotes removed (keeping the
// blanks inside them), backslash escapes (C-like, with unlimited hex and octal digits that
// wrap at 16 bits), trailing blanks dropped unless quoted. A comma outside quotes stays a comma.
std::u16string decodedValue(std::string_view s)
{
    std::u16string out;
    std::size_t i = 0;
    std::size_t keepFrom = 0; // trailing blanks before here are content, not padding
    bool inQuotes = false;
    bool quoted = false;
    const auto skipBlanks = [&] {
        while (i < s.size() && isBlank(s[i]))
            ++i;
    };
    skipBlanks();
    while (i < s.size()) {
        const char c = s[i];
        if (c == '\\') {
            if (++i == s.size())
                return out;
            const char escaped = s[i++];
            const int base = escaped == 'x' ? 16 : digitValue(escaped, 8) >= 0 ? 8 : 0;
            if (const std::size_t letter = kEscapeLetters.find(escaped); letter != npos) {
                out += static_cast<char16_t>(kEscapedChars[letter]);
            } else if (base != 0) {
                if (base == 8)
                    --i;
                if (i == s.size())
                    return out;
                if (digitValue(s[i], base) >= 0) {
                    char16_t code = 0;
                    for (int d; i < s.size() && (d = digitValue(s[i], base)) >= 0; ++i)
                        code = static_cast<char16_t>(code * base + d);
                    out += code;
                }
            } else if (isBreak(escaped) && i < s.size() && isBreak(s[i]) && s[i] != escaped) {
                ++i;
            }
            keepFrom = out.size();
        } else if (c == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                skipBlanks();
                keepFrom = out.size();
            }
        } else {
            if (c == ',' && !inQuotes)
                quoted = false; // as QSettings trims each item of a list
            std::size_t end = i + 1;
            while (end < s.size() && s[end] != '\\' && s[end] != '"' && s[end] != ',')
                ++end;
            out += utf16(s.substr(i, end - i));
            i = end;
        }
    }
    if (!quoted) {
        while (out.size() > keepFrom && (out.back() == u' ' || out.back() == u'\t'))
            out.pop_back();
    }
    return out;
}

void appendEscapedValue(std::string &out, std::u16string_view s)
{
    // QSettings writes these forms byte by byte, escaping everything from DEL up.
    const bool utf8Form = !(s.starts_with(u"@ByteArray(") || s.starts_with(u"@Variant(") ||
                            s.starts_with(u"@DateTime("));
    const std::size_t start = out.size();
    bool quote = false;
    bool escapeHexDigits = false; // a hex escape would swallow them
    for (std::size_t i = 0; i < s.size();) {
        const char16_t c = s[i];
        quote = quote || c == u';' || c == u',' || c == u'=';
        const std::size_t named =
            c > 0 && c < 0x80 ? kEscapedChars.substr(0, kWrittenEscapes).find(static_cast<char>(c))
                              : npos;
        const bool loneSurrogate =
            c >= 0xD800 && c <= 0xDFFF &&
            !(isHighSurrogate(c) && i + 1 < s.size() && isLowSurrogate(s[i + 1]));
        if (c == 0) {
            out += "\\0";
            escapeHexDigits = true;
        } else if (escapeHexDigits && isHexDigit(c)) {
            appendHexEscape(out, c);
        } else if (named != npos) {
            out += '\\';
            out += kEscapeLetters[named];
            escapeHexDigits = false;
        } else if (c < 0x20 || (c >= 0x7F && !utf8Form) || loneSurrogate) {
            // A lone surrogate, which UTF-8 cannot carry, is kept as its code.
            appendHexEscape(out, c);
            escapeHexDigits = true;
        } else {
            const bool pair = isHighSurrogate(c) && i + 1 < s.size() && isLowSurrogate(s[i + 1]);
            appendUtf8(out,
                       pair ? 0x10000 + ((char32_t(c) - 0xD800) << 10) + (s[i + 1] - 0xDC00) : c);
            i += pair ? 2 : 1;
            escapeHexDigits = false;
            continue;
        }
        ++i;
    }
    if (quote || (out.size() > start && (out[start] == ' ' || out.back() == ' '))) {
        out.insert(start, 1, '"');
        out += '"';
    }
}

// How QSettings stores a string: "@String(...)" when it holds a NUL, a second '@' in front of
// a leading one (so that it is not read as a typed value).
std::u16string storedForm(std::string_view text)
{
    std::u16string stored = utf16(text);
    if (stored.find(u'\0') != std::u16string::npos)
        return u"@String(" + stored + u")";
    if (stored.starts_with(u'@'))
        stored.insert(0, 1, u'@');
    return stored;
}

std::optional<std::string> valueText(std::u16string_view s)
{
    if (s.starts_with(u'@') && s.ends_with(u')')) {
        if (s.starts_with(u"@ByteArray(")) {
            std::string bytes;
            for (const char16_t c : s.substr(11, s.size() - 12))
                bytes += c <= 0xFF ? static_cast<char>(c) : '?';
            return bytes;
        }
        if (s.starts_with(u"@String("))
            return utf8(s.substr(8, s.size() - 9));
        if (s.starts_with(u"@Variant(") || s.starts_with(u"@DateTime(") || s == u"@Invalid()")
            return std::nullopt;
        if ((s.starts_with(u"@Rect(") && argumentCount(s.substr(6)) == 4) ||
            (s.starts_with(u"@Size(") && argumentCount(s.substr(6)) == 2) ||
            (s.starts_with(u"@Point(") && argumentCount(s.substr(7)) == 2))
            return std::nullopt;
    }
    if (s.starts_with(u"@@"))
        s.remove_prefix(1);
    return utf8(s);
}

} // namespace platform::ini

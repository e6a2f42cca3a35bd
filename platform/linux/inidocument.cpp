#include "inidocument.h"

#include <algorithm>
#include <utility>

namespace platform {

namespace {

constexpr auto npos = std::string_view::npos;
constexpr std::string_view kByteOrderMark = "\xef\xbb\xbf";

bool isBreak(char c)
{
    return c == '\n' || c == '\r';
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isSpace(char c)
{
    return isBlank(c) || isBreak(c);
}

std::string_view trimmed(std::string_view s)
{
    const auto isWhite = [](char c) { return isSpace(c) || c == '\f' || c == '\v'; };
    while (!s.empty() && isWhite(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isWhite(s.back()))
        s.remove_suffix(1);
    return s;
}

int digitValue(char32_t c, int base)
{
    int value = 16;
    if (c >= '0' && c <= '9')
        value = static_cast<int>(c - '0');
    else if (c >= 'a' && c <= 'f')
        value = static_cast<int>(c - 'a') + 10;
    else if (c >= 'A' && c <= 'F')
        value = static_cast<int>(c - 'A') + 10;
    return value < base ? value : -1;
}

// --- UTF-8 and UTF-16 -----------------------------------------------------------------------

// The code point at `i`, which moves past it; an invalid sequence gives U+FFFD for its first
// byte and clears `valid`.
char32_t nextCodePoint(std::string_view s, std::size_t &i, bool &valid)
{
    const auto lead = static_cast<unsigned char>(s[i++]);
    if (lead < 0x80)
        return lead;
    std::size_t length = 0;
    char32_t point = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 1, point = lead & 0x1Fu, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 2, point = lead & 0x0Fu, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 3, point = lead & 0x07u, least = 0x10000;
    } else {
        valid = false;
        return 0xFFFD;
    }
    if (i + length > s.size()) {
        valid = false;
        return 0xFFFD;
    }
    for (std::size_t k = 0; k < length; ++k) {
        const auto next = static_cast<unsigned char>(s[i + k]);
        if ((next & 0xC0) != 0x80) {
            valid = false;
            return 0xFFFD;
        }
        point = (point << 6) | (next & 0x3Fu);
    }
    if (point < least || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
        valid = false;
        return 0xFFFD;
    }
    i += length;
    return point;
}

// Text a line may hold as it stands: UTF-8, no control characters but the tab. (QSettings
// escapes every control character it writes, and writes DEL and everything above as UTF-8.)
bool isPlainText(std::string_view s)
{
    bool valid = true;
    for (std::size_t i = 0; i < s.size() && valid;) {
        if (static_cast<unsigned char>(s[i]) < 0x20 && s[i] != '\t')
            return false;
        nextCodePoint(s, i, valid);
    }
    return valid;
}

void appendUtf8(std::string &out, char32_t c)
{
    const auto byte = [](char32_t bits) { return static_cast<char>(bits); };
    if (c < 0x80) {
        out += byte(c);
    } else if (c < 0x800) {
        out += byte(0xC0 | (c >> 6));
        out += byte(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += byte(0xE0 | (c >> 12));
        out += byte(0x80 | ((c >> 6) & 0x3F));
        out += byte(0x80 | (c & 0x3F));
    } else {
        out += byte(0xF0 | (c >> 18));
        out += byte(0x80 | ((c >> 12) & 0x3F));
        out += byte(0x80 | ((c >> 6) & 0x3F));
        out += byte(0x80 | (c & 0x3F));
    }
}

void appendUtf16(std::u16string &out, std::string_view s)
{
    bool valid = true;
    for (std::size_t i = 0; i < s.size();) {
        const char32_t c = nextCodePoint(s, i, valid);
        if (c < 0x10000) {
            out += static_cast<char16_t>(c);
        } else {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
}

std::u16string utf16(std::string_view s)
{
    std::u16string out;
    appendUtf16(out, s);
    return out;
}

bool isHighSurrogate(char16_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool isLowSurrogate(char16_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// The code point at `i` (a surrogate pair read as one), which moves past it; a lone surrogate
// is returned as it is.
char32_t nextCodePoint(std::u16string_view s, std::size_t &i)
{
    const char16_t c = s[i++];
    if (isHighSurrogate(c) && i < s.size() && isLowSurrogate(s[i]))
        return 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(s[i++]) - 0xDC00);
    return c;
}

std::string utf8(std::u16string_view s)
{
    std::string out;
    for (std::size_t i = 0; i < s.size();) {
        const char32_t c = nextCodePoint(s, i);
        appendUtf8(out, c >= 0xD800 && c <= 0xDFFF ? 0xFFFD : c);
    }
    return out;
}

// --- Lines ----------------------------------------------------------------------------------

struct Line
{
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t equals = npos; // the first '=' outside quotes
    bool spansBreak = false;   // a line break inside quotes or escaped: QSettings reads on
    bool openQuote = false;
    bool danglingEscape = false;
};

// The next line from `pos` as QSettings cuts a file into lines: leading white space skipped;
// ended by a line break or a ';' outside quotes (the rest of that line being a comment), not by
// a quoted or backslash-escaped break; lines that are only a comment skipped.
bool nextLine(std::string_view data, std::size_t &pos, Line &line)
{
    line = Line{};
    std::size_t start = pos;
    while (start < data.size() && isSpace(data[start]))
        ++start;
    bool inQuotes = false;
    std::size_t i = start;
    while (i < data.size()) {
        const char c = data[i++];
        if (c == '=') {
            if (!inQuotes && line.equals == npos)
                line.equals = i - 1;
        } else if (isBreak(c)) {
            if (!inQuotes) {
                --i;
                break;
            }
            line.spansBreak = true;
        } else if (c == '\\') {
            if (i == data.size()) {
                line.danglingEscape = true;
            } else if (const char escaped = data[i++]; isBreak(escaped)) {
                line.spansBreak = true;
                if (i < data.size() && isBreak(data[i]) && data[i] != escaped)
                    ++i;
            }
        } else if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == ';') {
            if (i == start + 1) {
                while (i < data.size() && !isBreak(data[i]))
                    ++i;
                while (i < data.size() && isSpace(data[i]))
                    ++i;
                start = i;
            } else if (!inQuotes) {
                --i;
                break;
            }
        }
    }
    pos = i;
    line.begin = start;
    line.end = i;
    line.openQuote = inQuotes;
    return i > start;
}

std::string_view textOf(std::string_view data, const Line &line)
{
    return data.substr(line.begin, line.end - line.begin);
}

std::string_view keyOf(std::string_view data, const Line &line)
{
    return trimmed(data.substr(line.begin, line.equals - line.begin));
}

enum class LineKind
{
    Header,
    Entry,
    Unreadable
};

LineKind kindOf(std::string_view data, const Line &line)
{
    const std::string_view text = textOf(data, line);
    if (line.spansBreak || line.openQuote || line.danglingEscape || !isPlainText(text))
        return LineKind::Unreadable;
    if (text.front() == '[')
        return text.find(']') == npos ? LineKind::Unreadable : LineKind::Header;
    if (line.equals == npos || keyOf(data, line).empty())
        return LineKind::Unreadable;
    return LineKind::Entry;
}

// Where a line may be added after `line`: past the break that ends its physical line.
std::size_t pastLineBreak(std::string_view data, std::size_t from)
{
    const std::size_t at = data.find_first_of("\r\n", from);
    if (at == npos)
        return data.size();
    return at + (data.compare(at, 2, "\r\n") == 0 ? 2 : 1);
}

// --- Keys -----------------------------------------------------------------------------------

// '\' stands for '/', "%XX" and "%UXXXX" for the character with that code.
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
    for (const char16_t c : key) {
        if (c == u'/') {
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

bool equalsNoCase(std::string_view a, std::string_view b)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [&](char x, char y) { return lower(x) == lower(y); });
}

// The prefix of the keys of section `name` as written between the brackets: "" for [General].
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

// --- Values ---------------------------------------------------------------------------------

// The one-letter escapes, and the characters they stand for.
constexpr std::string_view kEscapeLetters = "abfnrtv\"\\?'";
constexpr std::string_view kEscapedChars = "\a\b\f\n\r\t\v\"\\?'";
constexpr std::size_t kWrittenEscapes = 9; // QSettings writes '?' and '\'' as they are

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
            appendUtf16(out, s.substr(i, end - i));
            i = end;
        }
    }
    if (!quoted) {
        while (out.size() > keepFrom && (out.back() == u' ' || out.back() == u'\t'))
            out.pop_back();
    }
    return out;
}

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

// The value as QSettings writes a string, so that QSettings reads back exactly `s`.
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
            appendUtf8(out, nextCodePoint(s, i));
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

std::size_t argumentCount(std::u16string_view s)
{
    return static_cast<std::size_t>(std::count(s.begin(), s.end(), u' ') +
                                    std::count(s.begin(), s.end(), u')'));
}

// The text a stored value means, reading its '@' forms as QSettings does; nullopt for the ones
// that are not a text (another type, or "@Invalid()").
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

// --- Damage ---------------------------------------------------------------------------------

bool readsWhole(std::string_view data)
{
    std::size_t pos = 0;
    Line line;
    while (nextLine(data, pos, line)) {
        if (kindOf(data, line) == LineKind::Unreadable)
            return false;
    }
    return true;
}

// Every physical line that reads as `key=value` on its own, under the header of its section;
// the others, the lines of a section whose header cannot be read, and headers left with no
// line under them are dropped. A line that reads only because its physical end closes a quote
// or an escape is written again in full.
std::string recovered(std::string_view data)
{
    std::string out;
    std::string header; // of the section being read, written before its first line
    bool inReadableSection = true;
    for (std::size_t begin = 0; begin < data.size();) {
        std::size_t end = data.find_first_of("\r\n", begin);
        if (end == npos)
            end = data.size();
        const std::string_view physical = data.substr(begin, end - begin);
        begin = end + 1;
        std::size_t pos = 0;
        Line line;
        if (!nextLine(physical, pos, line))
            continue;
        const std::string_view text = textOf(physical, line);
        const LineKind kind = kindOf(physical, line);
        if (text.front() == '[') {
            const std::string_view name = trimmed(text.substr(1, text.find(']') - 1));
            inReadableSection = !name.empty() && isPlainText(name);
            header = kind == LineKind::Header ? std::string(text) + '\n'
                     : inReadableSection      ? headerLine(sectionPrefix(name))
                                              : std::string();
            continue;
        }
        if (!inReadableSection || line.equals == npos || !isPlainText(text) ||
            keyOf(physical, line).empty())
            continue;
        out += std::exchange(header, std::string());
        if (kind == LineKind::Entry) {
            out.append(text) += '\n';
        } else {
            appendEscapedKey(out, unescapedKey(keyOf(physical, line)));
            out += '=';
            appendEscapedValue(out, decodedValue(text.substr(line.equals - line.begin + 1)));
            out += '\n';
        }
    }
    return out;
}

std::string_view withoutByteOrderMark(std::string_view data)
{
    if (data.starts_with(kByteOrderMark))
        data.remove_prefix(kByteOrderMark.size());
    return data;
}

} // namespace

IniDocument::IniDocument(std::string_view file)
    : m_damaged(!readsWhole(withoutByteOrderMark(file))),
      m_bytes(m_damaged ? recovered(withoutByteOrderMark(file)) : std::string(file))
{
    parse();
}

void IniDocument::parse()
{
    const std::string_view data = m_bytes;
    std::size_t pos = data.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
    std::string prefix;
    Line line;
    while (nextLine(data, pos, line)) {
        const LineKind kind = kindOf(data, line);
        const std::string_view text = textOf(data, line);
        if (kind == LineKind::Header) {
            prefix = sectionPrefix(trimmed(text.substr(1, text.find(']') - 1)));
        } else if (kind == LineKind::Entry) {
            const std::string_view value = data.substr(line.equals + 1, line.end - line.equals - 1);
            m_entries.insert_or_assign(prefix + utf8(unescapedKey(keyOf(data, line))),
                                       Entry{decodedValue(value), line.equals + 1, line.end});
        }
        m_sectionEnds[prefix] = pastLineBreak(data, line.end);
    }
}

std::optional<std::string> IniDocument::value(std::string_view section, std::string_view key) const
{
    const std::string prefix = section.empty() ? std::string() : std::string(section) + '/';
    const auto entry = m_entries.find(prefix + std::string(key));
    if (entry == m_entries.end())
        return std::nullopt;
    return valueText(entry->second.stored);
}

std::string IniDocument::withValues(std::string_view section,
                                    const std::vector<StoredValue> &values) const
{
    struct Edit
    {
        std::size_t begin;
        std::size_t end;
        std::string text;
        bool newLines;
    };
    const std::string prefix = section.empty() ? std::string() : std::string(section) + '/';
    std::map<std::string, const StoredValue *> batch; // a key given twice: the last one counts
    for (const StoredValue &value : values)
        batch[prefix + value.key] = &value;

    std::vector<Edit> edits;
    std::string added;
    for (const auto &[path, value] : batch) {
        std::string encoded;
        appendEscapedValue(encoded, storedForm(value->text));
        const auto entry = m_entries.find(path);
        if (entry == m_entries.end()) {
            appendEscapedKey(added, utf16(value->key));
            added += '=' + encoded + '\n';
        } else if (valueText(entry->second.stored) != value->text) {
            edits.push_back({entry->second.valueBegin, entry->second.valueEnd, encoded, false});
        }
    }
    if (!added.empty()) {
        const auto end = m_sectionEnds.find(prefix);
        if (end != m_sectionEnds.end())
            edits.push_back({end->second, end->second, added, true});
        else
            edits.push_back({m_bytes.size(), m_bytes.size(),
                             (m_bytes.empty() ? "" : "\n") + headerLine(prefix) + added, true});
    }
    std::stable_sort(edits.begin(), edits.end(),
                     [](const Edit &a, const Edit &b) { return a.begin < b.begin; });

    std::string out;
    out.reserve(m_bytes.size() + added.size() + 64);
    std::size_t done = 0;
    for (const Edit &edit : edits) {
        out.append(m_bytes, done, edit.begin - done);
        if (edit.newLines && !out.empty() && !isBreak(out.back()))
            out += '\n';
        out += edit.text;
        done = edit.end;
    }
    out.append(m_bytes, done);
    return out;
}

} // namespace platform

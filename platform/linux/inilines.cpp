#include "inilines.h"

#include "textcodec.h"

namespace platform::ini {

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

bool isPlainText(std::string_view s)
{
    // QSettings escapes every control character it writes, and writes DEL and everything above
    // as UTF-8; a line of anything else was not written by it, nor by this back end.
    for (const char c : s) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
            return false;
    }
    return utf16From(s, BadText::Reject).has_value();
}

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

std::size_t pastLineBreak(std::string_view data, std::size_t from)
{
    const std::size_t at = data.find_first_of("\r\n", from);
    if (at == npos)
        return data.size();
    return at + (data.compare(at, 2, "\r\n") == 0 ? 2 : 1);
}

} // namespace platform::ini

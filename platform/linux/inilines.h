#pragma once

#include <cstddef>
#include <string_view>

// How an INI file of the QSettings dialect is cut into lines, and what each line is.
namespace platform::ini {

constexpr auto npos = std::string_view::npos;

inline bool isBreak(char c)
{
    return c == '\n' || c == '\r';
}

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

inline bool isSpace(char c)
{
    return isBlank(c) || isBreak(c);
}

// Without the white space at either end, as QSettings trims keys and section names.
std::string_view trimmed(std::string_view s);

// The value of digit `c` in `base` (at most 16), or -1.
int digitValue(char32_t c, int base);

// Text a line may hold as it stands: UTF-8, no control characters but the tab.
bool isPlainText(std::string_view s);

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
// a quoted or backslash-escaped break; lines that are only a comment skipped. False at the end.
bool nextLine(std::string_view data, std::size_t &pos, Line &line);

inline std::string_view textOf(std::string_view data, const Line &line)
{
    return data.substr(line.begin, line.end - line.begin);
}

// The key of a line with an '=', as written.
inline std::string_view keyOf(std::string_view data, const Line &line)
{
    return trimmed(data.substr(line.begin, line.equals - line.begin));
}

enum class LineKind
{
    Header,
    Entry,
    Unreadable // QSettings would read more than the line, or something else than is there
};

LineKind kindOf(std::string_view data, const Line &line);

// Where a line may be added after the one that ends at `from`: past the break that ends its
// physical line.
std::size_t pastLineBreak(std::string_view data, std::size_t from);

} // namespace platform::ini

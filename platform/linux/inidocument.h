#pragma once

#include "settingsbackend.h"

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One INI file in the dialect that QSettings (Qt 6, Unix) reads and writes, read as QSettings
// reads it, so that a file written by either side means the same to the other. Values are texts.
// Two readings differ on purpose: a hand-edited value with an unquoted comma, which QSettings
// reads as a list, is read as the text with its commas; and a file with lines that cannot be
// accounted for (a stray quote, after which QSettings silently swallows the following lines into
// one value, or binary garbage) is damaged: it is read, and written back, as only the lines
// that read as a section header or `key=value` on their own.
class IniDocument
{
public:
    explicit IniDocument(std::string_view file = {});

    bool damaged() const { return m_damaged; }
    // The file as it is written back: the bytes read, or what could be recovered from them.
    const std::string &bytes() const { return m_bytes; }
    // The text of `key` in `section`; nullopt when absent or when the value is not a text.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;
    // Every key the file holds, as "section/key" ("key" in [General]).
    std::vector<std::string> paths() const;
    // The file with `values` set in `section`: each changed where it stands, with every other
    // byte kept, and the new ones added at the end of the section (made when missing).
    std::string withValues(std::string_view section, const std::vector<StoredValue> &values) const;

private:
    struct Entry
    {
        std::u16string stored; // the value as decoded, '@' forms not yet read
        std::size_t valueBegin;
        std::size_t valueEnd;
    };

    void parse();

    bool m_damaged;
    std::string m_bytes;
    std::map<std::string, Entry> m_entries;           // by "section/key"; the last line counts
    std::map<std::string, std::size_t> m_sectionEnds; // by "section/": after its last line
};

} // namespace platform

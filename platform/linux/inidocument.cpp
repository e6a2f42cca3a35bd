#include "inidocument.h"

#include "iniescape.h"
#include "inilines.h"

#include <algorithm>
#include <utility>

namespace platform {

using namespace ini;

namespace {

constexpr std::string_view kByteOrderMark = "\xef\xbb\xbf";

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
        // A key that starts with what reads as a byte order mark first in the file is escaped.
        if (kind == LineKind::Entry && !(out.empty() && text.starts_with(kByteOrderMark))) {
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

std::vector<std::string> IniDocument::paths() const
{
    std::vector<std::string> paths;
    for (const auto &entry : m_entries)
        paths.push_back(entry.first);
    return paths;
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

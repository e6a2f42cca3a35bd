#include "processquery_linux.h"

#include <QString>
#include <QStringDecoder>
#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace platform {

namespace {

// The kernel keeps at most this many bytes of a process's name (TASK_COMM_LEN - 1).
constexpr std::size_t kShortNameLength = 15;

bool isAscii(const std::string &text)
{
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

char asciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool asciiEqualNoCase(const char *a, const char *b, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

bool decodeUtf8(const std::string &bytes, QString &out)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    out = decoder(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return !decoder.hasError();
}

std::string baseName(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Reads a small /proc file whole; empty when it cannot be read.
std::string readSmallFile(int dirFd, const char *relativePath)
{
    std::string content;
    const int fd = ::openat(dirFd, relativePath, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return content;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got <= 0)
            break;
        content.append(buffer, static_cast<std::size_t>(got));
        if (content.size() >= 64 * 1024)
            break;
    }
    ::close(fd);
    return content;
}

// The name as the comparison sees it: ASCII letters lowered, and Unicode simple case folding
// applied where the name is valid UTF-8.
std::string foldedName(const std::string &name)
{
    QString wide;
    if (!isAscii(name) && decodeUtf8(name, wide))
        return wide.toCaseFolded().toStdString();
    std::string folded = name;
    std::transform(folded.begin(), folded.end(), folded.begin(), asciiLower);
    return folded;
}

// The number of threads from a stat line, given where its state field starts (field 3 of 52;
// the thread count is field 20).
long threadCount(const char *state, const char *end)
{
    const char *field = state;
    for (int skip = 0; skip < 17 && field; ++skip) {
        field = static_cast<const char *>(
            std::memchr(field, ' ', static_cast<std::size_t>(end - field)));
        if (field)
            ++field;
    }
    return field && field < end ? std::strtol(field, nullptr, 10) : 0;
}

} // namespace

bool sameImageName(const std::string &a, const std::string &b)
{
    if (isAscii(a) && isAscii(b))
        return a.size() == b.size() && asciiEqualNoCase(a.data(), b.data(), a.size());
    QString wideA;
    QString wideB;
    if (!decodeUtf8(a, wideA) || !decodeUtf8(b, wideB)) {
        // Not text: only the ASCII letters may differ in case.
        return a.size() == b.size() && asciiEqualNoCase(a.data(), b.data(), a.size());
    }
    return wideA.compare(wideB, Qt::CaseInsensitive) == 0;
}

LinuxProcessQuery::LinuxProcessQuery(std::function<Clock::time_point()> now, std::string procRoot)
    : m_now(std::move(now)), m_procRoot(std::move(procRoot))
{}

bool LinuxProcessQuery::isRunning(const std::string &name)
{
    if (name.empty())
        return false;
    const auto now = m_now();
    if (m_scanCount == 0 || now - m_scannedAt >= kReuseWindow || now < m_scannedAt) {
        scan();
        m_scannedAt = now;
    }

    // Folded once per question, so that each process with an ASCII name (nearly all) costs one
    // byte comparison; only names that are not ASCII need the Unicode comparison.
    const std::string folded = foldedName(name);
    const auto sameAsName = [&](const std::string &candidate) {
        if (isAscii(candidate)) {
            return candidate.size() == folded.size() &&
                   asciiEqualNoCase(candidate.data(), folded.data(), folded.size());
        }
        return sameImageName(candidate, name);
    };

    // A name longer than the kernel keeps may stand behind a truncated short name.
    const bool mayBeTruncated = name.size() > kShortNameLength;
    const bool nameIsAscii = isAscii(name);
    for (std::size_t i = 0; i < m_liveEntries; ++i) {
        Entry &entry = m_entries[i];
        if (entry.shortName.size() != kShortNameLength) {
            if (sameAsName(entry.shortName))
                return true;
            continue;
        }
        if (!mayBeTruncated) {
            // A 15-byte short name equal to the name may still be the cut-off form of a longer
            // image name ("tool-name-here.exe" shows as "tool-name-here."): only count it when
            // neither argv[0] nor the executable says the real name is longer.
            if (sameAsName(entry.shortName) && !isTruncation(entry))
                return true;
            continue;
        }
        // For non-ASCII names the byte prefix can differ in case in ways ASCII folding misses,
        // so look at the long names of every 15-byte process then; such names are rare.
        if (nameIsAscii && !asciiEqualNoCase(entry.shortName.data(), name.data(), kShortNameLength))
            continue;
        readLongNames(entry);
        if ((!entry.argv0Base.empty() && sameImageName(entry.argv0Base, name)) ||
            (!entry.exeBase.empty() && sameImageName(entry.exeBase, name)))
            return true;
    }
    return false;
}

void LinuxProcessQuery::scan()
{
    ++m_scanCount;
    m_liveEntries = 0;
    DIR *proc = ::opendir(m_procRoot.c_str());
    if (!proc)
        return;
    const int procFd = ::dirfd(proc);
    char path[32];
    char stat[512];
    while (const dirent *item = ::readdir(proc)) {
        const char *pidText = item->d_name;
        const std::size_t digits = std::strspn(pidText, "0123456789");
        if (digits == 0 || digits > 10 || pidText[digits] != '\0')
            continue; // not a process
        std::memcpy(path, pidText, digits);
        std::memcpy(path + digits, "/stat", sizeof "/stat");
        const int fd = ::openat(procFd, path, O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue; // ended or hidden from us: skip silently
        const ssize_t got = ::read(fd, stat, sizeof stat);
        ::close(fd);
        if (got <= 0)
            continue;
        const auto length = static_cast<std::size_t>(got);
        // "pid (name) S ...": the name may itself hold parentheses, so take the last ')'.
        const char *open = static_cast<const char *>(std::memchr(stat, '(', length));
        const char *close = static_cast<const char *>(::memrchr(stat, ')', length));
        if (!open || !close || close < open || close + 2 >= stat + length)
            continue;
        const char state = close[2];
        if (state == 'X' || (state == 'Z' && threadCount(close + 2, stat + length) <= 1))
            continue; // ended, not yet reaped (a leader whose other threads run still runs)
        if (m_liveEntries == m_entries.size())
            m_entries.emplace_back();
        Entry &entry = m_entries[m_liveEntries++];
        entry.pid = static_cast<pid_t>(std::strtol(pidText, nullptr, 10));
        entry.shortName.assign(open + 1, close);
        entry.longNamesRead = false;
    }
    ::closedir(proc);
}

bool LinuxProcessQuery::isTruncation(Entry &entry) const
{
    readLongNames(entry);
    const auto extends = [&entry](const std::string &longName) {
        return longName.size() > kShortNameLength &&
               longName.compare(0, kShortNameLength, entry.shortName) == 0;
    };
    return extends(entry.argv0Base) || extends(entry.exeBase);
}

void LinuxProcessQuery::readLongNames(Entry &entry) const
{
    if (entry.longNamesRead)
        return;
    entry.longNamesRead = true;
    entry.argv0Base.clear();
    entry.exeBase.clear();
    const int procFd = ::open(m_procRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (procFd < 0)
        return;
    char path[64];
    std::snprintf(path, sizeof path, "%d/cmdline", static_cast<int>(entry.pid));
    const std::string cmdline = readSmallFile(procFd, path);
    entry.argv0Base = baseName(cmdline.substr(0, cmdline.find('\0')));

    std::snprintf(path, sizeof path, "%d/exe", static_cast<int>(entry.pid));
    char target[4096];
    const ssize_t got = ::readlinkat(procFd, path, target, sizeof target - 1);
    if (got > 0) {
        std::string exe(target, static_cast<std::size_t>(got));
        // A replaced or deleted binary reads "/path/name (deleted)".
        static const std::string deleted = " (deleted)";
        if (exe.size() > deleted.size() && exe.ends_with(deleted))
            exe.resize(exe.size() - deleted.size());
        entry.exeBase = baseName(exe);
    }
    ::close(procFd);
}

std::unique_ptr<ProcessQuery> createProcessQuery()
{
    return std::make_unique<LinuxProcessQuery>();
}

} // namespace platform

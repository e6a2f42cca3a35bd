#include "processquery_linux.h"

#include <QString>
#include <QStringDecoder>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>

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

// Reads the state, the start time and the name from a stat line ("pid (name) S ...",
// NUL-terminated). False when the line is malformed or the process has ended.
bool parseStat(const char *stat, std::size_t length, std::string &shortName,
               unsigned long long &startTime)
{
    const char *end = stat + length;
    // The name may itself hold parentheses, so take the last ')'.
    const char *open = static_cast<const char *>(std::memchr(stat, '(', length));
    const char *close = static_cast<const char *>(::memrchr(stat, ')', length));
    if (!open || !close || close < open || close + 2 >= end)
        return false;
    const char *state = close + 2; // field 3
    // One pass to the thread count (field 20) and the start time (field 22).
    const char *threads = nullptr;
    const char *start = nullptr;
    int field = 3;
    for (const char *p = state; p < end && !start; ++p) {
        if (*p != ' ')
            continue;
        ++field;
        if (field == 20)
            threads = p + 1;
        else if (field == 22)
            start = p + 1;
    }
    // Ended, not yet reaped; but a leader whose other threads run still runs.
    if (*state == 'X' || (*state == 'Z' && (!threads || std::strtol(threads, nullptr, 10) <= 1)))
        return false;
    shortName.assign(open + 1, close);
    startTime = start ? std::strtoull(start, nullptr, 10) : 0;
    return true;
}

// True when `longName` is a name the kernel would cut to `shortName`.
bool extends(const std::string &longName, const std::string &shortName)
{
    return longName.size() > kShortNameLength && longName.starts_with(shortName);
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

// One asked name, prepared once per question.
struct LinuxProcessQuery::Question
{
    explicit Question(const std::string &asked)
        : name(asked), folded(foldedName(asked)), nameIsAscii(isAscii(asked)),
          mayBeTruncated(asked.size() > kShortNameLength)
    {}

    // Each process with an ASCII name (nearly all) costs one byte comparison against the folded
    // name; only names that are not ASCII need the Unicode comparison.
    bool sameAs(const std::string &candidate, bool candidateIsAscii) const
    {
        if (candidateIsAscii) {
            return candidate.size() == folded.size() &&
                   asciiEqualNoCase(candidate.data(), folded.data(), folded.size());
        }
        return sameImageName(candidate, name);
    }

    const std::string &name;
    const std::string folded;
    const bool nameIsAscii;
    // A name longer than the kernel keeps may stand behind a truncated short name.
    const bool mayBeTruncated;
};

LinuxProcessQuery::LinuxProcessQuery(std::function<Clock::time_point()> now, std::string procRoot)
    : m_now(std::move(now)), m_procRoot(std::move(procRoot))
{
    // Half of what the process may open, so that the rest of the program never runs short.
    rlimit files{};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY)
        m_openCommLimit = static_cast<std::size_t>(files.rlim_cur / 2);
    else
        m_openCommLimit = 1024;
}

LinuxProcessQuery::~LinuxProcessQuery()
{
    closeAll(m_openComm);
    if (m_procFd >= 0)
        ::close(m_procFd);
}

void LinuxProcessQuery::closeAll(std::vector<OpenComm> &files)
{
    for (const OpenComm &file : files) {
        if (file.fd >= 0)
            ::close(file.fd);
    }
    files.clear();
}

// The comm file of `pid` kept open by the last scan, taken over by this one; -1 for none.
int LinuxProcessQuery::takeOpenComm(pid_t pid)
{
    const auto found =
        std::lower_bound(m_openComm.begin(), m_openComm.end(), pid,
                         [](const OpenComm &file, pid_t wanted) { return file.pid < wanted; });
    if (found == m_openComm.end() || found->pid != pid)
        return -1;
    return std::exchange(found->fd, -1);
}

bool LinuxProcessQuery::isRunning(const std::string &name)
{
    if (name.empty() || name.size() > kLongestName)
        return false;
    const auto now = m_now();
    std::erase_if(m_remembered, [now](const Remembered &remembered) {
        return now - remembered.lastAsked >= kForgetAfter;
    });
    const Question question(name);
    const bool listingReusable =
        m_scanCount != 0 && now >= m_scannedAt && now - m_scannedAt < kReuseWindow;

    if (!listingReusable) {
        const auto known = std::find_if(m_remembered.begin(), m_remembered.end(),
                                        [&name](const Remembered &r) { return r.name == name; });
        if (known != m_remembered.end()) {
            if (stillRuns(*known, question)) {
                known->lastAsked = now;
                return true;
            }
            m_remembered.erase(known); // ended, or its pid went to another process
        }
        scan();
        // Measured from the end: the questions that fell due while a slow scan ran are asked
        // right after it, and its listing is as fresh for them as a new scan could be. Measured
        // from the start, a scan of 50 ms or more would serve nobody but the slot that ran it.
        m_scannedAt = m_now();
    }

    for (std::size_t i = 0; i < m_listedEntries; ++i) {
        Entry &entry = m_entries[i];
        // The stat is read only now, for the state; a process that renamed itself between the
        // two reads is judged by the later name.
        if (nameMatches(entry, question) && readStat(entry) && nameMatches(entry, question)) {
            remember(name, entry, now);
            return true;
        }
    }
    return false;
}

bool LinuxProcessQuery::nameMatches(Entry &entry, const Question &question)
{
    if (entry.shortName.size() != kShortNameLength)
        return question.sameAs(entry.shortName, entry.shortNameIsAscii);
    if (!question.mayBeTruncated) {
        // A 15-byte short name equal to the name may still be the cut-off form of a longer
        // image name ("tool-name-here.exe" shows as "tool-name-here."): it counts only when it
        // is the whole name.
        return question.sameAs(entry.shortName, entry.shortNameIsAscii) &&
               fullName(entry).size() == kShortNameLength;
    }
    // For non-ASCII names the byte prefix can differ in case in ways ASCII folding misses,
    // so look at the whole name of every 15-byte process then; such names are rare.
    if (question.nameIsAscii &&
        !asciiEqualNoCase(entry.shortName.data(), question.name.data(), kShortNameLength))
        return false;
    const std::string &whole = fullName(entry);
    return whole.size() > kShortNameLength && sameImageName(whole, question.name);
}

bool LinuxProcessQuery::stillRuns(const Remembered &remembered, const Question &question)
{
    // The same pid with another start time is another process. The same process may have
    // renamed itself or run another program since, so its names are read and matched afresh,
    // exactly as a scan would.
    m_rechecked.pid = remembered.pid;
    m_rechecked.statRead = false;
    m_rechecked.shortName.clear();
    return readStat(m_rechecked) && m_rechecked.startTime == remembered.startTime &&
           nameMatches(m_rechecked, question);
}

void LinuxProcessQuery::remember(const std::string &name, const Entry &entry, Clock::time_point now)
{
    const auto known = std::find_if(m_remembered.begin(), m_remembered.end(),
                                    [&name](const Remembered &r) { return r.name == name; });
    if (known == m_remembered.end()) {
        m_remembered.push_back({name, entry.pid, entry.startTime, now});
        return;
    }
    known->pid = entry.pid;
    known->startTime = entry.startTime;
    known->lastAsked = now;
}

bool LinuxProcessQuery::readStat(Entry &entry)
{
    if (entry.statRead)
        return entry.live;
    entry.statRead = true;
    entry.live = false;
    const int dirFd = procFd();
    if (dirFd < 0)
        return false;
    char path[32];
    std::snprintf(path, sizeof path, "%d/stat", static_cast<int>(entry.pid));
    const int fd = ::openat(dirFd, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char stat[512];
    const ssize_t got = ::read(fd, stat, sizeof stat - 1);
    ::close(fd);
    if (got <= 0)
        return false;
    stat[got] = '\0';
    std::string name;
    entry.live = parseStat(stat, static_cast<std::size_t>(got), name, entry.startTime);
    if (entry.live && name != entry.shortName) {
        entry.shortName = std::move(name);
        entry.shortNameIsAscii = isAscii(entry.shortName);
        entry.fullNameRead = false;
    }
    return entry.live;
}

void LinuxProcessQuery::scan()
{
    ++m_scanCount;
    m_listedEntries = 0;
    const int dirFd = procFd();
    DIR *proc = dirFd < 0 ? nullptr : ::opendir(m_procRoot.c_str());
    if (!proc) {
        closeAll(m_openComm);
        return;
    }
    m_nextOpenComm.clear();
    char path[24];
    char name[64];
    while (const dirent *item = ::readdir(proc)) {
        const char *pidText = item->d_name;
        const std::size_t digits = std::strspn(pidText, "0123456789");
        if (digits == 0 || digits > 10 || pidText[digits] != '\0')
            continue; // not a process
        const auto pid = static_cast<pid_t>(std::strtol(pidText, nullptr, 10));
        // Only the name: the state and start time are read for a process whose name matches.
        // One that ended meanwhile, or is hidden from us, is skipped silently.
        int fd = takeOpenComm(pid);
        ssize_t got = fd >= 0 ? ::pread(fd, name, sizeof name, 0) : -1;
        if (got <= 0) {
            // Not open yet, or its process has gone and the pid may name a new one.
            if (fd >= 0)
                ::close(fd);
            std::memcpy(path, pidText, digits);
            std::memcpy(path + digits, "/comm", sizeof "/comm");
            fd = ::openat(dirFd, path, O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                continue;
            got = ::read(fd, name, sizeof name);
        }
        if (got > 0 && m_nextOpenComm.size() < m_openCommLimit)
            m_nextOpenComm.push_back({pid, fd});
        else
            ::close(fd);
        if (got <= 0)
            continue;
        // The kernel ends the name with a newline; the name itself may hold any other byte.
        std::size_t length = static_cast<std::size_t>(got);
        if (name[length - 1] == '\n')
            --length;
        if (m_listedEntries == m_entries.size())
            m_entries.emplace_back();
        Entry &entry = m_entries[m_listedEntries++];
        entry.pid = pid;
        entry.shortName.assign(name, length);
        entry.shortNameIsAscii = isAscii(entry.shortName);
        entry.statRead = false;
        entry.fullNameRead = false;
    }
    ::closedir(proc);
    closeAll(m_openComm); // of processes that have gone
    // /proc lists pids in rising order; sorting keeps the look-up right whatever the order.
    if (!std::is_sorted(m_nextOpenComm.begin(), m_nextOpenComm.end(),
                        [](const OpenComm &a, const OpenComm &b) { return a.pid < b.pid; })) {
        std::sort(m_nextOpenComm.begin(), m_nextOpenComm.end(),
                  [](const OpenComm &a, const OpenComm &b) { return a.pid < b.pid; });
    }
    std::swap(m_openComm, m_nextOpenComm);
}

// The image name behind a 15-byte short name, which may be cut off. In order:
// - the executable's own name, where it is the whole short name: then that is the process's
//   name, whatever argv[0] says;
// - the executable's name, where the short name is its beginning;
// - argv[0], for a program started through a link of a longer name;
// - the script's path, the interpreter's argument after its one optional argument, for a
//   script whose name the kernel took; never program text given with -c;
// - otherwise the short name itself.
const std::string &LinuxProcessQuery::fullName(Entry &entry)
{
    if (entry.fullNameRead)
        return entry.fullName;
    entry.fullNameRead = true;
    entry.fullName = entry.shortName;
    const int dirFd = procFd();
    if (entry.shortName.size() != kShortNameLength || dirFd < 0)
        return entry.fullName;

    char path[64];
    std::snprintf(path, sizeof path, "%d/exe", static_cast<int>(entry.pid));
    char target[4096];
    const ssize_t got = ::readlinkat(dirFd, path, target, sizeof target - 1);
    if (got > 0) {
        std::string exe(target, static_cast<std::size_t>(got));
        // A replaced or deleted binary reads "/path/name (deleted)".
        static const std::string deleted = " (deleted)";
        if (exe.size() > deleted.size() && exe.ends_with(deleted))
            exe.resize(exe.size() - deleted.size());
        exe = baseName(exe);
        if (exe == entry.shortName)
            return entry.fullName;
        if (extends(exe, entry.shortName)) {
            entry.fullName = std::move(exe);
            return entry.fullName;
        }
    }

    std::snprintf(path, sizeof path, "%d/cmdline", static_cast<int>(entry.pid));
    const std::string cmdline = readSmallFile(dirFd, path);
    std::size_t from = 0;
    for (int argument = 0; argument < 3 && from < cmdline.size(); ++argument) {
        const std::size_t to = std::min(cmdline.find('\0', from), cmdline.size());
        // After -c comes program text, not a script's path (sh -c, python3 -c).
        if (cmdline.compare(from, to - from, "-c") == 0)
            break;
        std::string base = baseName(cmdline.substr(from, to - from));
        if (extends(base, entry.shortName)) {
            entry.fullName = std::move(base);
            break;
        }
        from = to + 1;
    }
    return entry.fullName;
}

// The process root stays open: a re-check then costs one openat and one read.
int LinuxProcessQuery::procFd()
{
    if (m_procFd < 0)
        m_procFd = ::open(m_procRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return m_procFd;
}

std::unique_ptr<ProcessQuery> createProcessQuery()
{
    return std::make_unique<LinuxProcessQuery>();
}

} // namespace platform

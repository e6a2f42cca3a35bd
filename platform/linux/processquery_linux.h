#pragma once

#include "processquery.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

// Process lookup over /proc. A scan lists /proc and reads every process's stat; it costs about
// 10 us per process, so it is done only when no cheaper answer is exact:
// - one listing serves every question asked within `kReuseWindow` of the scan's end, so ten
//   slots that tick together cost one scan, however long the scan took;
// - a true answer remembers the process behind it, and the next question for that name only
//   re-reads that one process: while it still runs under the name, the answer stays true.
// A false answer always needs a listing, since any process may have started meanwhile.
class LinuxProcessQuery : public ProcessQuery
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kReuseWindow = std::chrono::milliseconds(50);
    // A name not asked for this long loses the process remembered for it. The slots ask once a
    // second, so only names that no slot holds any more are dropped.
    static constexpr auto kForgetAfter = std::chrono::seconds(10);

    explicit LinuxProcessQuery(std::function<Clock::time_point()> now = &Clock::now,
                               std::string procRoot = "/proc");
    ~LinuxProcessQuery() override;
    LinuxProcessQuery(const LinuxProcessQuery &) = delete;
    LinuxProcessQuery &operator=(const LinuxProcessQuery &) = delete;

    bool isRunning(const std::string &name) override;

    // How many times /proc has been listed so far.
    std::size_t scanCount() const { return m_scanCount; }
    // How many names have a process remembered behind their last true answer.
    std::size_t rememberedCount() const { return m_remembered.size(); }

private:
    struct Entry
    {
        pid_t pid = 0;
        unsigned long long startTime = 0; // with the pid, tells this process from a later one
        std::string shortName;            // the kernel's name, at most 15 bytes
        bool longNamesRead = false;
        std::string argv0Base; // filled in only when the short name may be a truncation
        std::string exeBase;
    };
    struct Remembered
    {
        std::string name; // as asked
        pid_t pid = 0;
        unsigned long long startTime = 0;
        Clock::time_point lastAsked;
    };
    struct Question;

    void scan();
    bool readEntry(pid_t pid, Entry &entry);
    bool matches(Entry &entry, const Question &question);
    bool stillRuns(const Remembered &remembered, const Question &question);
    void remember(const std::string &name, const Entry &entry, Clock::time_point now);
    void readLongNames(Entry &entry);
    bool isTruncation(Entry &entry);
    int procFd();

    std::function<Clock::time_point()> m_now;
    std::string m_procRoot;
    int m_procFd = -1;
    std::vector<Entry> m_entries;
    std::size_t m_liveEntries = 0;
    Clock::time_point m_scannedAt; // when the last scan ended
    std::size_t m_scanCount = 0;
    std::vector<Remembered> m_remembered; // one per name, a handful at most
    Entry m_rechecked;                    // reused so that a re-check allocates nothing
};

// True when the image names `a` and `b` are equal without regard to letter case: ASCII always,
// Unicode simple case folding when both are valid UTF-8.
bool sameImageName(const std::string &a, const std::string &b);

} // namespace platform

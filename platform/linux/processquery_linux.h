#pragma once

#include "processquery.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

// Process lookup over /proc. A scan lists /proc and reads every process's comm, the cheapest file
// that names it; the stat, for the state and the start time, is read only for a process whose
// name matches. Each comm file stays open from one scan to the next and is read again in place:
// one system call per process instead of three (open, read, close), about a quarter of the cost.
// An open comm file keeps naming its own process, under its current name, and fails once that
// process is gone, also when its pid goes to a new one; then the file is opened afresh. Open files
// are kept for at most half the descriptors the process may have, and cost the kernel about a
// page each. A scan still costs a few microseconds per process, so it is done only when no cheaper
// answer is exact:
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
    // No file name, and so no image name, is longer than this many bytes: a longer name is not
    // running, and is answered without looking at any process.
    static constexpr std::size_t kLongestName = 255;

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
        std::string shortName; // the kernel's name, at most 15 bytes
        bool shortNameIsAscii = true;
        // Read only for a process whose name matches, once per scan.
        bool statRead = false;
        bool live = false;                // not ended: no zombie, unless its threads run
        unsigned long long startTime = 0; // with the pid, tells this process from a later one
        // The whole image name where the short name may be cut off; read only when needed.
        bool fullNameRead = false;
        std::string fullName;
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
    bool readStat(Entry &entry);
    bool nameMatches(Entry &entry, const Question &question);
    bool stillRuns(const Remembered &remembered, const Question &question);
    void remember(const std::string &name, const Entry &entry, Clock::time_point now);
    const std::string &fullName(Entry &entry);
    int procFd();

    std::function<Clock::time_point()> m_now;
    std::string m_procRoot;
    int m_procFd = -1;
    struct OpenComm
    {
        pid_t pid = 0;
        int fd = -1;
    };
    int takeOpenComm(pid_t pid);
    static void closeAll(std::vector<OpenComm> &files);

    std::vector<OpenComm> m_openComm; // from the last scan, by pid
    std::vector<OpenComm> m_nextOpenComm;
    std::size_t m_openCommLimit = 0;
    std::vector<Entry> m_entries;
    std::size_t m_listedEntries = 0;
    Clock::time_point m_scannedAt; // when the last scan ended
    std::size_t m_scanCount = 0;
    std::vector<Remembered> m_remembered; // one per name, a handful at most
    Entry m_rechecked;                    // reused so that a re-check allocates nothing
};

// True when the image names `a` and `b` are equal without regard to letter case: ASCII always,
// Unicode simple case folding when both are valid UTF-8.
bool sameImageName(const std::string &a, const std::string &b);

} // namespace platform

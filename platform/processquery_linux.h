#pragma once

#include "processquery.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform {

// Process lookup over /proc. One listing serves every query made within `kReuseWindow` of it, so
// ten slots that tick together cost one scan.
class LinuxProcessQuery : public ProcessQuery
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr auto kReuseWindow = std::chrono::milliseconds(50);

    explicit LinuxProcessQuery(std::function<Clock::time_point()> now = &Clock::now,
                               std::string procRoot = "/proc");

    bool isRunning(const std::string &name) override;

    // How many times /proc has been listed so far.
    std::size_t scanCount() const { return m_scanCount; }

private:
    struct Entry
    {
        pid_t pid = 0;
        std::string shortName; // the kernel's name, at most 15 bytes
        bool longNamesRead = false;
        std::string argv0Base; // filled in only when the short name may be a truncation
        std::string exeBase;
    };

    void scan();
    void readLongNames(Entry &entry) const;
    bool isTruncation(Entry &entry) const;

    std::function<Clock::time_point()> m_now;
    std::string m_procRoot;
    std::vector<Entry> m_entries;
    std::size_t m_liveEntries = 0;
    Clock::time_point m_scannedAt;
    std::size_t m_scanCount = 0;
};

// True when the image names `a` and `b` are equal without regard to letter case: ASCII always,
// Unicode simple case folding when both are valid UTF-8.
bool sameImageName(const std::string &a, const std::string &b);

} // namespace platform

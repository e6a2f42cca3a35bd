#pragma once

#include <memory>
#include <string>

namespace platform {

// Answers whether a process with a given image name runs right now.
// Plain C++ so that every back end, including the Win32 one, builds without Qt.
class ProcessQuery
{
public:
    virtual ~ProcessQuery() = default;

    // True when at least one live process has the image name `name` (UTF-8), compared without
    // regard to letter case. Never throws; a failed lookup answers false.
    virtual bool isRunning(const std::string &name) = 0;
};

// The back end of the operating system this program was built for.
std::unique_ptr<ProcessQuery> createProcessQuery();

// Knows no process: every name is not running.
std::unique_ptr<ProcessQuery> createNullProcessQuery();

} // namespace platform

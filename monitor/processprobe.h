#pragma once

#include "processquery.h"

#include <memory>
#include <string>

// Tells the watch slots whether a process with a given image name runs right now.
class ProcessProbe
{
public:
    explicit ProcessProbe(std::unique_ptr<platform::ProcessQuery> query);
    ~ProcessProbe();

    // True when at least one process has the image name `name` (UTF-8), compared without regard
    // to letter case. The name is taken exactly as typed; an empty name is never running.
    bool IsProcessRunning(const std::string &name);

private:
    std::unique_ptr<platform::ProcessQuery> m_query;
};

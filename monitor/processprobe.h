#pragma once

#include "platform/processquery.h"

#include <QString>
#include <memory>

// Tells the watch slots whether a process with a given image name runs right now.
class ProcessProbe
{
public:
    ProcessProbe();
    explicit ProcessProbe(std::unique_ptr<platform::ProcessQuery> query);
    ~ProcessProbe();

    // True when at least one process has the image name `name`, compared without regard to
    // letter case. The name is taken exactly as typed; an empty name is never running.
    bool IsProcessRunning(const QString &name);

private:
    std::unique_ptr<platform::ProcessQuery> m_query;
};

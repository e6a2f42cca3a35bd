#include "processprobe.h"

ProcessProbe::ProcessProbe() : ProcessProbe(platform::createProcessQuery()) {}

ProcessProbe::ProcessProbe(std::unique_ptr<platform::ProcessQuery> query)
    : m_query(std::move(query))
{}

ProcessProbe::~ProcessProbe() = default;

bool ProcessProbe::IsProcessRunning(const QString &name)
{
    if (name.isEmpty() || !m_query)
        return false;
    return m_query->isRunning(name.toStdString());
}

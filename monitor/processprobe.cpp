#include "processprobe.h"

ProcessProbe::ProcessProbe(std::unique_ptr<platform::ProcessQuery> query)
    : m_query(query ? std::move(query) : platform::createNullProcessQuery())
{}

ProcessProbe::~ProcessProbe() = default;

bool ProcessProbe::IsProcessRunning(const std::string &name)
{
    return !name.empty() && m_query->isRunning(name);
}

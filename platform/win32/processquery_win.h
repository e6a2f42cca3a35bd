#pragma once

#include "processquery.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {

// The WQL text that asks for the processes with the image name `name` (UTF-8), or nullopt when no
// Windows image name can be `name` (empty, invalid UTF-8, a control character, '"' or '\'), so
// that the answer is false without asking at all.
std::optional<std::wstring> processQueryText(const std::string &name);

// What the service said to one query within the time a query may take.
enum class QueryAnswer
{
    Found,
    NotFound,
    TimedOut,
    Failed,
};
// One query sent to the service: whether the WQL text `wql` yields a process, waited for at most
// `timeoutMs`. The WMI back end sends a real one; a test sends one that hangs. It runs on a worker
// thread of the query's own, always the same one.
using QueryStep = std::function<QueryAnswer(const std::wstring &wql, long timeoutMs)>;

// The WMI back end over `step`: a name no image can have is not asked about; an answer that does
// not come in time counts as not running, as does a failed query, each reported once until the
// service answers again. A call waits at most kQueryTimeoutMs for the worker, however long the
// step blocks; after a time-out the calls of the next second are not asked at all, and while the
// worker is still stuck calls answer false at once, so that a hung service cannot freeze the
// windows whose timers ask.
inline constexpr long kQueryTimeoutMs = 300;
std::unique_ptr<ProcessQuery> createProcessQuery(QueryStep step);

} // namespace platform

#include "processquery.h"
#include "settingsbackend.h"
#include "zorder.h"

namespace platform {

namespace {

class NullZOrder final : public ZOrder
{
public:
    WindowId foregroundWindow() override { return 0; }
    bool isOwnedBy(WindowId, WindowId) override { return false; }
    void clearTopmost(WindowId) override {}
    void setTopmost(WindowId) override {}
};

class NullSettings final : public SettingsBackend
{
public:
    std::optional<std::string> read(std::string_view, std::string_view) override
    {
        return std::nullopt;
    }
    bool write(std::string_view, const std::vector<StoredValue> &) override { return false; }
    std::string location() const override { return "nowhere"; }
};

class NullProcessQuery final : public ProcessQuery
{
public:
    bool isRunning(const std::string &) override { return false; }
};

} // namespace

std::unique_ptr<ZOrder> createNullZOrder()
{
    return std::make_unique<NullZOrder>();
}

std::unique_ptr<SettingsBackend> createNullSettings()
{
    return std::make_unique<NullSettings>();
}

std::unique_ptr<ProcessQuery> createNullProcessQuery()
{
    return std::make_unique<NullProcessQuery>();
}

} // namespace platform

#include "zorder.h"

namespace platform {

namespace {

class NullZOrder final : public ZOrder
{
public:
    WindowId foregroundWindow() override { return 0; }
    void clearTopmost(WindowId) override {}
    void setTopmost(WindowId) override {}
};

} // namespace

std::unique_ptr<ZOrder> createNullZOrder()
{
    return std::make_unique<NullZOrder>();
}

} // namespace platform

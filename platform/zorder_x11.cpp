#include "zorder.h"

namespace platform {

std::unique_ptr<ZOrder> createZOrder(std::string_view)
{
    return nullptr;
}

} // namespace platform

#include "windowplacement.h"

#include "settingsstore.h"

#include <algorithm>

WindowPlacement WindowPlacement::load(SettingsStore &store, const Keys &keys, Allowances allowances)
{
    WindowPlacement stored;
    stored.allowances = allowances;
    stored.left = store.read(keys.left);
    stored.top = store.read(keys.top);
    stored.width = store.read(keys.width);
    stored.height = store.read(keys.height);
    return stored;
}

PixelPoint WindowPlacement::outerCorner(int dpi) const
{
    return {twips::toPixels(left, dpi), twips::toPixels(top, dpi)};
}

PixelSize WindowPlacement::clientSize(int dpi) const
{
    return {std::max(1, twips::toPixels(double(width) - allowances.width, dpi)),
            std::max(1, twips::toPixels(double(height) - allowances.height, dpi))};
}

PixelRect WindowPlacement::outerRect(int dpi) const
{
    const PixelPoint corner = outerCorner(dpi);
    return {corner.x, corner.y, std::max(1, twips::toPixels(width, dpi)),
            std::max(1, twips::toPixels(height, dpi))};
}

WindowPlacement WindowPlacement::now(PixelPoint corner, PixelSize client, int dpi) const
{
    WindowPlacement current = *this;
    if (corner != outerCorner(dpi)) {
        current.left = static_cast<float>(twips::fromPixels(corner.x, dpi));
        current.top = static_cast<float>(twips::fromPixels(corner.y, dpi));
    }
    if (client != clientSize(dpi)) {
        current.width = static_cast<float>(twips::fromPixels(client.width, dpi) + allowances.width);
        current.height =
            static_cast<float>(twips::fromPixels(client.height, dpi) + allowances.height);
    }
    return current;
}

WindowPlacement WindowPlacement::rescued(const std::vector<PixelRect> &screens, int dpi) const
{
    const PixelRect outer = outerRect(dpi);
    const bool onSomeScreen =
        std::any_of(screens.begin(), screens.end(),
                    [&outer](const PixelRect &s) { return s.intersects(outer); });
    if (onSomeScreen || screens.empty())
        return *this;
    WindowPlacement moved = *this;
    moved.left = static_cast<float>(twips::fromPixels(screens.front().x, dpi));
    moved.top = static_cast<float>(twips::fromPixels(screens.front().y, dpi));
    return moved;
}

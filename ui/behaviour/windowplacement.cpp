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

namespace {

PixelRect bounds(const std::vector<PixelRect> &screens)
{
    int left = screens.front().x, top = screens.front().y;
    int right = left + screens.front().width, bottom = top + screens.front().height;
    for (const PixelRect &s : screens) {
        left = std::min(left, s.x);
        top = std::min(top, s.y);
        right = std::max(right, s.x + s.width);
        bottom = std::max(bottom, s.y + s.height);
    }
    return {left, top, right - left, bottom - top};
}

long long overlap(const PixelRect &a, const PixelRect &b)
{
    const long long w = std::min(a.x + a.width, b.x + b.width) - std::max(a.x, b.x);
    const long long h = std::min(a.y + a.height, b.y + b.height) - std::max(a.y, b.y);
    return w > 0 && h > 0 ? w * h : 0;
}

} // namespace

WindowPlacement WindowPlacement::rescued(const std::vector<PixelRect> &screens, int dpi,
                                         const Keys &keys, const Reach &reach) const
{
    if (screens.empty())
        return *this;
    WindowPlacement fixed = *this;
    const PixelRect desktop = bounds(screens);
    const auto unusable = [&](float outer, int allowance, int minimumClient, int desktopPixels) {
        return !(double(outer) - allowance >= minimumClient) ||
               twips::toPixels(outer, dpi) > desktopPixels;
    };
    if (unusable(width, allowances.width, reach.minimumClientWidth, desktop.width) ||
        unusable(height, allowances.height, reach.minimumClientHeight, desktop.height)) {
        fixed.width = keys.width.defaultValue;
        fixed.height = keys.height.defaultValue;
    }

    PixelRect outer = fixed.outerRect(dpi);
    const auto moveTo = [&](int x, int y) {
        fixed.left = static_cast<float>(twips::fromPixels(x, dpi));
        fixed.top = static_cast<float>(twips::fromPixels(y, dpi));
        outer = fixed.outerRect(dpi);
    };
    if (std::none_of(screens.begin(), screens.end(),
                     [&outer](const PixelRect &s) { return s.intersects(outer); }))
        moveTo(screens.front().x, screens.front().y);

    // The caption, and below it what the window is opened for, must be where the mouse reaches.
    const int band = std::min(twips::toPixels(reach.topBand, dpi), outer.height);
    const auto bandOn = [&](const PixelRect &s) {
        return outer.x < s.x + s.width && s.x < outer.x + outer.width && s.y <= outer.y &&
               outer.y + band <= s.y + s.height;
    };
    if (std::none_of(screens.begin(), screens.end(), bandOn)) {
        const PixelRect *most = &screens.front();
        for (const PixelRect &s : screens) {
            if (overlap(s, outer) > overlap(*most, outer))
                most = &s;
        }
        moveTo(outer.x, std::clamp(outer.y, most->y, most->y + std::max(0, most->height - band)));
    }
    return fixed;
}

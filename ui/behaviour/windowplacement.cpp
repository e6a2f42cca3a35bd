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

namespace {

int positionDpi(const std::vector<ScreenArea> &screens)
{
    return screens.empty() ? twips::kDefaultDpi : screens.front().dpi;
}

PixelRect bounds(const std::vector<ScreenArea> &screens)
{
    const PixelRect &first = screens.front().area;
    int left = first.x, top = first.y;
    int right = left + first.width, bottom = top + first.height;
    for (const ScreenArea &screen : screens) {
        const PixelRect &s = screen.area;
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

// The screen that `rectAt(screen)` overlaps most, the primary where it overlaps none.
template <typename RectAt>
const ScreenArea &mostOverlapped(const std::vector<ScreenArea> &screens, RectAt rectAt)
{
    const ScreenArea *most = &screens.front();
    long long mostArea = 0;
    for (const ScreenArea &screen : screens) {
        const long long area = overlap(rectAt(screen), screen.area);
        if (area > mostArea) {
            most = &screen;
            mostArea = area;
        }
    }
    return *most;
}

} // namespace

PixelPoint WindowPlacement::outerCorner(int positionDpi) const
{
    return {twips::toPixels(left, positionDpi), twips::toPixels(top, positionDpi)};
}

PixelSize WindowPlacement::clientSize(int sizeDpi) const
{
    return {std::max(1, twips::toPixels(double(width) - allowances.width, sizeDpi)),
            std::max(1, twips::toPixels(double(height) - allowances.height, sizeDpi))};
}

PixelRect WindowPlacement::outerRect(int positionDpi, int sizeDpi) const
{
    const PixelPoint corner = outerCorner(positionDpi);
    return {corner.x, corner.y, std::max(1, twips::toPixels(width, sizeDpi)),
            std::max(1, twips::toPixels(height, sizeDpi))};
}

int WindowPlacement::sizeDpi(const std::vector<ScreenArea> &screens) const
{
    if (screens.empty())
        return twips::kDefaultDpi;
    const int at = positionDpi(screens);
    return mostOverlapped(screens, [&](const ScreenArea &s) { return outerRect(at, s.dpi); }).dpi;
}

WindowPlacement::Pixels WindowPlacement::on(const std::vector<ScreenArea> &screens) const
{
    return {outerCorner(positionDpi(screens)), clientSize(sizeDpi(screens))};
}

WindowPlacement WindowPlacement::now(PixelPoint corner, PixelSize client,
                                     const std::vector<ScreenArea> &screens) const
{
    WindowPlacement current = *this;
    const int atDpi = positionDpi(screens);
    if (corner != outerCorner(atDpi)) {
        current.left = static_cast<float>(twips::fromPixels(corner.x, atDpi));
        current.top = static_cast<float>(twips::fromPixels(corner.y, atDpi));
    }
    const int wasDpi = sizeDpi(screens);
    const int isDpi = screens.empty()
                          ? twips::kDefaultDpi
                          : mostOverlapped(screens, [&](const ScreenArea &) {
                                return PixelRect{corner.x, corner.y, client.width, client.height};
                            }).dpi;
    if (client != clientSize(wasDpi) || isDpi != wasDpi) {
        current.width =
            static_cast<float>(twips::fromPixels(client.width, isDpi) + allowances.width);
        current.height =
            static_cast<float>(twips::fromPixels(client.height, isDpi) + allowances.height);
    }
    return current;
}

WindowPlacement WindowPlacement::rescued(const std::vector<ScreenArea> &screens, const Keys &keys,
                                         const Reach &reach) const
{
    if (screens.empty())
        return *this;
    WindowPlacement fixed = *this;
    const PixelRect desktop = bounds(screens);
    const int atDpi = positionDpi(screens);
    int sizeDpi = fixed.sizeDpi(screens);
    const auto unusable = [&](float outer, int allowance, int minimumClient, int desktopPixels) {
        return !(outer > 0) ||
               (minimumClient > 0 && !(double(outer) - allowance >= minimumClient)) ||
               twips::toPixels(outer, sizeDpi) > desktopPixels;
    };
    // Each dimension on its own: a fine width stays beside a height that cannot be used.
    if (unusable(width, allowances.width, reach.minimumClientWidth, desktop.width))
        fixed.width = keys.width.defaultValue;
    if (unusable(height, allowances.height, reach.minimumClientHeight, desktop.height))
        fixed.height = keys.height.defaultValue;

    sizeDpi = fixed.sizeDpi(screens);
    PixelRect outer = fixed.outerRect(atDpi, sizeDpi);
    const auto moveTo = [&](int x, int y) {
        fixed.left = static_cast<float>(twips::fromPixels(x, atDpi));
        fixed.top = static_cast<float>(twips::fromPixels(y, atDpi));
        sizeDpi = fixed.sizeDpi(screens);
        outer = fixed.outerRect(atDpi, sizeDpi);
    };
    if (std::none_of(screens.begin(), screens.end(),
                     [&outer](const ScreenArea &s) { return s.area.intersects(outer); }))
        moveTo(screens.front().area.x, screens.front().area.y);

    // The caption, and below it what the window is opened for, must be where the mouse reaches.
    const auto bandOn = [&](const ScreenArea &screen) {
        const PixelRect &s = screen.area;
        const int band = std::min(twips::toPixels(reach.topBand, sizeDpi), outer.height);
        return outer.x < s.x + s.width && s.x < outer.x + outer.width && s.y <= outer.y &&
               outer.y + band <= s.y + s.height;
    };
    if (std::none_of(screens.begin(), screens.end(), bandOn)) {
        const PixelRect &most =
            mostOverlapped(screens, [&outer](const ScreenArea &) { return outer; }).area;
        const int band = std::min(twips::toPixels(reach.topBand, sizeDpi), outer.height);
        moveTo(outer.x, std::clamp(outer.y, most.y, most.y + std::max(0, most.height - band)));
    }
    return fixed;
}

#pragma once

#include <cmath>

// Window and control places are designed in twips: 1440 to the inch, so 15 to a pixel at 96 dots
// per inch.
namespace twips {

constexpr int kPerInch = 1440;
constexpr int kDefaultDpi = 96;

// A place in a window's layout table, or a window's stored frame: left, top, width, height.
struct Place
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Saturates far beyond any screen, so that a stored 1e38 stays a huge number and never wraps.
inline int toPixels(double twips, int dpi)
{
    constexpr double kLimit = 1 << 30;
    const double pixels = twips * dpi / kPerInch;
    return static_cast<int>(std::lround(pixels < -kLimit  ? -kLimit
                                        : pixels > kLimit ? kLimit
                                                          : pixels));
}

inline double fromPixels(int pixels, int dpi)
{
    return static_cast<double>(pixels) * kPerInch / dpi;
}

} // namespace twips

// Pixel geometry as a window system reports it.
struct PixelPoint
{
    int x = 0;
    int y = 0;
    friend bool operator==(const PixelPoint &, const PixelPoint &) = default;
};

struct PixelSize
{
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelSize &, const PixelSize &) = default;
};

struct PixelRect
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelRect &, const PixelRect &) = default;

    bool intersects(const PixelRect &other) const
    {
        return x < other.x + other.width && other.x < x + width && y < other.y + other.height &&
               other.y < y + height && width > 0 && height > 0 && other.width > 0 &&
               other.height > 0;
    }
};

// A screen's area available to windows, in the window system's pixels, and its dots per inch.
struct ScreenArea
{
    PixelRect area;
    int dpi = twips::kDefaultDpi;
    friend bool operator==(const ScreenArea &, const ScreenArea &) = default;
};

// A place in twips as pixels at `dpi`.
inline PixelRect toPixels(const twips::Place &place, int dpi)
{
    return {twips::toPixels(place.left, dpi), twips::toPixels(place.top, dpi),
            twips::toPixels(place.width, dpi), twips::toPixels(place.height, dpi)};
}

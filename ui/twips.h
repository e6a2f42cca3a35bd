#pragma once

#include <QRect>
#include <cmath>

// Window and control places are designed in twips: 1440 to the inch, 15 to a logical pixel.
namespace Twips {

constexpr int kPerPixel = 15;

// One place in a window's layout table: left, top, width and height in twips.
struct Place
{
    int left;
    int top;
    int width;
    int height;
};

inline int toPixels(double twips)
{
    return static_cast<int>(std::lround(twips / kPerPixel));
}

inline int fromPixels(int pixels)
{
    return pixels * kPerPixel;
}

inline QRect toPixels(const Place &place)
{
    return {toPixels(place.left), toPixels(place.top), toPixels(place.width),
            toPixels(place.height)};
}

} // namespace Twips

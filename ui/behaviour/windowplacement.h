#pragma once

#include "twips.h"

#include <vector>

class SettingsStore;
namespace keys {
struct GeometryKey;
}

// A window's stored geometry in twips, as the store keeps it: the frame's outer corner and the
// outer size. The client area is the outer size less the design's frame allowances, whatever
// frame the window system really draws, so that a stored size converts the same way in both
// directions and never drifts.
// Screens may differ in dots per inch. The place converts with one DPI for all of them, the
// primary screen's, so that it means the same pixel wherever the window stood; the size with the
// DPI of the screen the window stands on, so that it keeps its size to the eye.
struct WindowPlacement
{
    // The design's frame allowances in twips: both sides together; caption, top and bottom
    // edges together.
    struct Allowances
    {
        int width = 0;
        int height = 0;
    };

    // What keeps a window usable and within the user's reach, in twips: the smallest client
    // area that shows what the window is for (0: any size at all), and how much of its top
    // (caption, and what must be reached below it) has to be on a screen.
    struct Reach
    {
        int minimumClientWidth = 0;
        int minimumClientHeight = 0;
        int topBand = 0;
    };

    struct Keys
    {
        const keys::GeometryKey &left;
        const keys::GeometryKey &top;
        const keys::GeometryKey &width;
        const keys::GeometryKey &height;
    };

    Allowances allowances;
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;

    static WindowPlacement load(SettingsStore &store, const Keys &keys, Allowances allowances);

    // The window's outer corner and client area (at least 1 x 1) on these screens.
    struct Pixels
    {
        PixelPoint corner;
        PixelSize client;
    };
    Pixels on(const std::vector<ScreenArea> &screens) const;

    // The placement of the window as it stands now on these screens. Where nothing changed since
    // this placement was applied, its numbers are kept exactly, so that reopening never rounds
    // them again.
    WindowPlacement now(PixelPoint corner, PixelSize client,
                        const std::vector<ScreenArea> &screens) const;

    // The placement moved and sized so that the user can reach and use the window on these
    // screens (the primary first). A stored width or height that is not a size (zero, negative,
    // not a number), larger than the whole desktop, or too small for `reach` falls back to the
    // key's default, the other dimension staying as stored. A window wholly off every screen
    // moves to the top-left of the primary screen, keeping its size; one whose top band is off
    // every screen moves down (or up) until the band is on the screen it overlaps most. Anything
    // else stays exactly as stored.
    WindowPlacement rescued(const std::vector<ScreenArea> &screens, const Keys &keys,
                            const Reach &reach) const;

private:
    PixelPoint outerCorner(int positionDpi) const;
    PixelSize clientSize(int sizeDpi) const;
    PixelRect outerRect(int positionDpi, int sizeDpi) const; // the outer size as designed
    // The DPI of the screen the placement stands on: the one its outer rectangle overlaps most.
    int sizeDpi(const std::vector<ScreenArea> &screens) const;
};

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
struct WindowPlacement
{
    // The design's frame allowances in twips: both sides together; caption, top and bottom
    // edges together.
    struct Allowances
    {
        int width = 0;
        int height = 0;
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

    PixelPoint outerCorner(int dpi) const;
    PixelSize clientSize(int dpi) const; // at least 1 x 1
    PixelRect outerRect(int dpi) const;  // the outer size as the design sees it

    // The placement of the window as it stands now. Where nothing changed since this placement
    // was applied, its numbers are kept exactly, so that reopening never rounds them again.
    WindowPlacement now(PixelPoint corner, PixelSize client, int dpi) const;

    // A placement wholly off every screen moves to the top-left of the first (primary) screen's
    // available area, keeping its size; one at least partly on a screen stays.
    WindowPlacement rescued(const std::vector<PixelRect> &screens, int dpi) const;
};

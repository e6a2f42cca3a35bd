#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;
class SettingsStore;
struct SettingKey;

// Stored window geometry in twips, as the store keeps it: the frame's outer corner and the outer
// size. The client area is the outer size less the design's frame allowances, whatever frame the
// window manager really draws, so that a stored size converts the same way in both directions
// and never drifts.
struct WindowPlacement
{
    // Frame allowances in twips: both sides together, and caption, top and bottom edges together.
    int frameWidth = 0;
    int frameHeight = 0;

    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;

    QPoint outerCorner() const; // pixels
    QSize clientSize() const;   // pixels, at least 1 x 1
    QRect outerRect() const;    // pixels, the outer size as the design sees it

    // The placement stored under the four keys, for a window with the given frame allowances.
    static WindowPlacement load(SettingsStore &store, const SettingKey &leftKey,
                                const SettingKey &topKey, const SettingKey &widthKey,
                                const SettingKey &heightKey, int frameWidth, int frameHeight);

    // The placement of a shown window. Where nothing changed since `loaded` was applied, the
    // loaded numbers are kept exactly, so that reopening never rounds them again.
    static WindowPlacement of(const QWidget &window, const WindowPlacement &loaded);

    // Moves a placement that lies wholly off every screen to the top-left of the primary screen's
    // available area, keeping its size; one that is at least partly on a screen is kept.
    WindowPlacement rescuedOnScreen() const;

    // Applies the placement to a window that is not shown yet, so that it appears in its place.
    void applyTo(QWidget &window) const;
};

#include "windowplacement.h"

#include "store/settingsstore.h"
#include "twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

QPoint WindowPlacement::outerCorner() const
{
    return {Twips::toPixels(left), Twips::toPixels(top)};
}

QSize WindowPlacement::clientSize() const
{
    return {std::max(1, Twips::toPixels(double(width) - frameWidth)),
            std::max(1, Twips::toPixels(double(height) - frameHeight))};
}

QRect WindowPlacement::outerRect() const
{
    return {outerCorner(),
            QSize(std::max(1, Twips::toPixels(width)), std::max(1, Twips::toPixels(height)))};
}

WindowPlacement WindowPlacement::load(SettingsStore &store, const SettingKey &leftKey,
                                      const SettingKey &topKey, const SettingKey &widthKey,
                                      const SettingKey &heightKey, int frameWidth, int frameHeight)
{
    WindowPlacement stored;
    stored.frameWidth = frameWidth;
    stored.frameHeight = frameHeight;
    stored.left = store.single(leftKey);
    stored.top = store.single(topKey);
    stored.width = store.single(widthKey);
    stored.height = store.single(heightKey);
    return stored;
}

WindowPlacement WindowPlacement::of(const QWidget &window, const WindowPlacement &loaded)
{
    WindowPlacement now = loaded;
    const QPoint corner = window.frameGeometry().topLeft();
    if (corner != loaded.outerCorner()) {
        now.left = static_cast<float>(Twips::fromPixels(corner.x()));
        now.top = static_cast<float>(Twips::fromPixels(corner.y()));
    }
    if (window.size() != loaded.clientSize()) {
        now.width = static_cast<float>(Twips::fromPixels(window.width()) + loaded.frameWidth);
        now.height = static_cast<float>(Twips::fromPixels(window.height()) + loaded.frameHeight);
    }
    return now;
}

WindowPlacement WindowPlacement::rescuedOnScreen() const
{
    const QRect outer = outerRect();
    const auto screens = QGuiApplication::screens();
    const bool onSomeScreen = std::any_of(screens.begin(), screens.end(), [&outer](QScreen *s) {
        return s->availableGeometry().intersects(outer);
    });
    const QScreen *primary = QGuiApplication::primaryScreen();
    if (onSomeScreen || !primary)
        return *this;
    WindowPlacement rescued = *this;
    const QPoint corner = primary->availableGeometry().topLeft();
    rescued.left = static_cast<float>(Twips::fromPixels(corner.x()));
    rescued.top = static_cast<float>(Twips::fromPixels(corner.y()));
    return rescued;
}

void WindowPlacement::applyTo(QWidget &window) const
{
    // move() before show() places the frame's outer corner; resize() sets the client area.
    window.move(outerCorner());
    window.resize(clientSize());
}

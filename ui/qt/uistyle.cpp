#include "uistyle.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>
#include <cmath>

namespace uistyle {

QColor toQColor(Rgb colour)
{
    return {colour.red, colour.green, colour.blue};
}

QRect toQRect(const twips::Place &place)
{
    const PixelRect pixels = toPixels(place, twips::kDefaultDpi);
    return {pixels.x, pixels.y, pixels.width, pixels.height};
}

bool platformReportsPlaces()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

std::vector<ScreenArea> availableScreens()
{
    std::vector<ScreenArea> areas;
    const QScreen *primary = QGuiApplication::primaryScreen();
    const auto all = QGuiApplication::screens();
    for (const QScreen *screen : all) {
        const QRect area = screen->availableGeometry();
        // Qt places widgets in logical pixels, 96 to the inch whatever the screen's scale.
        const ScreenArea rect{{area.x(), area.y(), area.width(), area.height()},
                              twips::kDefaultDpi};
        if (screen == primary)
            areas.insert(areas.begin(), rect);
        else
            areas.push_back(rect);
    }
    return areas;
}

namespace {

// How far, in logical pixels, the window system may put a window from where it was asked to.
int placeTolerance(const QWidget &window)
{
    const qreal ratio = window.devicePixelRatioF();
    if (ratio <= 0 || std::abs(ratio - std::round(ratio)) < 1e-6)
        return 0;
    return static_cast<int>(std::ceil(1 / ratio));
}

bool near(int now, int placed, int tolerance)
{
    return std::abs(now - placed) <= tolerance;
}

} // namespace

QPoint unlessMoved(QPoint now, QPoint placed, const QWidget &window)
{
    const int tolerance = placeTolerance(window);
    return near(now.x(), placed.x(), tolerance) && near(now.y(), placed.y(), tolerance) ? placed
                                                                                        : now;
}

QSize unlessResized(QSize now, QSize placed, const QWidget &window)
{
    const int tolerance = placeTolerance(window);
    return near(now.width(), placed.width(), tolerance) &&
                   near(now.height(), placed.height(), tolerance)
               ? placed
               : now;
}

void focusChild(QWidget &window, std::string_view control)
{
    auto *widget = window.findChild<QWidget *>(
        QString::fromUtf8(control.data(), static_cast<qsizetype>(control.size())));
    if (!widget)
        return;
    widget->setFocus();
    if (window.isVisible() && !window.isActiveWindow())
        window.activateWindow();
}

std::string focusedChild(const QWidget &window)
{
    const QWidget *widget = window.focusWidget();
    return widget ? widget->objectName().toStdString() : std::string();
}

QFont designFont(const layout::Font &design)
{
    QFont font;
    QStringList families;
    for (std::string_view family : layout::kFontFamilies)
        families << QString::fromUtf8(family.data(), static_cast<qsizetype>(family.size()));
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(design.pointSize);
    font.setBold(design.bold);
    return font;
}

void applyDesign(QWidget *control, const layout::Control &design)
{
    control->setObjectName(QString::fromStdString(design.name));
    control->setGeometry(toQRect(design.place));
    control->setFont(designFont(design.font));
    control->setAccessibleName(QString::fromStdString(
        design.accessibleName.empty() ? design.caption : design.accessibleName));
    if (auto *label = qobject_cast<QLabel *>(control)) {
        label->setAlignment(Qt::AlignCenter);
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, toQColor(layout::kLabelBackground));
        palette.setColor(QPalette::WindowText, toQColor(layout::kLabelText));
        label->setPalette(palette);
        label->setBackgroundRole(QPalette::Window);
        label->setForegroundRole(QPalette::WindowText);
        label->setAutoFillBackground(true);
    }
}

void paintButtonFace(QWidget *window)
{
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}

QStyle *exactColourStyle()
{
    static QStyle *const style = [] {
        QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion"));
        fusion->setParent(QCoreApplication::instance()); // ends with the application
        return fusion;
    }();
    return style;
}

void fitCaption(QWidget *control)
{
    // The fallback fonts run wider than the design's; tighten the letters a little rather than
    // cut the caption off or move the control.
    QFont font = control->font();
    for (double spacing = -0.25; control->sizeHint().width() > control->width() && spacing >= -1.0;
         spacing -= 0.25) {
        font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
        control->setFont(font);
    }
}

std::optional<layout::Key> designKey(const QKeyEvent &event)
{
    switch (event.key()) {
    case Qt::Key_Space:
        return layout::Key::Space;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return layout::Key::Enter;
    case Qt::Key_Escape:
        return layout::Key::Escape;
    default:
        return std::nullopt;
    }
}

void applyTabOrder(QWidget &window, const layout::Window &design)
{
    QWidget *previous = nullptr;
    for (const layout::Control *control : design.tabOrder()) {
        auto *widget = window.findChild<QWidget *>(QString::fromStdString(control->name));
        if (!widget)
            continue;
        // A label in the tab order takes the focus from the keyboard only: a click on it acts.
        if (control->kind == layout::Kind::Label)
            widget->setFocusPolicy(Qt::TabFocus);
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

} // namespace uistyle

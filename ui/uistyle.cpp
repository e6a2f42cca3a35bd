#include "uistyle.h"

#include <QCoreApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>

namespace UiStyle {

QFont designFont(double pointSize, bool bold)
{
    // Where the design's font is missing, the nearest in width that the system has.
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                      QStringLiteral("Nimbus Sans")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

void paintTitle(QWidget *label)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, QColor(0, 0, 0));
    palette.setColor(QPalette::WindowText, QColor(0, 255, 0));
    label->setPalette(palette);
    label->setBackgroundRole(QPalette::Window);
    label->setForegroundRole(QPalette::WindowText);
    label->setAutoFillBackground(true);
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

} // namespace UiStyle

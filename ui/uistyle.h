#pragma once

#include <QColor>
#include <QFont>

class QStyle;
class QWidget;

// Fonts, colours and the widget style shared by both windows.
namespace UiStyle {

// The design's "MS Sans Serif" at `pointSize`, or the system's sans-serif where it is missing.
QFont designFont(double pointSize, bool bold);

// Green text on black, as the title strips show it.
void paintTitle(QWidget *label);

// The system's button-face colour as a window's background.
void paintButtonFace(QWidget *window);

// Tightens the letters of a control's caption until it fits the control's width, if need be.
void fitCaption(QWidget *control);

// A style that paints a box's background exactly in the colour of its palette; some native
// styles draw their own. One instance for the whole program.
QStyle *exactColourStyle();

} // namespace UiStyle

#pragma once

#include "layout.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QKeyEvent;
class QStyle;
class QWidget;

// How the design's fonts, colours and places come out in Qt widgets.
namespace uistyle {

QColor toQColor(Rgb colour);
// Twips at Qt's logical 96 dots per inch: 15 twips a pixel.
QRect toQRect(const twips::Place &place);

// Whether the window system tells a window where it stands (not so in a Wayland session).
bool platformReportsPlaces();

// The screens' areas available to windows, the primary screen first.
std::vector<ScreenArea> availableScreens();

// Where a window placed at `placed` (a corner, or a size) stands as far as the user can tell:
// `placed` itself while `now` is within what the window system makes of it. At a scale factor
// that is not whole, a logical pixel is no whole number of device pixels: the frame's corner
// comes back up to a logical pixel off (the client's place and the frame's edges are rounded
// apart), and the window manager rounds the size to the size increment Qt asks for, a whole
// number of device pixels. Reporting those as moves would shift the stored place at each start.
QPoint unlessMoved(QPoint now, QPoint placed, const QWidget &window);
QSize unlessResized(QSize now, QSize placed, const QWidget &window);

// The focus among a window's controls, by their names in the layout table. Focusing also
// activates the window: a window manager may leave none active when a modal window closes.
void focusChild(QWidget &window, std::string_view control);
std::string focusedChild(const QWidget &window);

// The design's font, or the nearest in width that the system has.
QFont designFont(const layout::Font &font);

// Puts a control of the layout table on `control`: object name, place, font; labels get the
// design's green on black and centred text.
void applyDesign(QWidget *control, const layout::Control &design);

// The system's button-face colour as a window's background.
void paintButtonFace(QWidget *window);

// Tightens the letters of a control's caption until it fits the control's width, if need be.
void fitCaption(QWidget *control);

// The design's name of a key, if it is one the design binds or leaves unbound on purpose.
std::optional<layout::Key> designKey(const QKeyEvent &event);

// Sets the focus chain of `window`'s controls in the design's tab order.
void applyTabOrder(QWidget &window, const layout::Window &design);

// A style that paints a box's background exactly in the colour of its palette; some native
// styles draw their own. One instance for the whole program.
QStyle *exactColourStyle();

} // namespace uistyle

#pragma once

#include <QString>

class QWidget;

// What assistive technology learns of the program's widgets beyond Qt's own accessible
// interfaces: the title strip is a push button that can be pressed, a top-level window is a frame,
// a modal dialog says so and reads its header as its description, and news of a control can be
// spoken while the focus stays where it is.
namespace accessibility {

// Puts the program's interfaces before Qt's own; once, after the application object exists and
// before the first window is built. Later calls do nothing.
void install();

// Has a screen reader say `text` now, as news from the window of `control` (a notification that
// shows and is gone; Orca speaks a notification whatever has the focus, so callers announce only
// what the user is at).
void announce(QWidget *control, const QString &text);

} // namespace accessibility

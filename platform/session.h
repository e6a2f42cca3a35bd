#pragma once

#include <QObject>
#include <QString>
#include <functional>

// How the operating system's session reaches the program, outside its windows.
namespace platform {

// Whether a window system can be reached; otherwise `why` holds one line saying what is missing
// and how to run the program anyway.
bool windowSystemAvailable(QString &why);

// Calls `onEndRequest` on the event loop when the user or the session asks the program to end
// from outside its windows (SIGTERM, SIGINT, SIGHUP on Linux). Call once, after the application
// object exists.
void onEndRequest(QObject *context, std::function<void()> onEndRequest);

} // namespace platform

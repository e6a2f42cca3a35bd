#pragma once

#include <functional>
#include <memory>
#include <string>

// How the operating system's session reaches the program, outside its windows.
namespace platform {

// Chooses the window system before the toolkit starts: X11 (also through XWayland) wherever a
// display can be reached, since only there can a window know and keep its place and stay on top;
// a Wayland session natively where no X11 display can be had; whatever the user chose in
// QT_QPA_PLATFORM. False when none can be used; `why` then holds one line saying what is missing
// and how to run the program anyway.
// What it opened to look stays open until releaseWindowSystemCheck().
bool chooseWindowSystem(std::string &why);

// Lets go of what chooseWindowSystem() held open. Call once the application object exists: a
// display whose last client leaves resets, and a toolkit that connects meanwhile fails.
void releaseWindowSystemCheck();

// Calls `onEndRequest` on the event loop when the user or the session asks the program to end
// from outside its windows (SIGTERM, SIGINT, SIGHUP on Linux). Further requests while it saves
// are ignored, so that the save is never cut short; only when the save has not finished within
// a few seconds does a further request end the program at once. Call once, after the application
// object exists.
void onEndRequest(std::function<void()> onEndRequest);

// Calls `save` when the session manager asks the program to save what it would lose at the
// session's end (a logout that may yet be cancelled). Call once, after the application object
// exists.
// Stops when the returned subscription is destroyed.
class Subscription
{
public:
    virtual ~Subscription() = default;
};
[[nodiscard]] std::unique_ptr<Subscription> onSessionSave(std::function<void()> save);

} // namespace platform

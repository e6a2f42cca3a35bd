#pragma once

#include <windows.h>

#include <string>

// What assistive technology reads of a control beyond what the system's proxy for its class
// tells: its name and its description. The control answers WM_GETOBJECT with an accessible object
// of its own that takes the system's proxy for everything else (role, state, place, actions).
// Annotations (IAccPropServices) would do as much on Windows, but Wine does not implement them.

// From now on `control` is called `name`; the object lives as long as the control.
void setAccessibleName(HWND control, const std::string &name);
// A push button with the default action "Press", which clicks it (BM_CLICK), whatever the
// system's proxy makes of its class (Wine's makes an owner-drawn button a client area).
void setAccessiblePushButton(HWND control);
// What is read out beside the name; an empty text leaves the system's.
void setAccessibleDescription(HWND control, const std::string &description);

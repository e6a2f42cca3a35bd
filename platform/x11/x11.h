#pragma once

#include <cstdlib>
#include <memory>
#include <string_view>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

// What the X11 back ends share: the xcb connection and its EWMH atoms.
namespace platform::x11 {

// xcb hands out replies and errors allocated with malloc; the caller frees them.
struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

// An xcb connection with the EWMH atoms interned.
class Connection
{
public:
    // A connection of its own to the display named by DISPLAY, so that errors of its requests
    // arrive here and never as the toolkit's; nullptr when the display cannot be reached.
    static std::unique_ptr<Connection> open();
    // Over a connection that someone else owns and keeps open (the toolkit's), on `screen`.
    static std::unique_ptr<Connection> over(xcb_connection_t *connection, int screen);

    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    xcb_connection_t *xcb() const { return m_connection; }
    xcb_ewmh_connection_t *ewmh() { return &m_ewmh; }
    int screen() const { return m_screen; }
    xcb_window_t root() const { return m_ewmh.screens[m_screen]->root; }
    bool broken() const { return xcb_connection_has_error(m_connection) != 0; }

    // EWMH's test for a live window manager: the root names a check window that names itself.
    // A window manager that died leaves a stale name on the root, which this sees through.
    bool hasWindowManager();

private:
    Connection(xcb_connection_t *connection, int screen, bool owned)
        : m_connection(connection), m_screen(screen), m_owned(owned)
    {}
    static std::unique_ptr<Connection> init(xcb_connection_t *connection, int screen, bool owned);
    bool readCheckWindow(xcb_window_t window, xcb_window_t *value);

    xcb_connection_t *m_connection;
    int m_screen;
    bool m_owned;
    xcb_ewmh_connection_t m_ewmh{};
};

} // namespace platform::x11

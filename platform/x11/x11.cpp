#include "x11.h"

namespace platform::x11 {

std::unique_ptr<Connection> Connection::open()
{
    int screen = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return init(connection, screen, true);
}

std::unique_ptr<Connection> Connection::over(xcb_connection_t *connection, int screen)
{
    if (!connection || xcb_connection_has_error(connection))
        return nullptr;
    return init(connection, screen, false);
}

std::unique_ptr<Connection> Connection::init(xcb_connection_t *connection, int screen, bool owned)
{
    std::unique_ptr<Connection> result(new Connection(connection, screen, owned));
    // The replies call frees the cookies, and on failure everything else the atoms took.
    xcb_intern_atom_cookie_t *cookies = xcb_ewmh_init_atoms(connection, &result->m_ewmh);
    if (!cookies || !xcb_ewmh_init_atoms_replies(&result->m_ewmh, cookies, nullptr)) {
        result->m_ewmh = {};
        return nullptr; // the destructor disconnects an owned connection
    }
    if (screen < 0 || screen >= result->m_ewmh.nb_screens)
        return nullptr;
    return result;
}

Connection::~Connection()
{
    if (m_ewmh.connection)
        xcb_ewmh_connection_wipe(&m_ewmh);
    if (m_owned)
        xcb_disconnect(m_connection);
}

bool Connection::hasWindowManager()
{
    xcb_window_t check = XCB_NONE;
    if (!readCheckWindow(root(), &check) || check == XCB_NONE)
        return false;
    xcb_window_t self = XCB_NONE;
    return readCheckWindow(check, &self) && self == check;
}

bool Connection::readCheckWindow(xcb_window_t window, xcb_window_t *value)
{
    xcb_generic_error_t *error = nullptr;
    const bool ok =
        xcb_ewmh_get_supporting_wm_check_reply(
            &m_ewmh, xcb_ewmh_get_supporting_wm_check(&m_ewmh, window), value, &error) != 0;
    std::free(error);
    return ok;
}

} // namespace platform::x11

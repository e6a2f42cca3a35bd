#include "zorder.h"

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

namespace platform {

namespace {

// xcb hands out replies and errors allocated with malloc; the caller frees them.
struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using XcbPtr = std::unique_ptr<T, FreeDeleter>;

// Talks to the X server on a connection of its own, so that nothing here interferes with the
// toolkit's connection: its errors arrive on this connection and are dropped here.
class X11ZOrder final : public ZOrder
{
public:
    X11ZOrder(xcb_connection_t *connection, int screen, const xcb_ewmh_connection_t &ewmh)
        : m_connection(connection), m_screen(screen), m_ewmh(ewmh)
    {}

    ~X11ZOrder() override
    {
        xcb_ewmh_connection_wipe(&m_ewmh);
        xcb_disconnect(m_connection);
    }

    X11ZOrder(const X11ZOrder &) = delete;
    X11ZOrder &operator=(const X11ZOrder &) = delete;

    WindowId foregroundWindow() override
    {
        if (xcb_connection_has_error(m_connection))
            return 0;
        xcb_window_t active = XCB_NONE;
        // A window manager that does not publish the active window leaves the X input focus as
        // the best guess, just as when none runs at all.
        if (!hasWindowManager() || !readActiveWindow(&active))
            active = focusedTopLevel();
        dropQueuedErrors();
        return active;
    }

    void clearTopmost(WindowId window) override
    {
        const xcb_window_t target = toXcb(window);
        if (target == XCB_NONE || xcb_connection_has_error(m_connection))
            return;
        // Without a window manager nothing is kept on top, so there is no mark to take away.
        if (hasWindowManager()) {
            xcb_ewmh_request_change_wm_state(&m_ewmh, m_screen, target, XCB_EWMH_WM_STATE_REMOVE,
                                             m_ewmh._NET_WM_STATE_ABOVE, XCB_ATOM_NONE,
                                             XCB_EWMH_CLIENT_SOURCE_TYPE_NORMAL);
            xcb_flush(m_connection);
        }
        dropQueuedErrors();
    }

    void setTopmost(WindowId window) override
    {
        const xcb_window_t target = toXcb(window);
        if (target == XCB_NONE || xcb_connection_has_error(m_connection))
            return;
        if (hasWindowManager()) {
            xcb_ewmh_request_change_wm_state(&m_ewmh, m_screen, target, XCB_EWMH_WM_STATE_ADD,
                                             m_ewmh._NET_WM_STATE_ABOVE, XCB_ATOM_NONE,
                                             XCB_EWMH_CLIENT_SOURCE_TYPE_NORMAL);
            xcb_flush(m_connection);
            // The mark alone leaves the window wherever it stood among the other windows
            // marked above; the restack request is how a managed window asks to go to the top.
            xcb_ewmh_request_restack_window(&m_ewmh, m_screen, target, XCB_NONE,
                                            XCB_STACK_MODE_ABOVE);
            xcb_flush(m_connection);
        } else {
            const std::uint32_t mode = XCB_STACK_MODE_ABOVE;
            const xcb_void_cookie_t cookie = xcb_configure_window_checked(
                m_connection, target, XCB_CONFIG_WINDOW_STACK_MODE, &mode);
            XcbPtr<xcb_generic_error_t> error(xcb_request_check(m_connection, cookie));
        }
        dropQueuedErrors();
    }

private:
    static xcb_window_t toXcb(WindowId window)
    {
        // X ids are 29 bits; anything wider cannot name a window on this server.
        if (window > std::numeric_limits<std::uint32_t>::max())
            return XCB_NONE;
        return static_cast<xcb_window_t>(window);
    }

    xcb_window_t root() const { return m_ewmh.screens[m_screen]->root; }

    // EWMH's test for a live window manager: the root names a check window that names itself.
    // A window manager that died leaves a stale name on the root, which this sees through.
    bool hasWindowManager()
    {
        xcb_window_t check = XCB_NONE;
        if (!readWindowProperty(root(), &check) || check == XCB_NONE)
            return false;
        xcb_window_t self = XCB_NONE;
        return readWindowProperty(check, &self) && self == check;
    }

    bool readWindowProperty(xcb_window_t window, xcb_window_t *value)
    {
        xcb_generic_error_t *error = nullptr;
        const bool ok =
            xcb_ewmh_get_supporting_wm_check_reply(
                &m_ewmh, xcb_ewmh_get_supporting_wm_check(&m_ewmh, window), value, &error) != 0;
        std::free(error);
        return ok;
    }

    bool readActiveWindow(xcb_window_t *active)
    {
        xcb_generic_error_t *error = nullptr;
        const bool ok =
            xcb_ewmh_get_active_window_reply(&m_ewmh, xcb_ewmh_get_active_window(&m_ewmh, m_screen),
                                             active, &error) != 0;
        std::free(error);
        return ok;
    }

    // The top-level window holding the X input focus: focus may sit on a subwindow, while the
    // caller compares against top-level ids. With no window manager, top-levels are the root's
    // children.
    xcb_window_t focusedTopLevel()
    {
        XcbPtr<xcb_get_input_focus_reply_t> focus(
            xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
        if (!focus)
            return XCB_NONE;
        xcb_window_t window = focus->focus;
        if (window == XCB_NONE || window == XCB_INPUT_FOCUS_POINTER_ROOT || window == root())
            return XCB_NONE;
        // Bounded in case the tree changes under us.
        for (int depth = 0; depth < 64; ++depth) {
            xcb_generic_error_t *error = nullptr;
            XcbPtr<xcb_query_tree_reply_t> tree(
                xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), &error));
            std::free(error);
            if (!tree)
                return XCB_NONE;
            if (tree->parent == tree->root)
                return window;
            window = tree->parent;
        }
        return XCB_NONE;
    }

    // Errors of the unchecked requests (a client message about a window that is already gone)
    // are queued as events; this connection selects no events, so all of them can go.
    void dropQueuedErrors()
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection))
            std::free(event);
    }

    xcb_connection_t *m_connection;
    int m_screen;
    xcb_ewmh_connection_t m_ewmh;
};

} // namespace

std::unique_ptr<ZOrder> createZOrder(std::string_view qpaPlatform)
{
    if (qpaPlatform != "xcb")
        return nullptr;
    int screen = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screen);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    xcb_ewmh_connection_t ewmh{};
    // The replies call frees the cookies, and on failure everything else the atoms took.
    xcb_intern_atom_cookie_t *cookies = xcb_ewmh_init_atoms(connection, &ewmh);
    if (!cookies || !xcb_ewmh_init_atoms_replies(&ewmh, cookies, nullptr)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    if (screen < 0 || screen >= ewmh.nb_screens) {
        xcb_ewmh_connection_wipe(&ewmh);
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::make_unique<X11ZOrder>(connection, screen, ewmh);
}

} // namespace platform

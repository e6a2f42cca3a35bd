#include "x11.h"
#include "zorder.h"

#include <cstdint>
#include <limits>

namespace platform {

namespace {

// Talks to the X server on a connection of its own, so that nothing here interferes with the
// toolkit's connection: its errors arrive on this connection and are dropped here.
class X11ZOrder final : public ZOrder
{
public:
    explicit X11ZOrder(std::unique_ptr<x11::Connection> connection) : m_x(std::move(connection)) {}

    WindowId foregroundWindow() override
    {
        if (m_x->broken())
            return 0;
        xcb_window_t active = XCB_NONE;
        // A window manager that does not publish the active window leaves the X input focus as
        // the best guess, just as when none runs at all.
        if (!m_x->hasWindowManager() || !readActiveWindow(&active))
            active = focusedTopLevel();
        dropQueuedErrors();
        return active;
    }

    bool isOwnedBy(WindowId window, WindowId owner) override
    {
        xcb_window_t owned = toXcb(window);
        if (owned == XCB_NONE || owner == XCB_NONE || m_x->broken())
            return false;
        // Bounded: a chain of transient-for hints may loop.
        for (int depth = 0; depth < 16; ++depth) {
            xcb_generic_error_t *error = nullptr;
            x11::Reply<xcb_get_property_reply_t> hint(xcb_get_property_reply(
                m_x->xcb(),
                xcb_get_property(m_x->xcb(), 0, owned, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW,
                                 0, 1),
                &error));
            std::free(error);
            if (!hint || xcb_get_property_value_length(hint.get()) != sizeof(xcb_window_t))
                break;
            owned = *static_cast<const xcb_window_t *>(xcb_get_property_value(hint.get()));
            if (owned == owner)
                return true;
            if (owned == XCB_NONE || owned == m_x->root())
                break;
        }
        return false;
    }

    void clearTopmost(WindowId window) override
    {
        const xcb_window_t target = toXcb(window);
        if (target == XCB_NONE || m_x->broken())
            return;
        // Without a window manager nothing is kept on top, so there is no mark to take away.
        if (m_x->hasWindowManager()) {
            xcb_ewmh_request_change_wm_state(m_x->ewmh(), m_x->screen(), target,
                                             XCB_EWMH_WM_STATE_REMOVE,
                                             m_x->ewmh()->_NET_WM_STATE_ABOVE, XCB_ATOM_NONE,
                                             XCB_EWMH_CLIENT_SOURCE_TYPE_NORMAL);
            xcb_flush(m_x->xcb());
        }
        dropQueuedErrors();
    }

    void setTopmost(WindowId window) override
    {
        const xcb_window_t target = toXcb(window);
        if (target == XCB_NONE || m_x->broken())
            return;
        if (m_x->hasWindowManager()) {
            xcb_ewmh_request_change_wm_state(m_x->ewmh(), m_x->screen(), target,
                                             XCB_EWMH_WM_STATE_ADD,
                                             m_x->ewmh()->_NET_WM_STATE_ABOVE, XCB_ATOM_NONE,
                                             XCB_EWMH_CLIENT_SOURCE_TYPE_NORMAL);
            // The mark alone leaves the window wherever it stood among the other windows
            // marked above; the restack request is how a managed window asks to go to the top
            // without being activated.
            xcb_ewmh_request_restack_window(m_x->ewmh(), m_x->screen(), target, XCB_NONE,
                                            XCB_STACK_MODE_ABOVE);
            xcb_flush(m_x->xcb());
        } else {
            const std::uint32_t mode = XCB_STACK_MODE_ABOVE;
            const xcb_void_cookie_t cookie = xcb_configure_window_checked(
                m_x->xcb(), target, XCB_CONFIG_WINDOW_STACK_MODE, &mode);
            x11::Reply<xcb_generic_error_t> error(xcb_request_check(m_x->xcb(), cookie));
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

    bool readActiveWindow(xcb_window_t *active)
    {
        xcb_generic_error_t *error = nullptr;
        const bool ok = xcb_ewmh_get_active_window_reply(
                            m_x->ewmh(), xcb_ewmh_get_active_window(m_x->ewmh(), m_x->screen()),
                            active, &error) != 0;
        std::free(error);
        return ok;
    }

    // The top-level window holding the X input focus: focus may sit on a subwindow, while the
    // caller compares against top-level ids. With no window manager, top-levels are the root's
    // children.
    xcb_window_t focusedTopLevel()
    {
        xcb_connection_t *c = m_x->xcb();
        x11::Reply<xcb_get_input_focus_reply_t> focus(
            xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        if (!focus)
            return XCB_NONE;
        xcb_window_t window = focus->focus;
        if (window == XCB_NONE || window == XCB_INPUT_FOCUS_POINTER_ROOT || window == m_x->root())
            return XCB_NONE;
        // Bounded in case the tree changes under us.
        for (int depth = 0; depth < 64; ++depth) {
            xcb_generic_error_t *error = nullptr;
            x11::Reply<xcb_query_tree_reply_t> tree(
                xcb_query_tree_reply(c, xcb_query_tree(c, window), &error));
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
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_x->xcb()))
            std::free(event);
    }

    std::unique_ptr<x11::Connection> m_x;
};

} // namespace

std::unique_ptr<ZOrder> createZOrder()
{
    if (auto connection = x11::Connection::open())
        return std::make_unique<X11ZOrder>(std::move(connection));
    return createNullZOrder();
}

} // namespace platform

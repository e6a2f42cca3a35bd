#include "windowchrome.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWindow>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <memory>
#include <xcb/xcb.h>

namespace platform {

namespace {

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using XcbPtr = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t internAtom(xcb_connection_t *connection, std::string_view name)
{
    XcbPtr<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(name.size()), name.data()),
        nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// Every request is checked: on the toolkit's connection an unchecked error would be reported
// by the toolkit as its own.
void skipTaskbarAndPager(xcb_connection_t *connection, xcb_window_t window)
{
    const xcb_atom_t state = internAtom(connection, "_NET_WM_STATE");
    const std::array<xcb_atom_t, 2> wanted{internAtom(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                                           internAtom(connection, "_NET_WM_STATE_SKIP_PAGER")};
    if (state == XCB_ATOM_NONE || wanted[0] == XCB_ATOM_NONE || wanted[1] == XCB_ATOM_NONE)
        return;

    xcb_generic_error_t *error = nullptr;
    XcbPtr<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        connection, xcb_get_window_attributes(connection, window), &error));
    std::free(error);
    if (!attributes)
        return;

    if (attributes->map_state == XCB_MAP_STATE_UNMAPPED) {
        // Before the first map the window manager reads the property itself. The toolkit
        // rewrites the property when it maps the window but keeps the atoms it does not own.
        error = nullptr;
        XcbPtr<xcb_get_property_reply_t> current(
            xcb_get_property_reply(connection,
                                   xcb_get_property(connection, 0, window, state, XCB_ATOM_ATOM, 0,
                                                    std::numeric_limits<std::uint32_t>::max() / 4),
                                   &error));
        std::free(error);
        const xcb_atom_t *begin = nullptr;
        const xcb_atom_t *end = nullptr;
        if (current && current->format == 32 && current->type == XCB_ATOM_ATOM) {
            begin = static_cast<const xcb_atom_t *>(xcb_get_property_value(current.get()));
            end = begin + current->value_len;
        }
        std::array<xcb_atom_t, 2> missing{};
        std::uint32_t count = 0;
        for (xcb_atom_t atom : wanted) {
            if (std::find(begin, end, atom) == end)
                missing[count++] = atom;
        }
        if (count == 0)
            return;
        const xcb_void_cookie_t cookie =
            xcb_change_property_checked(connection, XCB_PROP_MODE_APPEND, window, state,
                                        XCB_ATOM_ATOM, 32, count, missing.data());
        std::free(xcb_request_check(connection, cookie));
        return;
    }

    // A mapped window's state belongs to the window manager: ask it.
    error = nullptr;
    XcbPtr<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(connection, xcb_query_tree(connection, window), &error));
    std::free(error);
    if (!tree)
        return;
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = state;
    message.data.data32[0] = 1; // _NET_WM_STATE_ADD
    message.data.data32[1] = wanted[0];
    message.data.data32[2] = wanted[1];
    message.data.data32[3] = 1; // from a normal application
    const xcb_void_cookie_t cookie = xcb_send_event_checked(
        connection, 0, tree->root,
        XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
        reinterpret_cast<const char *>(&message));
    std::free(xcb_request_check(connection, cookie));
}

// The window manager drops _NET_WM_STATE when a window is withdrawn, so the state is set again
// on the show event, which the toolkit sends just before it maps the window. When flags have
// changed, the toolkit makes the new X window only after that event; its first expose is the
// first moment the new id is known, and by then it is mapped.
class KeepOffTaskbarOnShow final : public QObject
{
public:
    KeepOffTaskbarOnShow(xcb_connection_t *connection, QWindow *window)
        : QObject(window), m_connection(connection), m_marked(window->winId())
    {
        setObjectName(QLatin1String(kName));
    }

    // Found by name: without Q_OBJECT a typed findChild() would match any child.
    static constexpr const char *kName = "keepOffTaskbarOnShow";

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const QEvent::Type type = event->type();
        if (type != QEvent::Show && type != QEvent::Expose)
            return false;
        auto *window = qobject_cast<QWindow *>(watched);
        if (!window || !window->handle())
            return false;
        const WId id = window->winId();
        if (type == QEvent::Show || id != m_marked) {
            skipTaskbarAndPager(m_connection, static_cast<xcb_window_t>(id));
            m_marked = id;
        }
        return false;
    }

private:
    xcb_connection_t *m_connection;
    WId m_marked;
};

} // namespace

void keepOffTaskbar(WindowId window, std::string_view qpaPlatform)
{
    if (qpaPlatform != "xcb" || window == 0 || window > std::numeric_limits<std::uint32_t>::max())
        return;
    // The toolkit's own connection: the window was created on it and that creation may not have
    // reached the server yet; requests on the same connection are taken in order.
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return;
    skipTaskbarAndPager(x11->connection(), static_cast<xcb_window_t>(window));

    const auto windows = QGuiApplication::allWindows();
    for (QWindow *handle : windows) {
        // handle() first: winId() would create a native window for one that has none.
        if (handle->handle() && handle->winId() == window &&
            !handle->findChild<QObject *>(QLatin1String(KeepOffTaskbarOnShow::kName),
                                          Qt::FindDirectChildrenOnly)) {
            handle->installEventFilter(new KeepOffTaskbarOnShow(x11->connection(), handle));
        }
    }
}

} // namespace platform

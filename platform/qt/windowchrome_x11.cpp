#include "windowchrome.h"
#include "x11.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWindow>
#include <algorithm>
#include <limits>
#include <vector>

namespace platform {

namespace {

// The toolkit's own connection: the window was created on it and that creation may not have
// reached the server yet; requests on one connection are taken in order. Every request is
// checked: on the toolkit's connection an unchecked error would be reported by the toolkit as its
// own.
x11::Connection *toolkitConnection()
{
    static const std::unique_ptr<x11::Connection> connection = []() {
        auto *x = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        return x ? x11::Connection::over(x->connection(), 0) : nullptr;
    }();
    return connection.get();
}

void skipTaskbarAndPager(x11::Connection &x, xcb_window_t window)
{
    xcb_ewmh_connection_t *ewmh = x.ewmh();
    const xcb_atom_t wanted[] = {ewmh->_NET_WM_STATE_SKIP_TASKBAR, ewmh->_NET_WM_STATE_SKIP_PAGER};

    xcb_generic_error_t *error = nullptr;
    x11::Reply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        x.xcb(), xcb_get_window_attributes(x.xcb(), window), &error));
    std::free(error);
    if (!attributes)
        return;

    if (attributes->map_state != XCB_MAP_STATE_UNMAPPED) {
        // A mapped window's state belongs to the window manager: ask it.
        xcb_ewmh_request_change_wm_state(ewmh, x.screen(), window, XCB_EWMH_WM_STATE_ADD, wanted[0],
                                         wanted[1], XCB_EWMH_CLIENT_SOURCE_TYPE_NORMAL);
        xcb_flush(x.xcb());
        return;
    }
    // Before the first map the window manager reads the property itself. The toolkit rewrites
    // the property when it maps the window but keeps the atoms it does not own.
    std::vector<xcb_atom_t> state;
    xcb_ewmh_get_atoms_reply_t current{};
    error = nullptr;
    if (xcb_ewmh_get_wm_state_reply(ewmh, xcb_ewmh_get_wm_state(ewmh, window), &current, &error)) {
        state.assign(current.atoms, current.atoms + current.atoms_len);
        xcb_ewmh_get_atoms_reply_wipe(&current);
    }
    std::free(error);
    const std::size_t before = state.size();
    for (xcb_atom_t atom : wanted) {
        if (std::find(state.begin(), state.end(), atom) == state.end())
            state.push_back(atom);
    }
    if (state.size() == before)
        return;
    const xcb_void_cookie_t cookie = xcb_ewmh_set_wm_state_checked(
        ewmh, window, static_cast<std::uint32_t>(state.size()), state.data());
    std::free(xcb_request_check(x.xcb(), cookie));
}

// The window manager drops _NET_WM_STATE when a window is withdrawn, so the state is set again
// on the show event, which the toolkit sends just before it maps the window. When flags have
// changed, the toolkit makes the new X window only after that event; its first expose is the
// first moment the new id is known, and by then it is mapped.
class KeepOffTaskbarOnShow final : public QObject
{
public:
    explicit KeepOffTaskbarOnShow(QWindow *window) : QObject(window), m_marked(window->winId())
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
        x11::Connection *x = toolkitConnection();
        if (!window || !window->handle() || !x)
            return false;
        const WId id = window->winId();
        if (type == QEvent::Show || id != m_marked) {
            skipTaskbarAndPager(*x, static_cast<xcb_window_t>(id));
            m_marked = id;
        }
        return false;
    }

private:
    WId m_marked;
};

} // namespace

void keepOffTaskbar(WindowId window)
{
    // No X connection of the toolkit's (another platform, or offscreen): nothing to mark.
    if (window == 0 || window > std::numeric_limits<std::uint32_t>::max())
        return;
    x11::Connection *x = toolkitConnection();
    if (!x)
        return;
    skipTaskbarAndPager(*x, static_cast<xcb_window_t>(window));

    const auto windows = QGuiApplication::allWindows();
    for (QWindow *handle : windows) {
        // handle() first: winId() would create a native window for one that has none.
        if (handle->handle() && handle->winId() == window &&
            !handle->findChild<QObject *>(QLatin1String(KeepOffTaskbarOnShow::kName),
                                          Qt::FindDirectChildrenOnly)) {
            handle->installEventFilter(new KeepOffTaskbarOnShow(handle));
        }
    }
}

} // namespace platform

#include "windowchrome.h"
#include "x11tools.h"

#include <QWidget>
#include <QWindow>
#include <QtTest>
#include <xcb/xcb.h>

// On a real X server: under openbox, looked at and driven the way a pager does (xprop, xdotool,
// wmctrl); and on a bare server with no window manager.

static QString xid(const QWidget &window)
{
    return QStringLiteral("0x%1").arg(window.windowHandle()->winId(), 0, 16);
}

static bool hasState(const QWidget &w, const QString &state)
{
    return runTool("xprop", {"-id", xid(w), "_NET_WM_STATE"}).contains("_NET_WM_STATE_" + state);
}

// In the window manager's stacking list, bottom first: "... window id # 0x400008, 0x600008".
static bool standsAbove(const QWidget &upper, const QWidget &lower)
{
    const QString list = runTool("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"}).trimmed() + ',';
    const qsizetype below = list.indexOf(' ' + xid(lower) + ',');
    return below >= 0 && list.indexOf(' ' + xid(upper) + ',') > below;
}

class TestZOrderX11 : public QObject
{
    Q_OBJECT

private slots:
    void raisingTakesTheTopFromTheForegroundWithoutItsKeyboard()
    {
        QWidget main(nullptr, Qt::Tool);
        QWidget other;
        other.show();
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main) && QTest::qWaitForWindowExposed(&other));
        // Another application's window, marked above, has the foreground.
        runTool("wmctrl", {"-i", "-r", xid(other), "-b", "add,above"});
        runTool("xdotool", {"windowactivate", "--sync", xid(other)});
        QTRY_VERIFY(hasState(other, "ABOVE") && standsAbove(other, main));

        // One keeper tick, as the keeper makes it.
        const std::unique_ptr<platform::ZOrder> zorder = platform::createZOrder("xcb");
        const platform::WindowId foreground = zorder->foregroundWindow();
        QCOMPARE(foreground, platform::WindowId(other.winId()));
        zorder->clearTopmost(foreground);
        zorder->setTopmost(main.windowHandle()->winId());
        QTRY_VERIFY(!hasState(other, "ABOVE") && hasState(main, "ABOVE") &&
                    standsAbove(main, other));
        // Raised, not activated: the other application keeps the keyboard.
        QCOMPARE(runTool("xdotool", {"getactivewindow"}).trimmed(), QString::number(other.winId()));
    }

    void keepOffTaskbarHoldsWhileShown()
    {
        // Errors on the toolkit's own connection come out as its warnings.
        QTest::failOnWarning(QRegularExpression("XCB error"));
        // A window that is gone is no error.
        platform::keepOffTaskbar(0x1fffffff, "xcb");
        QWidget window(nullptr, Qt::Tool);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        platform::keepOffTaskbar(window.winId(), "xcb");
        QTRY_VERIFY(hasState(window, "SKIP_TASKBAR"));
        // The window manager drops the state of a withdrawn window; it is set again before the
        // window is mapped.
        window.hide();
        QTRY_VERIFY(!hasState(window, "SKIP_TASKBAR"));
        window.show();
        QTRY_VERIFY(hasState(window, "SKIP_TASKBAR"));
    }

    void withoutWindowManagerFocusIsTheForegroundAndRaisingRestacks()
    {
        // The back end, like the test's own connection, connects to the server named by DISPLAY.
        PrivateDisplay display(false);
        QVERIFY(display.isUp());
        const std::unique_ptr<platform::ZOrder> zorder = platform::createZOrder("xcb");
        xcb_connection_t *c = xcb_connect(nullptr, nullptr);
        const auto disconnect = qScopeGuard([c] { xcb_disconnect(c); });
        QVERIFY(zorder && !xcb_connection_has_error(c));
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        const auto create = [c](xcb_window_t parent) {
            const xcb_window_t window = xcb_generate_id(c);
            // Depth, class and visual 0: copied from the parent.
            xcb_create_window(c, 0, window, parent, 0, 0, 100, 100, 0, 0, 0, 0, nullptr);
            xcb_map_window(c, window);
            return window;
        };
        const auto children = [c, root] {
            const std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
                xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr), &std::free);
            const xcb_window_t *first = xcb_query_tree_children(tree.get());
            return std::vector(first, first + xcb_query_tree_children_length(tree.get()));
        };
        const xcb_window_t lower = create(root);
        const xcb_window_t upper = create(root);
        // Focus on a subwindow counts for its top-level window.
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, create(lower), XCB_CURRENT_TIME);
        // The root's children, bottom first, are the stacking order. Asking for them is a round
        // trip: the server has done everything asked before.
        QVERIFY((children() == std::vector{lower, upper}));
        QCOMPARE(zorder->foregroundWindow(), platform::WindowId{lower});

        zorder->setTopmost(lower);
        QVERIFY((children() == std::vector{upper, lower}));
    }
};

QTEST_MAIN(TestZOrderX11)
#include "test_zorder_x11.moc"

#include "windowchrome.h"
#include "x11tools.h"
#include "zorder.h"

#include <QDialog>
#include <QWidget>
#include <QWindow>
#include <QtTest>
#include <xcb/xcb.h>

// On a real X server under openbox, looked at and driven the way a pager does (xprop, xdotool,
// wmctrl).

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
    // One keeper tick, as the keeper makes it, with another application's window marked above
    // in the foreground and a window kept on top by its own program come up later, above the
    // main window, which is marked already.
    void aTickTakesTheTopFromEveryOtherWindowWithoutTheKeyboard()
    {
        const std::unique_ptr<platform::ZOrder> zorder = platform::createZOrder();
        QWidget main(nullptr, Qt::Tool);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        zorder->setTopmost(main.windowHandle()->winId());
        QTRY_VERIFY(hasState(main, "ABOVE"));
        QWidget other;
        QWidget later(nullptr, Qt::WindowStaysOnTopHint);
        other.show();
        later.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other) && QTest::qWaitForWindowExposed(&later));
        runTool("wmctrl", {"-i", "-r", xid(other), "-b", "add,above"});
        runTool("xdotool", {"windowactivate", "--sync", xid(other)});
        QTRY_VERIFY(hasState(other, "ABOVE") && standsAbove(other, main) &&
                    standsAbove(later, main));

        zorder->clearTopmost(zorder->foregroundWindow());
        zorder->setTopmost(main.windowHandle()->winId());
        QTRY_VERIFY(!hasState(other, "ABOVE") && standsAbove(main, other) &&
                    standsAbove(main, later));
        // Raised, not activated: the other application keeps the keyboard.
        QCOMPARE(runTool("xdotool", {"getactivewindow"}).trimmed(), QString::number(other.winId()));

        // A dialog of the main window is the main window's own; the other window is nobody's.
        QDialog owned(&main);
        owned.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owned));
        QVERIFY(zorder->isOwnedBy(owned.windowHandle()->winId(), main.windowHandle()->winId()));
        QVERIFY(!zorder->isOwnedBy(main.windowHandle()->winId(), owned.windowHandle()->winId()));
        QVERIFY(!zorder->isOwnedBy(other.winId(), main.windowHandle()->winId()));
    }

    void withoutAWindowManagerRaisingRestacksTheWindowItself()
    {
        // A bare X server of the test's own: no window manager keeps anything on top there.
        QProcess server;
        server.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "320x240x24"});
        QVERIFY(server.waitForReadyRead(10000));
        const QByteArray display = ':' + server.readAllStandardOutput().trimmed();
        const QByteArray previous = qgetenv("DISPLAY");
        qputenv("DISPLAY", display);
        std::unique_ptr<platform::ZOrder> zorder = platform::createZOrder();
        qputenv("DISPLAY", previous);

        xcb_connection_t *c = xcb_connect(display.constData(), nullptr);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        const auto mapped = [c, root] {
            const xcb_window_t window = xcb_generate_id(c);
            xcb_create_window(c, XCB_COPY_FROM_PARENT, window, root, 0, 0, 50, 50, 0,
                              XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
            xcb_map_window(c, window);
            return window;
        };
        const xcb_window_t main = mapped();
        mapped(); // another, above the main window, as the later one
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); // a round trip
        zorder->setTopmost(main);
        // The root's children, bottom first: the main window last.
        xcb_query_tree_reply_t *tree = xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr);
        const bool onTop = tree && xcb_query_tree_children_length(tree) == 2 &&
                           xcb_query_tree_children(tree)[1] == main;
        std::free(tree);
        xcb_disconnect(c);
        server.kill();
        server.waitForFinished();
        QVERIFY(onTop);
    }

    void keepOffTaskbarHoldsWhileShown()
    {
        // Errors on the toolkit's own connection come out as its warnings.
        QTest::failOnWarning(QRegularExpression("XCB error"));
        // A window that is gone is no error.
        platform::keepOffTaskbar(0x1fffffff);
        QWidget window(nullptr, Qt::Tool);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        platform::keepOffTaskbar(window.winId());
        QTRY_VERIFY(hasState(window, "SKIP_TASKBAR"));
        // The window manager drops the state of a withdrawn window; it is set again before the
        // window is mapped.
        window.hide();
        QTRY_VERIFY(!hasState(window, "SKIP_TASKBAR"));
        window.show();
        QTRY_VERIFY(hasState(window, "SKIP_TASKBAR"));
    }
};

QTEST_MAIN(TestZOrderX11)
#include "test_zorder_x11.moc"

#include "windowchrome.h"
#include "x11tools.h"

#include <QWidget>
#include <QWindow>
#include <QtTest>

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
        const std::unique_ptr<platform::ZOrder> zorder = platform::createZOrder();
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

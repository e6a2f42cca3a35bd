#include "monitor/topmostkeeper.h"
#include "platform/windowchrome.h"
#include "platform/zorder.h"

#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <QtTest>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

using platform::WindowId;

namespace {

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};
template <typename T> using XcbPtr = std::unique_ptr<T, FreeDeleter>;

// The test's own look at an X server, on a connection of its own, the way a pager sees it.
class Desktop
{
public:
    explicit Desktop(const char *display = nullptr)
    {
        m_connection = xcb_connect(display, &m_screen);
        if (xcb_connection_has_error(m_connection))
            return;
        xcb_intern_atom_cookie_t *cookies = xcb_ewmh_init_atoms(m_connection, &m_ewmh);
        m_ok = cookies && xcb_ewmh_init_atoms_replies(&m_ewmh, cookies, nullptr);
    }
    ~Desktop()
    {
        if (m_ok)
            xcb_ewmh_connection_wipe(&m_ewmh);
        xcb_disconnect(m_connection);
    }
    Desktop(const Desktop &) = delete;
    Desktop &operator=(const Desktop &) = delete;

    bool isOk() const { return m_ok; }
    xcb_connection_t *connection() const { return m_connection; }
    xcb_window_t root() const { return m_ewmh.screens[m_screen]->root; }
    const xcb_ewmh_connection_t &ewmh() const { return m_ewmh; }

    std::vector<xcb_atom_t> state(xcb_window_t window)
    {
        xcb_ewmh_get_atoms_reply_t atoms;
        if (!xcb_ewmh_get_wm_state_reply(&m_ewmh, xcb_ewmh_get_wm_state(&m_ewmh, window), &atoms,
                                         nullptr))
            return {};
        std::vector<xcb_atom_t> result(atoms.atoms, atoms.atoms + atoms.atoms_len);
        xcb_ewmh_get_atoms_reply_wipe(&atoms);
        return result;
    }
    bool hasState(xcb_window_t window, xcb_atom_t atom)
    {
        const std::vector<xcb_atom_t> atoms = state(window);
        return std::find(atoms.begin(), atoms.end(), atom) != atoms.end();
    }
    bool isAbove(xcb_window_t window) { return hasState(window, m_ewmh._NET_WM_STATE_ABOVE); }

    // Managed windows, bottom first.
    std::vector<xcb_window_t> stacking()
    {
        xcb_ewmh_get_windows_reply_t windows;
        if (!xcb_ewmh_get_client_list_stacking_reply(
                &m_ewmh, xcb_ewmh_get_client_list_stacking(&m_ewmh, m_screen), &windows, nullptr))
            return {};
        std::vector<xcb_window_t> result(windows.windows, windows.windows + windows.windows_len);
        xcb_ewmh_get_windows_reply_wipe(&windows);
        return result;
    }
    bool isManaged(xcb_window_t window)
    {
        const std::vector<xcb_window_t> list = stacking();
        return std::find(list.begin(), list.end(), window) != list.end();
    }
    bool stacksAbove(xcb_window_t upper, xcb_window_t lower)
    {
        const std::vector<xcb_window_t> list = stacking();
        const auto u = std::find(list.begin(), list.end(), upper);
        const auto l = std::find(list.begin(), list.end(), lower);
        return u != list.end() && l != list.end() && u > l;
    }

    xcb_window_t activeWindow()
    {
        xcb_window_t active = XCB_NONE;
        xcb_ewmh_get_active_window_reply(&m_ewmh, xcb_ewmh_get_active_window(&m_ewmh, m_screen),
                                         &active, nullptr);
        return active;
    }

    // As a pager asks: window managers honour these without focus-stealing checks.
    void activate(xcb_window_t window)
    {
        xcb_ewmh_request_change_active_window(&m_ewmh, m_screen, window,
                                              XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER, XCB_CURRENT_TIME,
                                              XCB_NONE);
        xcb_flush(m_connection);
    }
    void markAbove(xcb_window_t window)
    {
        xcb_ewmh_request_change_wm_state(&m_ewmh, m_screen, window, XCB_EWMH_WM_STATE_ADD,
                                         m_ewmh._NET_WM_STATE_ABOVE, XCB_ATOM_NONE,
                                         XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
        xcb_flush(m_connection);
    }

    // Children of the root, bottom first: the stacking order without a window manager.
    std::vector<xcb_window_t> rootChildren()
    {
        XcbPtr<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, root()), nullptr));
        if (!tree)
            return {};
        const xcb_window_t *children = xcb_query_tree_children(tree.get());
        return {children, children + xcb_query_tree_children_length(tree.get())};
    }

    xcb_window_t createWindow(xcb_window_t parent, std::int16_t x, std::int16_t y)
    {
        const xcb_window_t window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, parent, x, y, 200, 150, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_map_window(m_connection, window);
        sync();
        return window;
    }
    void focus(xcb_window_t window)
    {
        xcb_set_input_focus(m_connection, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
        sync();
    }
    void setRootWindowProperty(xcb_atom_t property, xcb_window_t value)
    {
        xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, root(), property, XCB_ATOM_WINDOW,
                            32, 1, &value);
        sync();
    }
    // A round trip: everything sent before has been carried out by the server.
    void sync()
    {
        std::free(
            xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
    }

private:
    xcb_connection_t *m_connection = nullptr;
    int m_screen = 0;
    xcb_ewmh_connection_t m_ewmh{};
    bool m_ok = false;
};

// Passes every call on to the real back end and remembers the ones that change something.
class RecordingZOrder final : public platform::ZOrder
{
public:
    struct Call
    {
        enum Kind
        {
            Clear,
            Set
        } kind;
        WindowId window;
    };

    explicit RecordingZOrder(std::unique_ptr<platform::ZOrder> real) : m_real(std::move(real)) {}
    WindowId foregroundWindow() override
    {
        ++reads;
        return m_real->foregroundWindow();
    }
    void clearTopmost(WindowId window) override
    {
        calls.push_back({Call::Clear, window});
        m_real->clearTopmost(window);
    }
    void setTopmost(WindowId window) override
    {
        calls.push_back({Call::Set, window});
        m_real->setTopmost(window);
    }

    int reads = 0;
    std::vector<Call> calls;

private:
    std::unique_ptr<platform::ZOrder> m_real;
};

enum class Reshow
{
    No,
    HideShow,
    Recreate
};

xcb_window_t idOf(const QWidget &widget)
{
    return static_cast<xcb_window_t>(widget.windowHandle()->winId());
}

// The program's main window with its keeper on the real back end, and another application's
// window partly under it.
struct Scene
{
    QWidget main{nullptr, Qt::Tool};
    QWidget other;
    QTimer *timer = new QTimer(&main);
    RecordingZOrder *recorder = nullptr;
    std::unique_ptr<TopmostKeeper> keeper;

    explicit Scene(std::unique_ptr<platform::ZOrder> zorder)
    {
        auto recording = std::make_unique<RecordingZOrder>(std::move(zorder));
        recorder = recording.get();
        keeper = std::make_unique<TopmostKeeper>(timer, &main, std::move(recording));
        QObject::connect(timer, &QTimer::timeout, timer, [this] { keeper->tick(); });
        main.setWindowTitle(QStringLiteral("main"));
        main.move(100, 100);
        main.resize(120, 280);
        other.setWindowTitle(QStringLiteral("other"));
        other.move(40, 40);
        other.resize(500, 400);
    }
};

} // namespace

class TestZOrderX11 : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void keeperTakesTheTopFromTheForegroundWindowAndKeepsItWhenStopped();
    void keeperLeavesEverythingAloneWhileTheMainWindowIsActive();
    void keeperRisesOverWindowsMarkedAboveInTheBackground();
    void keeperFollowsARecreatedNativeWindow();
    void keepOffTaskbarMarksTheShownWindow_data();
    void keepOffTaskbarMarksTheShownWindow();
    void withoutWindowManagerFocusIsTheForegroundAndRaisingRestacks();

private:
    // Shows both windows and waits until the window manager has taken them on.
    bool showManaged(Scene &scene);

    std::unique_ptr<Desktop> m_desktop;
};

void TestZOrderX11::initTestCase()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    m_desktop = std::make_unique<Desktop>();
    QVERIFY(m_desktop->isOk());
    QVERIFY(!platform::createZOrder("offscreen"));
    QVERIFY(!platform::createZOrder("wayland"));
}

void TestZOrderX11::init()
{
    // The toolkit reports errors on its own connection as warnings.
    QTest::failOnWarning(QRegularExpression(QStringLiteral("XCB error")));
}

bool TestZOrderX11::showManaged(Scene &scene)
{
    scene.other.show();
    scene.main.show();
    if (!QTest::qWaitForWindowExposed(&scene.other) || !QTest::qWaitForWindowExposed(&scene.main))
        return false;
    return QTest::qWaitFor([&] {
        return m_desktop->isManaged(idOf(scene.main)) && m_desktop->isManaged(idOf(scene.other));
    });
}

void TestZOrderX11::keeperTakesTheTopFromTheForegroundWindowAndKeepsItWhenStopped()
{
    auto zorder = platform::createZOrder("xcb");
    QVERIFY(zorder);
    Scene scene(std::move(zorder));
    QVERIFY(showManaged(scene));
    const xcb_window_t main = idOf(scene.main);
    const xcb_window_t other = idOf(scene.other);

    m_desktop->markAbove(other);
    m_desktop->activate(other);
    QTRY_VERIFY(m_desktop->activeWindow() == other && m_desktop->isAbove(other) &&
                m_desktop->stacksAbove(other, main));

    scene.keeper->enableKeeper();
    // The first tick comes a second after the start; allow a little for the window manager.
    QTRY_VERIFY_WITH_TIMEOUT(!m_desktop->isAbove(other) && m_desktop->isAbove(main) &&
                                 m_desktop->stacksAbove(main, other),
                             1800);
    QCOMPARE(scene.recorder->calls.size(), 2u);
    QCOMPARE(scene.recorder->calls[0].kind, RecordingZOrder::Call::Clear);
    QCOMPARE(scene.recorder->calls[0].window, WindowId{other});
    QCOMPARE(scene.recorder->calls[1].kind, RecordingZOrder::Call::Set);
    QCOMPARE(scene.recorder->calls[1].window, WindowId{main});
    // Raised, not activated: the other application keeps the keyboard.
    QCOMPARE(m_desktop->activeWindow(), other);

    scene.keeper->disableKeeper();
    QVERIFY(!scene.timer->isActive());
    const std::size_t callsWhenStopped = scene.recorder->calls.size();
    m_desktop->sync();
    QVERIFY(m_desktop->isAbove(main));
    QVERIFY(m_desktop->stacksAbove(main, other));
    QCOMPARE(scene.recorder->calls.size(), callsWhenStopped);
}

void TestZOrderX11::keeperLeavesEverythingAloneWhileTheMainWindowIsActive()
{
    auto zorder = platform::createZOrder("xcb");
    QVERIFY(zorder);
    Scene scene(std::move(zorder));
    QVERIFY(showManaged(scene));
    const xcb_window_t main = idOf(scene.main);
    const xcb_window_t other = idOf(scene.other);

    m_desktop->markAbove(other);
    m_desktop->activate(main);
    QTRY_VERIFY(m_desktop->activeWindow() == main && m_desktop->isAbove(other));

    // The keeper's tick runs before the spy hears of the timeout: it was connected first.
    QSignalSpy ticks(scene.timer, &QTimer::timeout);
    scene.keeper->enableKeeper();
    QTRY_VERIFY_WITH_TIMEOUT(ticks.count() >= 2, 5000);
    QVERIFY(scene.recorder->reads >= 2);
    QVERIFY(scene.recorder->calls.empty());
    QVERIFY(m_desktop->isAbove(other));
    QVERIFY(!m_desktop->isAbove(main));

    // Once the other window has the foreground, the keeper acts again.
    m_desktop->activate(other);
    QTRY_VERIFY_WITH_TIMEOUT(!m_desktop->isAbove(other) && m_desktop->isAbove(main) &&
                                 m_desktop->stacksAbove(main, other),
                             5000);
    scene.keeper->disableKeeper();
}

void TestZOrderX11::keeperRisesOverWindowsMarkedAboveInTheBackground()
{
    auto zorder = platform::createZOrder("xcb");
    QVERIFY(zorder);
    Scene scene(std::move(zorder));
    QWidget third;
    third.setWindowTitle(QStringLiteral("third"));
    third.setGeometry(60, 60, 300, 300);
    third.show();
    QVERIFY(QTest::qWaitForWindowExposed(&third));
    QVERIFY(showManaged(scene));
    const xcb_window_t main = idOf(scene.main);
    const xcb_window_t other = idOf(scene.other);
    const xcb_window_t background = idOf(third);

    // The main window already holds the mark, yet another window marked above covers it while
    // a third application has the foreground.
    m_desktop->markAbove(main);
    m_desktop->markAbove(background);
    m_desktop->activate(background);
    QTRY_VERIFY(m_desktop->isAbove(main) && m_desktop->isAbove(background) &&
                m_desktop->stacksAbove(background, main));
    m_desktop->activate(other);
    QTRY_COMPARE(m_desktop->activeWindow(), other);
    QVERIFY(m_desktop->stacksAbove(background, main));

    scene.keeper->enableKeeper();
    QTRY_VERIFY_WITH_TIMEOUT(m_desktop->stacksAbove(main, background), 5000);
    QVERIFY(m_desktop->isAbove(background));
    QVERIFY(m_desktop->stacksAbove(main, other));
    scene.keeper->disableKeeper();
}

void TestZOrderX11::keeperFollowsARecreatedNativeWindow()
{
    auto zorder = platform::createZOrder("xcb");
    QVERIFY(zorder);
    Scene scene(std::move(zorder));
    QVERIFY(showManaged(scene));
    const xcb_window_t before = idOf(scene.main);

    // Some flag changes at run time give the main window a new X window when it is shown again.
    scene.main.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    QVERIFY(showManaged(scene));
    scene.main.setWindowFlag(Qt::WindowStaysOnTopHint, false);
    QVERIFY(showManaged(scene));
    const xcb_window_t main = idOf(scene.main);
    QVERIFY(main != before);
    const xcb_window_t other = idOf(scene.other);
    m_desktop->activate(other);
    QTRY_COMPARE(m_desktop->activeWindow(), other);
    QVERIFY(!m_desktop->isAbove(main));

    scene.keeper->enableKeeper();
    QTRY_VERIFY_WITH_TIMEOUT(m_desktop->isAbove(main) && m_desktop->stacksAbove(main, other), 5000);
    QCOMPARE(scene.recorder->calls.back().window, WindowId{main});
    scene.keeper->disableKeeper();
}

void TestZOrderX11::keepOffTaskbarMarksTheShownWindow_data()
{
    QTest::addColumn<QString>("platform");
    QTest::addColumn<bool>("beforeShow");
    QTest::addColumn<int>("reshow");
    QTest::addColumn<bool>("skipped");

    QTest::newRow("before the first show") << "xcb" << true << int(Reshow::No) << true;
    QTest::newRow("on a shown window") << "xcb" << false << int(Reshow::No) << true;
    // The window manager drops the state of a withdrawn window.
    QTest::newRow("hidden and shown again") << "xcb" << true << int(Reshow::HideShow) << true;
    QTest::newRow("with a new native window") << "xcb" << true << int(Reshow::Recreate) << true;
    QTest::newRow("another platform") << "wayland" << true << int(Reshow::No) << false;
}

void TestZOrderX11::keepOffTaskbarMarksTheShownWindow()
{
    QFETCH(QString, platform);
    QFETCH(bool, beforeShow);
    QFETCH(int, reshow);
    QFETCH(bool, skipped);

    const xcb_atom_t skipTaskbar = m_desktop->ewmh()._NET_WM_STATE_SKIP_TASKBAR;
    const xcb_atom_t skipPager = m_desktop->ewmh()._NET_WM_STATE_SKIP_PAGER;
    QWidget window(nullptr, Qt::Tool);
    window.resize(150, 100);
    window.winId();
    const std::string name = platform.toStdString();
    if (beforeShow)
        platform::keepOffTaskbar(idOf(window), name);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(m_desktop->isManaged(idOf(window)));
    if (!beforeShow)
        platform::keepOffTaskbar(idOf(window), name);

    if (reshow == int(Reshow::HideShow)) {
        const xcb_window_t id = idOf(window);
        window.hide();
        QTRY_VERIFY(!m_desktop->isManaged(id));
        window.show();
    } else if (reshow == int(Reshow::Recreate)) {
        const xcb_window_t id = idOf(window);
        window.setWindowFlag(Qt::WindowStaysOnTopHint, true);
        window.show();
        QVERIFY(idOf(window) != id);
    }
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(m_desktop->isManaged(idOf(window)));

    if (skipped) {
        QTRY_VERIFY(m_desktop->hasState(idOf(window), skipTaskbar) &&
                    m_desktop->hasState(idOf(window), skipPager));
    } else {
        m_desktop->sync();
        QVERIFY(!m_desktop->hasState(idOf(window), skipTaskbar));
    }
    // A window that is gone is no error.
    platform::keepOffTaskbar(0x1fffffff, name);
}

void TestZOrderX11::withoutWindowManagerFocusIsTheForegroundAndRaisingRestacks()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString script = QFINDTESTDATA("x11-session.sh");
    QVERIFY(!script.isEmpty());
    struct Session
    {
        QString script;
        QString dir;
        ~Session() { QProcess::execute(script, {QStringLiteral("stop"), dir}); }
    } session{script, dir.path()};

    QProcess start;
    start.setProcessChannelMode(QProcess::ForwardedChannels);
    start.start(script, {QStringLiteral("start"), dir.path(), QStringLiteral("--no-wm")});
    QVERIFY(start.waitForFinished(60000));
    QCOMPARE(start.exitCode(), 0);
    QFile displayFile(dir.filePath(QStringLiteral("display")));
    QVERIFY(displayFile.open(QIODevice::ReadOnly));
    const QByteArray display = displayFile.readAll().trimmed();
    QVERIFY(!display.isEmpty());

    // The back end connects to the server named by DISPLAY.
    const QByteArray ownDisplay = qgetenv("DISPLAY");
    qputenv("DISPLAY", display);
    std::unique_ptr<platform::ZOrder> zorder = platform::createZOrder("xcb");
    qputenv("DISPLAY", ownDisplay);
    QVERIFY(zorder);

    Desktop bare(display.constData());
    QVERIFY(bare.isOk());
    const xcb_window_t lower = bare.createWindow(bare.root(), 0, 0);
    const xcb_window_t inner = bare.createWindow(lower, 10, 10);
    const xcb_window_t upper = bare.createWindow(bare.root(), 50, 50);
    const auto standsAbove = [&bare](xcb_window_t a, xcb_window_t b) {
        const std::vector<xcb_window_t> order = bare.rootChildren();
        const auto ia = std::find(order.begin(), order.end(), a);
        const auto ib = std::find(order.begin(), order.end(), b);
        return ia != order.end() && ib != order.end() && ia > ib;
    };
    QVERIFY(standsAbove(upper, lower));

    // Focus on a subwindow counts for its top-level window.
    bare.focus(inner);
    QCOMPARE(zorder->foregroundWindow(), WindowId{lower});
    bare.focus(upper);
    QCOMPARE(zorder->foregroundWindow(), WindowId{upper});
    bare.focus(XCB_INPUT_FOCUS_POINTER_ROOT);
    QCOMPARE(zorder->foregroundWindow(), WindowId{0});

    // What a window manager that died leaves on the root is not believed.
    bare.setRootWindowProperty(bare.ewmh()._NET_SUPPORTING_WM_CHECK, lower);
    bare.setRootWindowProperty(bare.ewmh()._NET_ACTIVE_WINDOW, lower);
    bare.focus(upper);
    QCOMPARE(zorder->foregroundWindow(), WindowId{upper});

    zorder->clearTopmost(upper);
    zorder->setTopmost(lower);
    bare.sync();
    QVERIFY(standsAbove(lower, upper));

    // Ids of no window, or of a window that is gone, are shrugged off.
    xcb_destroy_window(bare.connection(), upper);
    bare.sync();
    for (WindowId bad : {WindowId{0}, WindowId{upper}, WindowId{0x1fffffff}}) {
        zorder->clearTopmost(bad);
        zorder->setTopmost(bad);
    }
    QCOMPARE(zorder->foregroundWindow(), WindowId{0});
    const xcb_window_t later = bare.createWindow(bare.root(), 80, 80);
    QVERIFY(standsAbove(later, lower));
    zorder->setTopmost(lower);
    bare.sync();
    QVERIFY(standsAbove(lower, later));
}

QTEST_MAIN(TestZOrderX11)
#include "test_zorder_x11.moc"

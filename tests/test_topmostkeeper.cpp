#include "monitor/topmostkeeper.h"

#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <QtTest>
#include <memory>
#include <vector>

using platform::WindowId;

namespace {

// What the fake window system was asked to do, in order.
struct Call
{
    enum Kind
    {
        Clear,
        Set
    } kind;
    WindowId window;
    friend bool operator==(const Call &, const Call &) = default;
};

struct FakeDesktop
{
    WindowId foreground = 0;
    std::vector<Call> calls;
};

class FakeZOrder final : public platform::ZOrder
{
public:
    explicit FakeZOrder(FakeDesktop *desktop) : m_desktop(desktop) {}
    WindowId foregroundWindow() override { return m_desktop->foreground; }
    void clearTopmost(WindowId window) override
    {
        m_desktop->calls.push_back({Call::Clear, window});
    }
    void setTopmost(WindowId window) override { m_desktop->calls.push_back({Call::Set, window}); }

private:
    FakeDesktop *m_desktop;
};

// The main window as the program builds it: a tool window owning the keeper's timer, whose
// timeout runs the keeper's tick.
struct MainWindow
{
    QWidget window{nullptr, Qt::Tool};
    QTimer *timer = new QTimer(&window);
    TopmostKeeper keeper;

    explicit MainWindow(std::unique_ptr<platform::ZOrder> zorder)
        : keeper(timer, &window, std::move(zorder))
    {
        QObject::connect(timer, &QTimer::timeout, timer, [this] { keeper.tick(); });
        window.resize(120, 280);
    }
    WindowId id() const { return static_cast<WindowId>(window.windowHandle()->winId()); }
};

constexpr WindowId kOtherWindow = 0x4a00007;

} // namespace

Q_DECLARE_METATYPE(std::vector<Call>)

class TestTopmostKeeper : public QObject
{
    Q_OBJECT

private slots:
    void tickActsOnlyWhenAnotherWindowHasTheForeground_data();
    void tickActsOnlyWhenAnotherWindowHasTheForeground();
    void timerRunsExactlyWhileEnabledAndStoppingRevertsNothing();
    void withoutZOrderTheToolkitHintKeepsTheWindowOnTop_data();
    void withoutZOrderTheToolkitHintKeepsTheWindowOnTop();
};

void TestTopmostKeeper::tickActsOnlyWhenAnotherWindowHasTheForeground_data()
{
    QTest::addColumn<bool>("mainInForeground");
    QTest::addColumn<WindowId>("otherForeground");
    QTest::addColumn<bool>("demotesOther");

    // The other window is demoted before the main window is raised, so the main one ends above.
    QTest::newRow("another window") << false << kOtherWindow << true;
    // Nothing to demote, but the main window is still raised.
    QTest::newRow("no window") << false << WindowId{0} << false;
    QTest::newRow("the main window itself") << true << WindowId{0} << false;
}

void TestTopmostKeeper::tickActsOnlyWhenAnotherWindowHasTheForeground()
{
    QFETCH(bool, mainInForeground);
    QFETCH(WindowId, otherForeground);
    QFETCH(bool, demotesOther);

    FakeDesktop desktop;
    MainWindow main(std::make_unique<FakeZOrder>(&desktop));
    main.window.show();
    desktop.foreground = mainInForeground ? main.id() : otherForeground;

    main.keeper.tick();
    main.keeper.tick();

    std::vector<Call> expected;
    for (int n = 0; n < 2 && !mainInForeground; ++n) {
        if (demotesOther)
            expected.push_back({Call::Clear, otherForeground});
        expected.push_back({Call::Set, main.id()});
    }
    QVERIFY(desktop.calls == expected);
}

void TestTopmostKeeper::timerRunsExactlyWhileEnabledAndStoppingRevertsNothing()
{
    FakeDesktop desktop;
    desktop.foreground = kOtherWindow;
    MainWindow main(std::make_unique<FakeZOrder>(&desktop));
    main.window.show();
    QCOMPARE(main.timer->interval(), TopmostKeeper::kIntervalMs);
    QCOMPARE(TopmostKeeper::kIntervalMs, 1000);
    QVERIFY(!main.keeper.isRunning());

    main.keeper.enableKeeper();
    QVERIFY(main.timer->isActive());
    QVERIFY(main.keeper.isRunning());
    QCOMPARE(main.timer->interval(), 1000);

    // The first tick comes from the timer, about a second later.
    QTRY_VERIFY_WITH_TIMEOUT(!desktop.calls.empty(), 5000);
    const std::vector<Call> whileRunning = desktop.calls;

    main.keeper.disableKeeper();
    QVERIFY(!main.timer->isActive());
    QVERIFY(!main.keeper.isRunning());
    QVERIFY(desktop.calls == whileRunning);

    main.keeper.enableKeeper();
    QVERIFY(main.keeper.isRunning());
    main.keeper.disableKeeper();
    QVERIFY(!main.keeper.isRunning());
}

void TestTopmostKeeper::withoutZOrderTheToolkitHintKeepsTheWindowOnTop_data()
{
    QTest::addColumn<bool>("shownFirst");
    QTest::newRow("switched on while shown") << true;
    // The main window's load starts the keeper before the window first appears.
    QTest::newRow("switched on before the first show") << false;
}

void TestTopmostKeeper::withoutZOrderTheToolkitHintKeepsTheWindowOnTop()
{
    QFETCH(bool, shownFirst);

    MainWindow main(nullptr);
    if (shownFirst)
        main.window.show();
    const QWindow *handleBefore = main.window.windowHandle();

    main.keeper.enableKeeper();
    QVERIFY(main.keeper.isRunning());
    QVERIFY(main.window.windowHandle());
    QVERIFY(main.window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    if (shownFirst) {
        // Neither hidden nor given a new native window.
        QVERIFY(main.window.isVisible());
        QCOMPARE(main.window.windowHandle(), handleBefore);
    } else {
        QVERIFY(!main.window.isVisible());
        main.window.show();
    }
    QVERIFY(main.window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    main.keeper.tick();

    main.keeper.disableKeeper();
    QVERIFY(!main.keeper.isRunning());
    QVERIFY(main.window.isVisible());
    QVERIFY(main.window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
}

QTEST_MAIN(TestTopmostKeeper)
#include "test_topmostkeeper.moc"

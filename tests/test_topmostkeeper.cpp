#include "monitor/topmostkeeper.h"

#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <QtTest>

// Logs requests as "clear 4242", "set main": the main window by name, any other by its id.
struct FakeZOrder final : platform::ZOrder
{
    platform::WindowId main = 0;
    platform::WindowId foreground = 0;
    QStringList calls;

    platform::WindowId foregroundWindow() override { return foreground; }
    void clearTopmost(platform::WindowId window) override { calls << "clear " + name(window); }
    void setTopmost(platform::WindowId window) override { calls << "set " + name(window); }
    QString name(platform::WindowId id) const { return id == main ? "main" : QString::number(id); }
};

class TestTopmostKeeper : public QObject
{
    Q_OBJECT

private slots:
    void enableTickDisable_data()
    {
        QTest::addColumn<QString>("foreground"); // empty: no z-order back end
        QTest::addColumn<bool>("shownFirst");
        QTest::addColumn<QStringList>("calls");
        // The other window is demoted first, so that the main window ends above it.
        QTest::newRow("another window") << "4242" << true << QStringList{"clear 4242", "set main"};
        QTest::newRow("no window") << "0" << true << QStringList{"set main"};
        QTest::newRow("the main window") << "main" << true << QStringList{};
        // Without a back end the toolkit's stays-on-top hint does the work.
        QTest::newRow("no back end") << "" << true << QStringList{};
        // The program starts the keeper before its window first appears.
        QTest::newRow("no back end, before the first show") << "" << false << QStringList{};
    }

    // Switching on does not hide the window; stopping the keeper reverts nothing.
    void enableTickDisable()
    {
        QFETCH(QString, foreground);
        QFETCH(bool, shownFirst);
        QWidget window(nullptr, Qt::Tool);
        QTimer timer;
        auto fake = std::make_unique<FakeZOrder>();
        FakeZOrder *zorder = fake.get();
        TopmostKeeper keeper(&timer, &window, foreground.isEmpty() ? nullptr : std::move(fake));
        window.setVisible(shownFirst);

        keeper.enableKeeper();
        QCOMPARE(window.isVisible(), shownFirst);
        window.show();
        zorder->main = window.winId();
        zorder->foreground = foreground == "main" ? zorder->main : foreground.toULongLong();
        keeper.tick();
        keeper.disableKeeper();
        QVERIFY(!timer.isActive());
        QCOMPARE(window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint),
                 foreground.isEmpty());
        QTEST(zorder->calls, "calls");
    }
};

QTEST_MAIN(TestTopmostKeeper)
#include "test_topmostkeeper.moc"

#include "monitor/processprobe.h"
#include "monitor/watcherslot.h"
#include "namedprocess.h"

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>
#include <vector>

namespace {

// A plain host window with ten boxes and ten timers, as the main window gives them.
struct Host
{
    QWidget window;
    ProcessProbe probe;
    std::vector<QLineEdit *> boxes;
    std::vector<QTimer *> timers;
    std::vector<std::unique_ptr<WatcherSlot>> watchers;

    Host()
    {
        auto *layout = new QVBoxLayout(&window);
        for (int n = 1; n <= 10; ++n) {
            auto *box = new QLineEdit(&window);
            box->setObjectName(QStringLiteral("PROCESS_TEXTBOX_%1").arg(n));
            layout->addWidget(box);
            auto *timer = new QTimer(&window);
            boxes.push_back(box);
            timers.push_back(timer);
            watchers.push_back(std::make_unique<WatcherSlot>(box, timer, probe));
            QObject::connect(timer, &QTimer::timeout, timer, [this, n] { slot(n).tick(); });
        }
        window.resize(200, 400);
        window.show();
    }
    WatcherSlot &slot(int n) { return *watchers[static_cast<std::size_t>(n - 1)]; }
    QLineEdit *box(int n) { return boxes[static_cast<std::size_t>(n - 1)]; }
};

// The colour the box really shows, read from its rendered pixels.
QColor shownColor(QLineEdit *box)
{
    const QImage image = box->grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() - 4);
}

} // namespace

class TestWatcherSlot : public QObject
{
    Q_OBJECT

private slots:
    void tickPaintsExactColours();
    void slotsTurnGreenAndRedOnTheirOwnTimers();
    void disabledSlotKeepsItsColourUntilItsNextTick();
};

void TestWatcherSlot::tickPaintsExactColours()
{
    Host host;
    NamedProcess process(QStringLiteral("zvslot-paint"));
    const QColor initial = shownColor(host.box(1));

    host.box(1)->setText(QStringLiteral("zvslot-paint"));
    host.slot(1).tick();
    QCOMPARE(host.slot(1).state(), SlotState::Running);
    QCOMPARE(shownColor(host.box(1)), QColor(0, 255, 0));

    host.box(2)->setText(QStringLiteral("zvslot-absent"));
    host.slot(2).tick();
    QCOMPARE(host.slot(2).state(), SlotState::NotRunning);
    QCOMPARE(shownColor(host.box(2)), QColor(255, 0, 0));

    // An empty name is always red; a name with odd characters is simply not running.
    host.slot(3).tick();
    QCOMPARE(shownColor(host.box(3)), QColor(255, 0, 0));
    host.box(4)->setText(QStringLiteral("x' OR Name<>'"));
    host.slot(4).tick();
    QCOMPARE(shownColor(host.box(4)), QColor(255, 0, 0));

    // Untouched boxes keep their initial background.
    QCOMPARE(shownColor(host.box(5)), initial);
    QVERIFY(initial != QColor(0, 255, 0) && initial != QColor(255, 0, 0));
    // The text keeps the window text colour.
    QCOMPARE(host.box(1)->palette().color(QPalette::Text),
             QApplication::palette(host.box(1)).color(QPalette::Text));
}

void TestWatcherSlot::slotsTurnGreenAndRedOnTheirOwnTimers()
{
    Host host;
    auto process = std::make_unique<NamedProcess>(QStringLiteral("zvslot-timer"));
    host.slot(1).setup(true, QStringLiteral("zvslot-timer"));
    host.slot(2).setup(true, QStringLiteral("ZVSLOT-TIMER")); // same process, other case
    host.slot(3).setup(true, QString());
    host.slot(6).setup(false, QStringLiteral("zvslot-timer"));

    QTRY_COMPARE_WITH_TIMEOUT(host.slot(1).state(), SlotState::Running, 2500);
    QTRY_COMPARE_WITH_TIMEOUT(host.slot(2).state(), SlotState::Running, 2500);
    QTRY_COMPARE_WITH_TIMEOUT(host.slot(3).state(), SlotState::NotRunning, 2500);
    QCOMPARE(host.slot(6).state(), SlotState::NotPolled); // disabled slots are never polled

    // Typing another name takes effect at the next tick.
    host.box(3)->setText(QStringLiteral("zvslot-timer"));
    QTRY_COMPARE_WITH_TIMEOUT(host.slot(3).state(), SlotState::Running, 2500);

    process->stop();
    QTRY_COMPARE_WITH_TIMEOUT(host.slot(1).state(), SlotState::NotRunning, 2500);
    QTRY_COMPARE_WITH_TIMEOUT(host.slot(2).state(), SlotState::NotRunning, 2500);
    QCOMPARE(shownColor(host.box(1)), QColor(255, 0, 0));
}

void TestWatcherSlot::disabledSlotKeepsItsColourUntilItsNextTick()
{
    Host host;
    auto process = std::make_unique<NamedProcess>(QStringLiteral("zvslot-hide"));
    host.slot(1).setup(true, QStringLiteral("zvslot-hide"));
    host.slot(1).tick();
    QCOMPARE(host.slot(1).state(), SlotState::Running);

    host.slot(1).disable();
    QVERIFY(!host.box(1)->isVisible());
    QVERIFY(!host.timers[0]->isActive());
    process->stop();
    QTest::qWait(1300); // the process has ended, but a disabled slot is not polled
    QCOMPARE(host.slot(1).state(), SlotState::Running);

    host.slot(1).enable();
    QVERIFY(host.box(1)->isVisible());
    QVERIFY(host.timers[0]->isActive());
    QCOMPARE(shownColor(host.box(1)), QColor(0, 255, 0)); // last colour until the next tick
    QTRY_COMPARE_WITH_TIMEOUT(host.slot(1).state(), SlotState::NotRunning, 2500);
}

QTEST_MAIN(TestWatcherSlot)
#include "test_watcherslot.moc"

#include "monitor/processprobe.h"
#include "namedprocess.h"
#include "store/settingsstore.h"
#include "teststore.h"
#include "ui/zel_vanto_main.h"
#include "ui/zel_vanto_settings.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <functional>
#include <memory>

// The settings window as a user meets it: opened from the main window's title strip on a real X
// server under openbox, driven by clicks, keys and the window manager's own close and move,
// checked against the store file on disk and the main window's boxes.
namespace {

const QColor kGreen(0, 255, 0);
const QColor kRed(255, 0, 0);
const QString kCaption = QStringLiteral("ZEL-VANTO - SETTINGS");
const QString kCredit = QStringLiteral("Created By Corvane");

QString runTool(const QString &program, const QStringList &arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForFinished(10000))
        qWarning("%s did not finish", qPrintable(program));
    return QString::fromLocal8Bit(tool.readAllStandardOutput());
}

QString xid(const QWidget &window)
{
    return QStringLiteral("0x%1").arg(window.windowHandle()->winId(), 0, 16);
}

// The window manager's state atoms of a window, as text.
QString wmState(const QWidget &window)
{
    return runTool(QStringLiteral("xprop"), {"-id", xid(window), "_NET_WM_STATE"});
}

bool markedAbove(const QWidget &window)
{
    return wmState(window).contains(QLatin1String("_NET_WM_STATE_ABOVE"));
}

QString activeWindow()
{
    const QString text = runTool(QStringLiteral("xprop"), {"-root", "_NET_ACTIVE_WINDOW"});
    return text.section(QLatin1Char('#'), 1).trimmed();
}

// Bottom to top, as the window manager stacks its windows.
QStringList stacking()
{
    const QString text = runTool(QStringLiteral("xprop"), {"-root", "_NET_CLIENT_LIST_STACKING"});
    QStringList ids;
    for (const QString &id : text.section(QLatin1Char('#'), 1).split(QLatin1Char(',')))
        ids << id.trimmed();
    return ids;
}

// The [Settings] group as it is on disk, read from the bytes: a second QSettings on the same
// file would share the store's in-memory copy.
QMap<QString, QString> storedValues(const TestStore &files)
{
    QMap<QString, QString> values;
    bool inSettings = false;
    for (const QByteArray &raw : files.readIni().split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            inSettings = line == "[Settings]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (inSettings && equals > 0)
            values.insert(QString::fromUtf8(line.left(equals)), QString::fromUtf8(line.mid(equals + 1)));
    }
    return values;
}

QString stored(const TestStore &files, const char *key)
{
    return storedValues(files).value(QString::fromLatin1(key));
}

// The program as it starts: a store on a private directory, the main window loaded and shown.
struct Program
{
    TestStore files;
    SettingsStore store;
    ZEL_VANTO_MAIN main{store, std::make_unique<ProcessProbe>()};

    explicit Program(const QByteArray &ini = {})
    {
        if (!ini.isEmpty())
            files.writeIni(ini);
        main.Form_Load();
        main.show();
    }

    QLabel *title() const { return main.findChild<QLabel *>(QStringLiteral("ZEL_TITLE")); }
    QLineEdit *box(int n) { return main.watcherSlot(n).box(); }
};

// The way a user clicks: through the window, at the control's place in it, so that a window
// blocked by a modal one does not get the click.
void click(QWidget *control, QPoint at)
{
    QWidget *window = control->window();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {}, control->mapTo(window, at));
}

// Clicks the title strip, runs `whileOpen` once the settings window is up, and returns whether
// it came up. A window still open afterwards (a failed check) is dismissed, so that the modal
// loop always ends and the failure is reported rather than the test timing out.
bool withSettings(Program &program, const std::function<void(ZEL_VANTO_SETTINGS &)> &whileOpen)
{
    bool opened = false;
    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, &watch, [&] {
        auto *dialog = qobject_cast<ZEL_VANTO_SETTINGS *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        watch.stop();
        opened = true;
        whileOpen(*dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
    watch.start();
    click(program.title(), program.title()->rect().center());
    return opened;
}

// The check box with this caption.
QCheckBox *checkBox(ZEL_VANTO_SETTINGS &dialog, const QString &caption)
{
    const auto boxes = dialog.findChildren<QCheckBox *>();
    for (QCheckBox *box : boxes) {
        if (box->text() == caption)
            return box;
    }
    return nullptr;
}

// On its indicator, which is always inside its click area whatever the caption's width.
void clickCheckBox(QCheckBox *box)
{
    click(box, QPoint(6, box->height() / 2));
}

QCheckBox *enableBox(ZEL_VANTO_SETTINGS &dialog, int n)
{
    return checkBox(dialog, QStringLiteral("Enable Process Watcher - %1").arg(n));
}

// The colour a main-window box really shows, read from its rendered pixels.
QColor shownColor(QLineEdit *box)
{
    const QImage image = box->grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() - 4);
}

// Waits until the window manager has framed the window, so that its frame geometry is real.
bool framed(const QWidget &window)
{
    return window.isVisible() && window.frameGeometry() != window.geometry();
}

} // namespace

class TestSettingsWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void titleClickOpensItModalOverTheMainWindow();
    void enableBoxesActAtOnceOnTheMainWindowAndTheStore();
    void untickedSlotStopsPollingAndKeepsItsColour();
    void closingStoresThePlaceAndReopeningShowsItAsLeft();
    void windowStoredOffEveryScreenOpensOnThePrimaryScreen_data();
    void windowStoredOffEveryScreenOpensOnThePrimaryScreen();
    void alwaysOnTopStartsTheKeeper();
};

void TestSettingsWindow::initTestCase()
{
    // The window manager's close, move and stacking are part of what is checked here.
    for (const char *tool : {"xprop", "wmctrl", "xdotool"})
        QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
    QVERIFY2(runTool(QStringLiteral("xprop"), {"-root", "_NET_SUPPORTING_WM_CHECK"})
                 .contains(QLatin1String("window id")),
             "no window manager on this display");
}

void TestSettingsWindow::titleClickOpensItModalOverTheMainWindow()
{
    Program program;
    QVERIFY(QTest::qWaitForWindowExposed(&program.main));

    const bool opened = withSettings(program, [&](ZEL_VANTO_SETTINGS &dialog) {
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.objectName(), QStringLiteral("ZEL_VANTO_SETTINGS"));
        QCOMPARE(dialog.windowTitle(), kCaption);
        QCOMPARE(dialog.parentWidget(), &program.main);
        QCOMPARE(dialog.windowHandle()->transientParent(), program.main.windowHandle());
        QVERIFY(dialog.isModal());

        // 7230 x 4515 twips inside the default outer size, at the default place, not resizable.
        QCOMPARE(dialog.size(), QSize(482, 301));
        QCOMPARE(dialog.minimumSize(), QSize(482, 301));
        QCOMPARE(dialog.maximumSize(), QSize(482, 301));
        QTRY_VERIFY(framed(dialog));
        QCOMPARE(dialog.frameGeometry().topLeft(), QPoint(67, 67)); // 1000 twips

        QCheckBox *first = enableBox(dialog, 1);
        QVERIFY(first);
        QTRY_VERIFY(dialog.isActiveWindow());
        QCOMPARE(QApplication::focusWidget(), first);

        // The main window takes no clicks meanwhile: its title strip opens no second window.
        int more = 0;
        QTimer guard;
        guard.setInterval(10);
        QObject::connect(&guard, &QTimer::timeout, &guard, [&] {
            auto *modal = qobject_cast<ZEL_VANTO_SETTINGS *>(QApplication::activeModalWidget());
            if (modal && modal != &dialog) {
                ++more;
                modal->reject();
            }
        });
        guard.start();
        click(program.title(), program.title()->rect().center());
        guard.stop();
        QCOMPARE(more, 0);

        // Neither Enter nor Escape closes it, presses OK or ticks a box: nothing is written.
        QWindow *window = dialog.windowHandle();
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter})
            QTest::keyClick(window, key);
        QVERIFY(dialog.isVisible());
        QVERIFY(first->isChecked());
        QVERIFY(!QFile::exists(program.files.iniPath()));
        // Keys do reach the window: Space clicks the box that has the focus.
        QTest::keyClick(window, Qt::Key_Space);
        QVERIFY(!first->isChecked());
        QCOMPARE(stored(program.files, "ENABLE_PW_1"), QStringLiteral("0"));

        auto *ok = dialog.findChild<QPushButton *>(QStringLiteral("OK_BUTTON"));
        QVERIFY(ok);
        ok->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), ok);
        for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter})
            QTest::keyClick(window, key);
        QVERIFY(dialog.isVisible());
        QVERIFY(!storedValues(program.files).contains(QStringLiteral("SettingsScreenLeft")));
        QTest::keyClick(window, Qt::Key_Space);
        QTRY_VERIFY(!dialog.isVisible());
    });
    QVERIFY(opened);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(!QApplication::activeModalWidget());
    // OK wrote the place before closing; the size is never written.
    const auto values = storedValues(program.files);
    QCOMPARE(values.value("SettingsScreenLeft"), QStringLiteral("1000"));
    QCOMPARE(values.value("SettingsScreenTop"), QStringLiteral("1000"));
    QVERIFY(!values.contains("SettingsScreenWidth"));
    QVERIFY(!values.contains("SettingsScreenHeight"));
}

void TestSettingsWindow::enableBoxesActAtOnceOnTheMainWindowAndTheStore()
{
    Program program;
    QVERIFY(QTest::qWaitForWindowExposed(&program.main));
    QVERIFY(!program.box(7)->isVisible());

    const bool opened = withSettings(program, [&](ZEL_VANTO_SETTINGS &dialog) {
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCheckBox *seven = enableBox(dialog, 7);
        QVERIFY(seven);
        QVERIFY(!seven->isChecked());

        // Every click is on the main window and on disk while the settings window is still up.
        clickCheckBox(seven);
        QVERIFY(seven->isChecked());
        QVERIFY(program.box(7)->isVisible());
        QVERIFY(program.main.watcherSlot(7).timer()->isActive());
        QCOMPARE(stored(program.files, "ENABLE_PW_7"), QStringLiteral("1"));

        clickCheckBox(seven);
        QVERIFY(!seven->isChecked());
        QVERIFY(!program.box(7)->isVisible());
        QVERIFY(!program.main.watcherSlot(7).timer()->isActive());
        QCOMPARE(stored(program.files, "ENABLE_PW_7"), QStringLiteral("0"));

        clickCheckBox(seven);
        QVERIFY(program.box(7)->isVisible());
        QCOMPARE(stored(program.files, "ENABLE_PW_7"), QStringLiteral("1"));

        // Only the clicked slot was touched.
        const auto values = storedValues(program.files);
        QCOMPARE(values.keys(), QStringList{QStringLiteral("ENABLE_PW_7")});
        for (int n : {1, 2, 3, 4, 5})
            QVERIFY(program.box(n)->isVisible());
        for (int n : {6, 8, 9, 10})
            QVERIFY(!program.box(n)->isVisible());

        click(dialog.findChild<QPushButton *>(QStringLiteral("OK_BUTTON")), QPoint(10, 10));
        QTRY_VERIFY(!dialog.isVisible());
    });
    QVERIFY(opened);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(program.box(7)->isVisible());

    // Reopening shows the boxes as last clicked.
    QVERIFY(withSettings(program, [&](ZEL_VANTO_SETTINGS &dialog) {
        for (int n = 1; n <= 10; ++n)
            QCOMPARE(enableBox(dialog, n)->isChecked(), n <= 5 || n == 7);
    }));
}

void TestSettingsWindow::untickedSlotStopsPollingAndKeepsItsColour()
{
    auto process = std::make_unique<NamedProcess>(QStringLiteral("zvset-watch"));
    QVERIFY(process->isStarted());
    Program program("[Settings]\n"
                    "PROCESS_TEXTBOX_1=zvset-watch\n"
                    "PROCESS_TEXTBOX_3=zvset-watch\n");
    QVERIFY(QTest::qWaitForWindowExposed(&program.main));
    QTimer *timer1 = program.main.watcherSlot(1).timer();
    QTimer *timer3 = program.main.watcherSlot(3).timer();

    const bool opened = withSettings(program, [&](ZEL_VANTO_SETTINGS &dialog) {
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        // The main window keeps polling under the modal window.
        QSignalSpy ticks3(timer3, &QTimer::timeout);
        QTRY_VERIFY_WITH_TIMEOUT(ticks3.count() >= 1, 2500);
        QCOMPARE(shownColor(program.box(3)), kGreen);

        QCheckBox *three = enableBox(dialog, 3);
        QVERIFY(three);
        clickCheckBox(three);
        QVERIFY(!program.box(3)->isVisible());
        QVERIFY(!timer3->isActive());
        QCOMPARE(stored(program.files, "ENABLE_PW_3"), QStringLiteral("0"));

        // The process ends. Slot 1 sees it; slot 3, not polled, keeps green through more than
        // one whole interval.
        process->stop();
        QSignalSpy ticks1(timer1, &QTimer::timeout);
        ticks3.clear();
        QTRY_COMPARE_WITH_TIMEOUT(shownColor(program.box(1)), kRed, 2500);
        QTRY_VERIFY_WITH_TIMEOUT(ticks1.count() >= 3, 4000);
        QCOMPARE(ticks3.count(), 0);
        QCOMPARE(program.main.watcherSlot(3).state(), SlotState::Running);

        // Ticked again: shown with its last colour until its next tick.
        clickCheckBox(three);
        QVERIFY(program.box(3)->isVisible());
        QVERIFY(timer3->isActive());
        QCOMPARE(stored(program.files, "ENABLE_PW_3"), QStringLiteral("1"));
        QCOMPARE(shownColor(program.box(3)), kGreen);
        QTRY_COMPARE_WITH_TIMEOUT(shownColor(program.box(3)), kRed, 2500);
    });
    QVERIFY(opened);
}

void TestSettingsWindow::closingStoresThePlaceAndReopeningShowsItAsLeft()
{
    Program program;
    QVERIFY(QTest::qWaitForWindowExposed(&program.main));
    const QPoint moved(300, 240);

    bool opened = withSettings(program, [&](ZEL_VANTO_SETTINGS &dialog) {
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTRY_VERIFY(framed(dialog));
        dialog.move(moved);
        QTRY_COMPARE(dialog.frameGeometry().topLeft(), moved);

        // The credit line shows the address until the window closes.
        auto *creator = dialog.findChild<QLabel *>(QStringLiteral("ZEL_VANTO_CREATOR"));
        QVERIFY(creator);
        QCOMPARE(creator->text(), kCredit);
        QTest::mouseDClick(creator, Qt::LeftButton);
        QCOMPARE(creator->text(), ZEL_VANTO_SETTINGS::kContactAddress);

        clickCheckBox(enableBox(dialog, 8));
        clickCheckBox(enableBox(dialog, 2));
        QCOMPARE(creator->text(), ZEL_VANTO_SETTINGS::kContactAddress);

        // The window manager's close, as the close button gives it.
        runTool(QStringLiteral("wmctrl"), {"-F", "-c", kCaption});
        QTRY_VERIFY(!dialog.isVisible());
    });
    QVERIFY(opened);
    if (QTest::currentTestFailed())
        return;
    auto values = storedValues(program.files);
    QCOMPARE(values.value("SettingsScreenLeft"), QString::number(moved.x() * 15));
    QCOMPARE(values.value("SettingsScreenTop"), QString::number(moved.y() * 15));
    QCOMPARE(values.value("AlwaysOnTopTimer_TICKBOX"), QStringLiteral("0"));
    QVERIFY(!values.contains("SettingsScreenWidth"));
    QVERIFY(!values.contains("SettingsScreenHeight"));

    const QPoint movedAgain(150, 90);
    opened = withSettings(program, [&](ZEL_VANTO_SETTINGS &dialog) {
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTRY_COMPARE(dialog.frameGeometry().topLeft(), moved);
        QCOMPARE(dialog.size(), QSize(482, 301));
        for (int n = 1; n <= 10; ++n)
            QCOMPARE(enableBox(dialog, n)->isChecked(), n != 2 && (n <= 5 || n == 8));
        auto *creator = dialog.findChild<QLabel *>(QStringLiteral("ZEL_VANTO_CREATOR"));
        QVERIFY(creator);
        QCOMPARE(creator->text(), kCredit);

        dialog.move(movedAgain);
        QTRY_COMPARE(dialog.frameGeometry().topLeft(), movedAgain);
        click(dialog.findChild<QPushButton *>(QStringLiteral("OK_BUTTON")), QPoint(10, 10));
        QTRY_VERIFY(!dialog.isVisible());
    });
    QVERIFY(opened);
    if (QTest::currentTestFailed())
        return;
    values = storedValues(program.files);
    QCOMPARE(values.value("SettingsScreenLeft"), QString::number(movedAgain.x() * 15));
    QCOMPARE(values.value("SettingsScreenTop"), QString::number(movedAgain.y() * 15));
    QVERIFY(!values.contains("SettingsScreenWidth"));
    QVERIFY(!values.contains("SettingsScreenHeight"));

    QVERIFY(withSettings(program, [&](ZEL_VANTO_SETTINGS &dialog) {
        QTRY_VERIFY(framed(dialog));
        QTRY_COMPARE(dialog.frameGeometry().topLeft(), movedAgain);
    }));
}

void TestSettingsWindow::windowStoredOffEveryScreenOpensOnThePrimaryScreen_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("rescued");
    QTest::addColumn<QPoint>("outerCorner"); // where it stays when not rescued
    QTest::addColumn<QSize>("clientSize");

    const QSize design(482, 301);
    QTest::newRow("far left")
        << QByteArray("[Settings]\nSettingsScreenLeft=-200000\nSettingsScreenTop=1500\n") << true
        << QPoint() << design;
    QTest::newRow("far above and left")
        << QByteArray("[Settings]\nSettingsScreenLeft=-200000\nSettingsScreenTop=-200000\n")
        << true << QPoint() << design;
    QTest::newRow("below the screen")
        << QByteArray("[Settings]\nSettingsScreenLeft=1500\nSettingsScreenTop=200000\n") << true
        << QPoint() << design;
    QTest::newRow("off screen, stored size kept")
        << QByteArray("[Settings]\nSettingsScreenLeft=300000\nSettingsScreenTop=1500\n"
                      "SettingsScreenWidth=9090\nSettingsScreenHeight=5130\n")
        << true << QPoint() << QSize(600, 320);
    // Partly on the screen: left where it is.
    QTest::newRow("partly off")
        << QByteArray("[Settings]\nSettingsScreenLeft=-3000\nSettingsScreenTop=1500\n") << false
        << QPoint(-200, 100) << design;
}

void TestSettingsWindow::windowStoredOffEveryScreenOpensOnThePrimaryScreen()
{
    QFETCH(QByteArray, ini);
    QFETCH(bool, rescued);
    QFETCH(QPoint, outerCorner);
    QFETCH(QSize, clientSize);

    Program program(ini);
    QVERIFY(QTest::qWaitForWindowExposed(&program.main));
    const QPoint expected =
        rescued ? QGuiApplication::primaryScreen()->availableGeometry().topLeft() : outerCorner;

    QVERIFY(withSettings(program, [&](ZEL_VANTO_SETTINGS &dialog) {
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTRY_VERIFY(framed(dialog));
        QTRY_COMPARE(dialog.frameGeometry().topLeft(), expected);
        QCOMPARE(dialog.size(), clientSize);
    }));
}

void TestSettingsWindow::alwaysOnTopStartsTheKeeper()
{
    Program program;
    QVERIFY(QTest::qWaitForWindowExposed(&program.main));
    QVERIFY(!program.main.keeper().isRunning());

    // Another program's window, marked above and in the foreground; with the keeper off it
    // keeps its mark.
    QWidget other;
    other.setWindowTitle(QStringLiteral("zvset-other"));
    other.setGeometry(600, 400, 200, 100);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    QTRY_VERIFY(framed(other));
    runTool(QStringLiteral("wmctrl"), {"-i", "-r", xid(other), "-b", "add,above"});
    runTool(QStringLiteral("wmctrl"), {"-i", "-a", xid(other)});
    QTRY_VERIFY(markedAbove(other));
    QTRY_COMPARE(activeWindow(), xid(other));

    const bool opened = withSettings(program, [&](ZEL_VANTO_SETTINGS &dialog) {
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCheckBox *onTop = checkBox(dialog, QStringLiteral("Always On Top"));
        QVERIFY(onTop);
        QCOMPARE(onTop->objectName(), QStringLiteral("AlwaysOnTopTimer_TICKBOX"));
        QVERIFY(!onTop->isChecked());

        clickCheckBox(onTop);
        QVERIFY(program.main.keeper().isRunning());
        QCOMPARE(stored(program.files, "AlwaysOnTopTimer_TICKBOX"), QStringLiteral("1"));
        clickCheckBox(onTop);
        QVERIFY(!program.main.keeper().isRunning());
        QCOMPARE(stored(program.files, "AlwaysOnTopTimer_TICKBOX"), QStringLiteral("0"));
        clickCheckBox(onTop);
        QVERIFY(program.main.keeper().isRunning());
        QCOMPARE(stored(program.files, "AlwaysOnTopTimer_TICKBOX"), QStringLiteral("1"));

        // Closed from the keyboard by the window manager.
        dialog.activateWindow();
        QTRY_VERIFY(dialog.isActiveWindow());
        runTool(QStringLiteral("xdotool"), {"key", "alt+F4"});
        QTRY_VERIFY(!dialog.isVisible());
    });
    QVERIFY(opened);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(program.main.keeper().isRunning());
    const auto values = storedValues(program.files);
    QCOMPARE(values.value("AlwaysOnTopTimer_TICKBOX"), QStringLiteral("1"));
    QVERIFY(values.contains("SettingsScreenLeft"));
    QVERIFY(values.contains("SettingsScreenTop"));
    QVERIFY(!values.contains("SettingsScreenWidth"));

    // With the keeper on, the foreground window loses its mark and the main window goes on top.
    runTool(QStringLiteral("wmctrl"), {"-i", "-r", xid(other), "-b", "add,above"});
    runTool(QStringLiteral("wmctrl"), {"-i", "-a", xid(other)});
    QTRY_COMPARE(activeWindow(), xid(other));
    QTRY_VERIFY_WITH_TIMEOUT(!markedAbove(other), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(markedAbove(program.main), 3000);
    QTRY_VERIFY(stacking().indexOf(xid(program.main)) > stacking().indexOf(xid(other)));
}

QTEST_MAIN(TestSettingsWindow)
#include "test_settingswindow.moc"

#include "namedprocess.h"
#include "teststore.h"

#include <QtGui>
#include <QtTest>
#include <csignal>

// The real program in a real window under openbox: started as its own process against a private
// store, driven with xdotool and wmctrl, read back from screenshot pixels.

static QString runTool(const QString &program, const QStringList &arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    return tool.waitForFinished(10000) ? QString::fromLocal8Bit(tool.readAllStandardOutput()) : "";
}

// The running program, with its window once found on the display. QProcess's destructor ends a
// program that a failed check left running.
struct Program
{
    explicit Program(const TestStore &store)
    {
        process.setEnvironment(QProcess::systemEnvironment()
                               << QStringLiteral("XDG_CONFIG_HOME=") + store.configDir());
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(ZV_PROGRAM_PATH), {});
    }
    // Waits until the main window is mapped and framed by the window manager; false after 20 s.
    bool waitForWindow()
    {
        const auto framed = [this] {
            window = runTool("xdotool", {"search", "--onlyvisible", "--name", "^ZEL-VANTO$"})
                         .section('\n', 0, 0);
            return !window.isEmpty() && frameExtents().size() == 4;
        };
        return QTest::qWaitFor(framed, 20000);
    }

    // left, right, top, bottom, as the window manager reports them.
    QStringList frameExtents() const
    {
        return runTool("xprop", {"-id", window, "_NET_FRAME_EXTENTS"}).section('=', 1).split(',');
    }

    // The client area on the screen.
    QRect clientRect() const
    {
        const QString info = runTool("xwininfo", {"-id", window});
        const auto value = [&info](const QString &label) {
            return QRegularExpression(label + ":\\s+(-?\\d+)").match(info).captured(1).toInt();
        };
        return {value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"),
                value("Height")};
    }

    // The frame's outer corner and the client area's size.
    QRect place() const
    {
        const QStringList extents = frameExtents();
        return clientRect().translated(-extents.value(0).toInt(), -extents.value(2).toInt());
    }

    // The client area as the screen shows it.
    QImage shot() const
    {
        return QGuiApplication::primaryScreen()->grabWindow(0).toImage().copy(clientRect());
    }

    // The colour slot n's box shows, left of its centred text.
    QColor boxColor(int n) const { return shot().pixelColor(5, 16 + 24 * (n - 1) + 12); }

    // Ends the program with a signal, or with 0 by closing its window as its close button does.
    // The exit status, or -1.
    int end(int signalNumber = 0)
    {
        if (signalNumber)
            ::kill(static_cast<pid_t>(process.processId()), signalNumber);
        else
            runTool("wmctrl", {"-i", "-c", window});
        const bool exited =
            process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit;
        return exited ? process.exitCode() : -1;
    }

    QProcess process;
    QString window;
};

static QStringList storedGeometry(const TestStore &store)
{
    QSettings ini(store.iniPath(), QSettings::IniFormat);
    ini.beginGroup("Settings");
    return {ini.value("MainLeft").toString(), ini.value("MainTop").toString(),
            ini.value("MainWidth").toString(), ini.value("MainHeight").toString()};
}

class TestMainWindowX11 : public QObject
{
    Q_OBJECT

private slots:
    void firstRunShowsFiveRedBoxesInTheDefaultPlace();
    void typedNameTurnsGreenThenRedAndNamesSurviveEveryEnd_data();
    void typedNameTurnsGreenThenRedAndNamesSurviveEveryEnd();
    void movedAndResizedWindowComesBackWithoutDrift();
    void windowStoredOffScreenIsBroughtBack_data();
    void windowStoredOffScreenIsBroughtBack();
};

void TestMainWindowX11::firstRunShowsFiveRedBoxesInTheDefaultPlace()
{
    TestStore store;
    Program program(store);
    QVERIFY(program.waitForWindow());

    // 1000 twips = 67 pixels; a 1575 x 3870 twip client area = 105 x 258 pixels.
    QCOMPARE(program.place(), QRect(67, 67, 105, 258));
    const QString state = runTool("xprop", {"-id", program.window, "_NET_WM_STATE"});
    QVERIFY2(state.contains("_NET_WM_STATE_SKIP_TASKBAR"), qPrintable(state));

    for (int n = 1; n <= 5; ++n)
        QTRY_COMPARE_WITH_TIMEOUT(program.boxColor(n), QColor(Qt::red), 3000);
    for (int n = 6; n <= 10; ++n) // blank: the window's own background
        QVERIFY(!QList<QColor>({Qt::red, Qt::green}).contains(program.boxColor(n)));
    // The title strip: green text on black.
    const QImage title = program.shot();
    QCOMPARE(title.pixelColor(1, 1), QColor(Qt::black));
    bool greenText = false;
    for (int x = 0; x < title.width() && !greenText; ++x)
        greenText = title.pixelColor(x, 8) == QColor(Qt::green);
    QVERIFY(greenText);

    QCOMPARE(program.end(), 0);
    // Placed by a real window manager but untouched: the defaults go back unrounded.
    QCOMPARE(storedGeometry(store), QStringList({"1000", "1000", "1695", "4230"}));
}

void TestMainWindowX11::typedNameTurnsGreenThenRedAndNamesSurviveEveryEnd_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("closed") << 0;
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void TestMainWindowX11::typedNameTurnsGreenThenRedAndNamesSurviveEveryEnd()
{
    QFETCH(int, signalNumber);
    TestStore store;
    // Slot 1 disabled: the focus starts in box 2, the first visible one.
    store.writeIni("[Settings]\nENABLE_PW_1=0\nPROCESS_TEXTBOX_1=hidden.exe\n");
    NamedProcess watched(QStringLiteral("zvmain-typed"));
    Program program(store);
    QVERIFY(program.waitForWindow());
    QTRY_COMPARE_WITH_TIMEOUT(program.boxColor(2), QColor(Qt::red), 3000);

    runTool("xdotool", {"type", "--delay", "5", "zvmain-typed"}); // no click first
    QTRY_COMPARE_WITH_TIMEOUT(program.boxColor(2), QColor(Qt::green), 3000);
    watched.stop();
    QTRY_COMPARE_WITH_TIMEOUT(program.boxColor(2), QColor(Qt::red), 3000);

    QCOMPARE(program.end(signalNumber), 0);
    QSettings ini(store.iniPath(), QSettings::IniFormat);
    QCOMPARE(ini.value("Settings/PROCESS_TEXTBOX_1").toString(), QStringLiteral("hidden.exe"));
    QCOMPARE(ini.value("Settings/PROCESS_TEXTBOX_2").toString(), QStringLiteral("zvmain-typed"));
}

void TestMainWindowX11::movedAndResizedWindowComesBackWithoutDrift()
{
    TestStore store;
    Program first(store);
    QVERIFY(first.waitForWindow());
    runTool("xdotool", {"windowsize", "--sync", first.window, "140", "300", //
                        "windowmove", "--sync", first.window, "300", "200"});
    QTRY_COMPARE(first.clientRect().size(), QSize(140, 300));
    QCOMPARE(first.end(), 0);
    const QStringList moved = storedGeometry(store);
    // The outer size is the client size plus the design's frame allowances (120 x 360 twips):
    // 140 * 15 + 120 and 300 * 15 + 360.
    QCOMPARE(moved.mid(2), QStringList({"2220", "4860"}));

    const QPoint corner = QPoint(moved[0].toInt(), moved[1].toInt()) / 15;
    for (int run = 0; run < 10; ++run) {
        Program program(store);
        QVERIFY(program.waitForWindow());
        QCOMPARE(program.place(), QRect(corner, QSize(140, 300)));
        QCOMPARE(program.end(), 0);
        QCOMPARE(storedGeometry(store), moved);
    }
}

void TestMainWindowX11::windowStoredOffScreenIsBroughtBack_data()
{
    QTest::addColumn<QByteArray>("stored"); // twips
    QTest::addColumn<QPoint>("corner");     // pixels
    QTest::newRow("far up left") << QByteArray("MainLeft=-300000\nMainTop=-300000") << QPoint(0, 0);
    QTest::newRow("far right") << QByteArray("MainLeft=900000\nMainTop=1500") << QPoint(0, 0);
    QTest::newRow("partly shown") << QByteArray("MainLeft=-600\nMainTop=1500") << QPoint(-40, 100);
}

void TestMainWindowX11::windowStoredOffScreenIsBroughtBack()
{
    QFETCH(QByteArray, stored);
    QFETCH(QPoint, corner);
    TestStore store;
    store.writeIni("[Settings]\n" + stored + "\nMainWidth=2000\nMainHeight=4230\n");
    Program program(store);
    QVERIFY(program.waitForWindow());
    // 125 x 258 pixels: (2000 - 120) / 15 rounded, and the default height.
    QCOMPARE(program.place(), QRect(corner, QSize(125, 258)));
    QCOMPARE(program.end(), 0);
}

QTEST_MAIN(TestMainWindowX11)
#include "test_mainwindow_x11.moc"

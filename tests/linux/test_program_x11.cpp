#include "namedprocess.h"
#include "teststore.h"
#include "x11tools.h"

#include <QtGui>
#include <QtTest>
#include <csignal>

// The real program in a real window under openbox: started as its own process against a private
// store, driven with xdotool and wmctrl, read back from screenshot pixels, and ended every way
// a program ends.

// The running program, with its window once found on the display. QProcess's destructor ends a
// program that a failed check left running. The store is the one TestStore points the
// environment at.
struct Program
{
    explicit Program(const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
    {
        process.setProcessEnvironment(env);
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

    // Closes the window as its close button does; the exit status, or -1.
    int close()
    {
        runTool("wmctrl", {"-i", "-c", window});
        return exitCode();
    }
    int exitCode()
    {
        const bool exited =
            process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit;
        return exited ? process.exitCode() : -1;
    }

    QProcess process;
    QString window;
};

// The texts stored under `keys` in Settings; by default the main window's place.
static QStringList stored(const TestStore &store,
                          const QStringList &keys = {"MainLeft", "MainTop", "MainWidth",
                                                     "MainHeight"})
{
    const QSettings settings(store.iniPath(), QSettings::IniFormat);
    QStringList texts;
    for (const QString &key : keys)
        texts << settings.value("Settings/" + key).toString();
    return texts;
}

class TestProgramX11 : public QObject
{
    Q_OBJECT

private slots:
    void firstRunShowsFiveRedBoxesInTheDefaultPlaceAndEveryPlaceComesBackWithoutDrift()
    {
        TestStore store;
        // In a Wayland session with an X11 display, X11 it is: only there does a window know
        // its place.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("QT_QPA_PLATFORM");
        env.insert("WAYLAND_DISPLAY", "wayland-zv-test");
        env.insert("XDG_SESSION_TYPE", "wayland");
        Program program(env);
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

        QCOMPARE(program.close(), 0);
        // Placed by a real window manager but untouched: the defaults go back unrounded.
        const QStringList defaults({"1000", "1000", "1695", "4230"});
        QCOMPARE(stored(store), defaults);

        // At a scale factor that is not whole, the frame's corner came back a logical pixel off
        // and the window manager rounded the size to Qt's size increment: each start moved the
        // stored place (MainTop 1000 -> 1020, MainHeight 4230 -> 4215 at 1.5).
        env.insert("QT_SCALE_FACTOR", "1.5");
        Program scaled(env);
        QVERIFY(scaled.waitForWindow());
        QCOMPARE(scaled.close(), 0);
        QCOMPARE(stored(store), defaults);

        // Moved and resized, then maximised: each comes back as it was left.
        Program first;
        QVERIFY(first.waitForWindow());
        runTool("xdotool", {"windowsize", "--sync", first.window, "140", "300", //
                            "windowmove", "--sync", first.window, "300", "200"});
        QTRY_COMPARE(first.clientRect().size(), QSize(140, 300));
        QCOMPARE(first.close(), 0);
        const QStringList moved = stored(store);
        // The outer size is the client size plus the design's frame allowances (120 x 360
        // twips): 140 * 15 + 120 and 300 * 15 + 360.
        QCOMPARE(moved.mid(2), QStringList({"2220", "4860"}));

        Program second;
        QVERIFY(second.waitForWindow());
        const QPoint corner = QPoint(moved[0].toInt(), moved[1].toInt()) / 15;
        QCOMPARE(second.place(), QRect(corner, QSize(140, 300)));
        // Maximised (openbox offers it on tool windows too): its normal place is kept.
        runTool("wmctrl", {"-i", "-r", second.window, "-b", "add,maximized_vert,maximized_horz"});
        QTRY_VERIFY(second.clientRect().width() > 400);
        QCOMPARE(second.close(), 0);
        QCOMPARE(stored(store), moved);
    }

    // SIGKILL: after typing pauses. SIGTERM then SIGHUP, as systemd ends a service with
    // SendSIGHUP=yes: the second must not cut the save short.
    void typedNamesSurviveEveryEnd()
    {
        for (const QList<int> &ends : {QList<int>{SIGTERM}, {SIGTERM, SIGHUP}, {SIGKILL}}) {
            TestStore store;
            // Slot 1 disabled: the focus starts in box 2, the first visible one.
            store.writeIni("[Settings]\nENABLE_PW_1=0\nPROCESS_TEXTBOX_1=hidden.exe\n");
            NamedProcess watched(QStringLiteral("zvmain-typed"));
            Program program;
            QVERIFY(program.waitForWindow());
            QTRY_COMPARE_WITH_TIMEOUT(program.boxColor(2), QColor(Qt::red), 3000);
            runTool("xdotool", {"type", "--delay", "5", "zvmain-typed"}); // no click first
            QTRY_COMPARE_WITH_TIMEOUT(program.boxColor(2), QColor(Qt::green), 3000);

            const bool killed = ends == QList<int>{SIGKILL};
            if (killed) // nothing runs at a kill: what typing saved when it paused is what there is
                QTRY_COMPARE_WITH_TIMEOUT(stored(store, {"PROCESS_TEXTBOX_2"}),
                                          QStringList{"zvmain-typed"}, 5000);
            for (int number : ends)
                ::kill(static_cast<pid_t>(program.process.processId()), number);
            QCOMPARE(program.exitCode(), killed ? -1 : 0);
            QCOMPARE(stored(store, {"PROCESS_TEXTBOX_1", "PROCESS_TEXTBOX_2"}),
                     QStringList({"hidden.exe", "zvmain-typed"}));
        }
    }

    // With no display at all, and with Wayland but not its plugin.
    void withoutADisplayTheProgramSaysSoInOneLine()
    {
        TestStore store;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        for (const bool wayland : {false, true}) {
            if (wayland)
                env.insert("WAYLAND_DISPLAY", "wayland-zv-test");
            Program program(env);
            QCOMPARE(program.exitCode(), 1); // no abort
            const QString message =
                QString::fromLocal8Bit(program.process.readAllStandardError()).trimmed();
            QVERIFY2(message.contains("xvfb-run") && !message.contains('\n'), qPrintable(message));
            QCOMPARE(message.contains("qt6-wayland"), wayland);
        }
    }
};

QTEST_MAIN(TestProgramX11)
#include "test_program_x11.moc"

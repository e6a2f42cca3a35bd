#include "namedprocess.h"
#include "teststore.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QSettings>
#include <QtTest>

#include <csignal>
#include <memory>

// The real program in a real window under openbox: started as its own process against a private
// store, driven with xdotool and wmctrl, read back from screenshot pixels.
namespace {

const QColor kGreen(0, 255, 0);
const QColor kRed(255, 0, 0);

QString runTool(const QString &program, const QStringList &arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    tool.waitForFinished(10000);
    return QString::fromLocal8Bit(tool.readAllStandardOutput());
}

// The running program, with its window found on the display.
class Program
{
public:
    explicit Program(const TestStore &store)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", store.configDir());
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(ZV_PROGRAM_PATH), {});
    }
    ~Program()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    // Waits until the main window is mapped; false after 20 s.
    bool waitForWindow()
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 20000) {
            const QString found =
                runTool("xdotool", {"search", "--onlyvisible", "--name", "^ZEL-VANTO$"}).trimmed();
            if (!found.isEmpty()) {
                m_window = found.split('\n').first();
                // Mapped is not yet framed: wait for the window manager's frame too.
                if (frameExtents().size() == 4)
                    return true;
            }
            QTest::qWait(50);
        }
        return false;
    }

    QString window() const { return m_window; }

    // left, right, top, bottom, as the window manager reports them.
    QList<int> frameExtents() const
    {
        const QString text = runTool("xprop", {"-id", m_window, "_NET_FRAME_EXTENTS"});
        QList<int> extents;
        static const QRegularExpression number(QStringLiteral("(\\d+)"));
        const qsizetype equals = text.indexOf('=');
        if (equals < 0)
            return extents;
        auto it = number.globalMatch(text.mid(equals));
        while (it.hasNext())
            extents << it.next().captured(1).toInt();
        return extents;
    }

    // The client area on the screen.
    QRect clientRect() const
    {
        const QString info = runTool("xwininfo", {"-id", m_window});
        auto value = [&info](const char *label) {
            const QRegularExpression re(QString::fromLatin1(label) + QStringLiteral(":\\s+(-?\\d+)"));
            return re.match(info).captured(1).toInt();
        };
        return {value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"),
                value("Height")};
    }

    // The frame's outer corner.
    QPoint outerCorner() const
    {
        const QList<int> extents = frameExtents();
        const QRect client = clientRect();
        return extents.size() == 4 ? client.topLeft() - QPoint(extents[0], extents[2])
                                   : client.topLeft();
    }

    // The colour slot n's box shows, read from the screen left of its centred text.
    QColor boxColor(int n) const
    {
        const QRect client = clientRect();
        const QPoint centre = client.topLeft() + QPoint(5, 16 + 24 * (n - 1) + 12);
        const QImage shot =
            QGuiApplication::primaryScreen()->grabWindow(0, centre.x(), centre.y(), 1, 1).toImage();
        return shot.pixelColor(0, 0);
    }

    void clickBox(int n) const
    {
        const QPoint centre = clientRect().topLeft() + QPoint(52, 16 + 24 * (n - 1) + 12);
        runTool("xdotool", {"mousemove", QString::number(centre.x()),
                            QString::number(centre.y()), "click", "1"});
    }

    void type(const QString &text) const
    {
        runTool("xdotool", {"type", "--delay", "5", text});
    }

    // Closes the window as its close button does; the exit status, or -1.
    int closeWindow()
    {
        runTool("wmctrl", {"-i", "-c", m_window});
        return waitForExit();
    }

    int signal(int signalNumber)
    {
        ::kill(static_cast<pid_t>(m_process.processId()), signalNumber);
        return waitForExit();
    }

    int waitForExit()
    {
        if (!m_process.waitForFinished(20000) || m_process.exitStatus() != QProcess::NormalExit)
            return -1;
        return m_process.exitCode();
    }

private:
    QProcess m_process;
    QString m_window;
};

QStringList storedGeometry(const TestStore &store)
{
    QSettings ini(store.iniPath(), QSettings::IniFormat);
    QStringList values;
    for (const char *key : {"MainLeft", "MainTop", "MainWidth", "MainHeight"})
        values << ini.value(QStringLiteral("Settings/") + QLatin1String(key)).toString();
    return values;
}

} // namespace

class TestMainWindowX11 : public QObject
{
    Q_OBJECT

private slots:
    void firstRunShowsFiveRedBoxesInTheDefaultPlace();
    void typedNamesTurnGreenAndRedAndSurviveSignals_data();
    void typedNamesTurnGreenAndRedAndSurviveSignals();
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
    QCOMPARE(program.outerCorner(), QPoint(67, 67));
    QCOMPARE(program.clientRect().size(), QSize(105, 258));
    const QString state = runTool("xprop", {"-id", program.window(), "_NET_WM_STATE"});
    QVERIFY2(state.contains("_NET_WM_STATE_SKIP_TASKBAR"), qPrintable(state));

    for (int n = 1; n <= 5; ++n)
        QTRY_COMPARE_WITH_TIMEOUT(program.boxColor(n), kRed, 3000);
    for (int n = 6; n <= 10; ++n) {
        const QColor blank = program.boxColor(n); // the window's own background
        QVERIFY2(blank != kRed && blank != kGreen, qPrintable(blank.name()));
    }
    // The title strip: green text on black.
    const QRect client = program.clientRect();
    const QImage title = QGuiApplication::primaryScreen()
                             ->grabWindow(0, client.x(), client.y(), client.width(), 16)
                             .toImage();
    QCOMPARE(title.pixelColor(1, 1), QColor(0, 0, 0));
    bool greenText = false;
    for (int x = 0; x < title.width() && !greenText; ++x)
        greenText = title.pixelColor(x, 8) == kGreen;
    QVERIFY(greenText);

    QCOMPARE(program.closeWindow(), 0);
    // Geometry and all ten names are written at the close, the enabled flags are not.
    QSettings ini(store.iniPath(), QSettings::IniFormat);
    QCOMPARE(storedGeometry(store), QStringList({"1000", "1000", "1695", "4230"}));
    QVERIFY(ini.contains("Settings/PROCESS_TEXTBOX_10"));
    QVERIFY(!ini.contains("Settings/ENABLE_PW_1"));
}

void TestMainWindowX11::typedNamesTurnGreenAndRedAndSurviveSignals_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("closed") << 0;
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void TestMainWindowX11::typedNamesTurnGreenAndRedAndSurviveSignals()
{
    QFETCH(int, signalNumber);
    TestStore store;
    // Slot 1 disabled: the focus starts in box 2, the first visible one.
    store.writeIni("[Settings]\nENABLE_PW_1=0\nENABLE_PW_7=1\nPROCESS_TEXTBOX_1=hidden.exe\n");
    auto watched = std::make_unique<NamedProcess>(QStringLiteral("zvmain-typed"));
    Program program(store);
    QVERIFY(program.waitForWindow());
    QTRY_COMPARE_WITH_TIMEOUT(program.boxColor(2), kRed, 3000);

    program.type(QStringLiteral("zvmain-typed")); // no click: box 2 has the focus
    QTRY_COMPARE_WITH_TIMEOUT(program.boxColor(2), kGreen, 3000);
    program.clickBox(7);
    program.type(QStringLiteral("ZVMAIN-TYPED"));
    QTRY_COMPARE_WITH_TIMEOUT(program.boxColor(7), kGreen, 3000);

    watched->stop();
    QTRY_COMPARE_WITH_TIMEOUT(program.boxColor(2), kRed, 3000);
    QTRY_COMPARE_WITH_TIMEOUT(program.boxColor(7), kRed, 3000);

    const int status = signalNumber ? program.signal(signalNumber) : program.closeWindow();
    QCOMPARE(status, 0);
    QSettings ini(store.iniPath(), QSettings::IniFormat);
    QCOMPARE(ini.value("Settings/PROCESS_TEXTBOX_1").toString(), QStringLiteral("hidden.exe"));
    QCOMPARE(ini.value("Settings/PROCESS_TEXTBOX_2").toString(), QStringLiteral("zvmain-typed"));
    QCOMPARE(ini.value("Settings/PROCESS_TEXTBOX_7").toString(), QStringLiteral("ZVMAIN-TYPED"));
}

void TestMainWindowX11::movedAndResizedWindowComesBackWithoutDrift()
{
    TestStore store;
    {
        Program program(store);
        QVERIFY(program.waitForWindow());
        runTool("xdotool", {"windowsize", "--sync", program.window(), "140", "300"});
        runTool("xdotool", {"windowmove", "--sync", program.window(), "300", "200"});
        QTRY_COMPARE(program.clientRect().size(), QSize(140, 300));
        QCOMPARE(program.closeWindow(), 0);
    }
    const QStringList moved = storedGeometry(store);
    // The outer size is the client size plus the design's frame allowances (120 x 360 twips).
    QCOMPARE(moved.mid(2), QStringList({QString::number(140 * 15 + 120),
                                        QString::number(300 * 15 + 360)}));

    QPoint corner;
    for (int run = 0; run < 10; ++run) {
        Program program(store);
        QVERIFY(program.waitForWindow());
        QCOMPARE(program.clientRect().size(), QSize(140, 300));
        if (run == 0) {
            corner = program.outerCorner();
            QCOMPARE(QPoint(moved[0].toInt(), moved[1].toInt()), corner * 15);
        }
        QCOMPARE(program.outerCorner(), corner);
        QCOMPARE(program.closeWindow(), 0);
        QCOMPARE(storedGeometry(store), moved);
    }
}

void TestMainWindowX11::windowStoredOffScreenIsBroughtBack_data()
{
    QTest::addColumn<QByteArray>("left");
    QTest::addColumn<QByteArray>("top");
    QTest::addColumn<QPoint>("corner");
    QTest::newRow("far left and up") << QByteArray("-300000") << QByteArray("-300000") << QPoint(0, 0);
    QTest::newRow("far right") << QByteArray("900000") << QByteArray("1500") << QPoint(0, 0);
    QTest::newRow("partly on screen stays") << QByteArray("-600") << QByteArray("1500")
                                            << QPoint(-40, 100);
}

void TestMainWindowX11::windowStoredOffScreenIsBroughtBack()
{
    QFETCH(QByteArray, left);
    QFETCH(QByteArray, top);
    QFETCH(QPoint, corner);
    TestStore store;
    store.writeIni("[Settings]\nMainLeft=" + left + "\nMainTop=" + top +
                   "\nMainWidth=2000\nMainHeight=4230\n");
    Program program(store);
    QVERIFY(program.waitForWindow());
    QCOMPARE(program.outerCorner(), corner);
    QCOMPARE(program.clientRect().size(), QSize(125, 258)); // (2000 - 120) / 15 rounded
    QCOMPARE(program.closeWindow(), 0);
}

QTEST_MAIN(TestMainWindowX11)
#include "test_mainwindow_x11.moc"

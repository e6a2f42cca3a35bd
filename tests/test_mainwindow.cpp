#include "monitor/processprobe.h"
#include "store/settingsstore.h"
#include "teststore.h"
#include "ui/zel_vanto_main.h"

#include <QLineEdit>
#include <QProcess>
#include <QSettings>
#include <QTimer>
#include <QtTest>

#include <memory>

// The main window's load and unload against a real settings file, on the offscreen platform.
namespace {

// Counts the probe's questions: nothing may be probed before the first tick.
class CountingQuery : public platform::ProcessQuery
{
public:
    explicit CountingQuery(int &count) : m_count(count) {}
    bool isRunning(const std::string &) override
    {
        ++m_count;
        return false;
    }

private:
    int &m_count;
};

QSettings iniOf(const TestStore &store)
{
    return QSettings(store.iniPath(), QSettings::IniFormat);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void loadFollowsTheStore_data();
    void loadFollowsTheStore();
    void unloadWritesGeometryThenEveryName();
    void untouchedGeometryIsWrittenBackUnchanged();
    void withoutADisplayTheProgramSaysSoInOneLine();
};

void TestMainWindow::loadFollowsTheStore_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("enabled"); // one character per slot
    QTest::addColumn<bool>("keeper");

    QTest::newRow("empty store") << QByteArray() << "1111100000" << false;
    QTest::newRow("flags as stored")
        << QByteArray("ENABLE_PW_1=0\nENABLE_PW_10=1\nAlwaysOnTopTimer_TICKBOX=1\n")
        << "0111100001" << true;
    // Any non-zero number enables a slot; only exactly 1 starts the keeper.
    QTest::newRow("other numbers")
        << QByteArray("ENABLE_PW_2=2\nENABLE_PW_6=-1\nENABLE_PW_7=0.5\nAlwaysOnTopTimer_TICKBOX=2\n")
        << "1111111000" << false;
    QTest::newRow("one in another form") << QByteArray("AlwaysOnTopTimer_TICKBOX=1.0\n")
                                         << "1111100000" << true;
    QTest::newRow("unreadable values fall back to defaults")
        << QByteArray("ENABLE_PW_1=abc\nENABLE_PW_6=\nAlwaysOnTopTimer_TICKBOX=yes\n")
        << "1111100000" << false;
}

void TestMainWindow::loadFollowsTheStore()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, enabled);
    QFETCH(bool, keeper);
    TestStore store;
    if (!ini.isEmpty())
        store.writeIni("[Settings]\n" + ini + "PROCESS_TEXTBOX_8=eight.exe\n");
    const QByteArray before = store.readIni();
    SettingsStore settings;
    int probes = 0;
    ZEL_VANTO_MAIN window(settings,
                          std::make_unique<ProcessProbe>(std::make_unique<CountingQuery>(probes)));
    window.Form_Load();
    window.show();

    for (int n = 1; n <= 10; ++n) {
        const bool on = enabled[n - 1] == QLatin1Char('1');
        QLineEdit *box = window.findChild<QLineEdit *>(QStringLiteral("PROCESS_TEXTBOX_%1").arg(n));
        QVERIFY(box);
        QCOMPARE(box->isVisible(), on);
        QCOMPARE(window.watcherSlot(n).timer()->isActive(), on);
        QCOMPARE(window.watcherSlot(n).timer()->interval(), 1000);
        QCOMPARE(window.watcherSlot(n).state(), SlotState::NotPolled);
    }
    QCOMPARE(window.keeper().isRunning(), keeper);
    QCOMPARE(probes, 0); // nothing is probed before the first tick
    QCOMPARE(window.windowIcon().actualSize(QSize(128, 128)), QSize(100, 100));
    if (!ini.isEmpty()) {
        QCOMPARE(window.watcherSlot(8).box()->text(), QStringLiteral("eight.exe"));
    }
    // Focus starts in the first visible box.
    const int first = static_cast<int>(enabled.indexOf(QLatin1Char('1'))) + 1;
    QCOMPARE(window.focusWidget(), window.watcherSlot(first).box());
    // Loading writes nothing; with an empty store it does not even make the file.
    QCOMPARE(store.readIni(), before);
    QCOMPARE(QFile::exists(store.iniPath()), !ini.isEmpty());
}

void TestMainWindow::unloadWritesGeometryThenEveryName()
{
    TestStore store;
    store.writeIni("[Settings]\nENABLE_PW_2=0\nPROCESS_TEXTBOX_2=kept while hidden.exe\n");
    SettingsStore settings;
    ZEL_VANTO_MAIN window(settings, std::make_unique<ProcessProbe>());
    window.Form_Load();
    window.show();
    window.watcherSlot(1).box()->setText(QStringLiteral("a,b;c=d \"e\" \\f"));
    window.watcherSlot(9).box()->setText(QStringLiteral("nine.exe")); // hidden slot
    window.disable(1);
    QVERIFY(window.close());

    QSettings ini = iniOf(store);
    QCOMPARE(ini.value("Settings/PROCESS_TEXTBOX_1").toString(),
             QStringLiteral("a,b;c=d \"e\" \\f"));
    QCOMPARE(ini.value("Settings/PROCESS_TEXTBOX_2").toString(),
             QStringLiteral("kept while hidden.exe"));
    QCOMPARE(ini.value("Settings/PROCESS_TEXTBOX_9").toString(), QStringLiteral("nine.exe"));
    QCOMPARE(ini.value("Settings/PROCESS_TEXTBOX_10").toString(), QString());
    // The enabled flags belong to the settings window; the unload leaves them alone.
    QCOMPARE(ini.value("Settings/ENABLE_PW_2").toString(), QStringLiteral("0"));
    QVERIFY(!ini.contains("Settings/ENABLE_PW_1"));
    QVERIFY(ini.contains("Settings/MainLeft"));

    // A second unload (close, then a session's end request) writes nothing more.
    store.writeIni("[Settings]\n");
    window.Form_Unload();
    QCOMPARE(store.readIni(), QByteArray("[Settings]\n"));
}

void TestMainWindow::untouchedGeometryIsWrittenBackUnchanged()
{
    TestStore store;
    // Not whole pixels: converted once to show the window, but never rounded into the store.
    store.writeIni("[Settings]\nMainLeft=1001\nMainTop=-7\nMainWidth=1700\nMainHeight=4231\n");
    for (int run = 0; run < 3; ++run) {
        SettingsStore settings;
        ZEL_VANTO_MAIN window(settings, std::make_unique<ProcessProbe>());
        window.Form_Load();
        QCOMPARE(window.size(), QSize(105, 258));
        window.show();
        window.close();
    }
    QSettings ini = iniOf(store);
    QCOMPARE(ini.value("Settings/MainLeft").toString(), QStringLiteral("1001"));
    QCOMPARE(ini.value("Settings/MainTop").toString(), QStringLiteral("-7"));
    QCOMPARE(ini.value("Settings/MainWidth").toString(), QStringLiteral("1700"));
    QCOMPARE(ini.value("Settings/MainHeight").toString(), QStringLiteral("4231"));
}

void TestMainWindow::withoutADisplayTheProgramSaysSoInOneLine()
{
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(ZV_PROGRAM_PATH), {});
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit); // no abort
    QCOMPARE(program.exitCode(), 1);
    const QString message = QString::fromLocal8Bit(program.readAllStandardError()).trimmed();
    QVERIFY2(!message.contains('\n'), qPrintable(message));
    QVERIFY2(message.contains("xvfb-run"), qPrintable(message));
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"

#include "monitor/processprobe.h"
#include "store/settingsstore.h"
#include "teststore.h"
#include "ui/zel_vanto_main.h"

#include <QLineEdit>
#include <QtTest>
#include <memory>

// The main window's load and unload against a real settings file, on the offscreen platform.

// Counts the probe's questions: nothing may be probed before the first tick.
struct CountingQuery final : platform::ProcessQuery
{
    bool isRunning(const std::string &) override
    {
        ++count;
        return false;
    }
    static inline int count = 0;
};

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void loadFollowsTheStore_data();
    void loadFollowsTheStore();
    void unloadWritesUnroundedGeometryAndEveryNameOnce();
    void withoutADisplayTheProgramSaysSoInOneLine();
};

void TestMainWindow::loadFollowsTheStore_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("enabled"); // one character per slot
    QTest::addColumn<bool>("keeper");

    QTest::newRow("empty store") << QByteArray() << "1111100000" << false;
    QTest::newRow("flags as stored")
        << QByteArray("ENABLE_PW_1=0\nENABLE_PW_10=1\nAlwaysOnTopTimer_TICKBOX=1\n") << "0111100001"
        << true;
    // Any non-zero number enables a slot; only exactly 1 starts the keeper.
    QTest::newRow("other numbers")
        << QByteArray(
               "ENABLE_PW_2=2\nENABLE_PW_6=-1\nENABLE_PW_7=0.5\nAlwaysOnTopTimer_TICKBOX=2\n")
        << "1111111000" << false;
    QTest::newRow("one in another form")
        << QByteArray("AlwaysOnTopTimer_TICKBOX=1.0\n") << "1111100000" << true;
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
    // Slot 3 is shown in every case: a tick during the load would probe its name.
    if (!ini.isEmpty())
        store.writeIni("[Settings]\n" + ini + "PROCESS_TEXTBOX_3=three.exe\n");
    const QByteArray before = store.readIni();
    SettingsStore settings;
    CountingQuery::count = 0;
    ZEL_VANTO_MAIN window(settings,
                          std::make_unique<ProcessProbe>(std::make_unique<CountingQuery>()));
    window.Form_Load();

    for (int n = 1; n <= 10; ++n) {
        const bool on = enabled[n - 1] == QLatin1Char('1');
        QCOMPARE(window.watcherSlot(n).box()->isHidden(), !on);
        QCOMPARE(window.watcherSlot(n).timer()->isActive(), on);
        QCOMPARE(window.watcherSlot(n).timer()->interval(), 1000);
        QCOMPARE(window.watcherSlot(n).state(), SlotState::NotPolled);
    }
    QCOMPARE(window.keeper().isRunning(), keeper);
    QCOMPARE(CountingQuery::count, 0);
    QCOMPARE(window.windowIcon().actualSize(QSize(128, 128)), QSize(100, 100));
    // Focus starts in the first visible box.
    QCOMPARE(window.focusWidget(), window.watcherSlot(int(enabled.indexOf('1')) + 1).box());
    // Loading writes nothing; with an empty store it does not even make the file.
    QCOMPARE(store.readIni(), before);
    QCOMPARE(QFile::exists(store.iniPath()), !ini.isEmpty());
}

void TestMainWindow::unloadWritesUnroundedGeometryAndEveryNameOnce()
{
    TestStore store;
    // Not whole pixels: converted once to show the window, never rounded into the store.
    store.writeIni("[Settings]\nMainLeft=1001\nMainTop=-7\nMainWidth=1700\nMainHeight=4231\n"
                   "ENABLE_PW_2=0\nPROCESS_TEXTBOX_2=kept while hidden.exe\n");
    for (int run = 0; run < 3; ++run) {
        SettingsStore settings;
        ZEL_VANTO_MAIN window(settings, std::make_unique<ProcessProbe>());
        window.Form_Load();
        QCOMPARE(window.size(), QSize(105, 258));
        window.show();
        window.watcherSlot(1).box()->setText(QStringLiteral("a,b;c=d \"e\" \\f"));
        QVERIFY(window.close());
        // A second unload (close, then a session's end request) writes nothing more.
        window.watcherSlot(1).box()->clear();
        window.Form_Unload();
    }

    QSettings ini(store.iniPath(), QSettings::IniFormat);
    ini.beginGroup("Settings");
    const QStringList geometry = {ini.value("MainLeft").toString(), ini.value("MainTop").toString(),
                                  ini.value("MainWidth").toString(),
                                  ini.value("MainHeight").toString()};
    QCOMPARE(geometry, QStringList({"1001", "-7", "1700", "4231"}));
    for (int n = 1; n <= 10; ++n)
        QVERIFY(ini.contains(QStringLiteral("PROCESS_TEXTBOX_%1").arg(n)));
    QCOMPARE(ini.value("PROCESS_TEXTBOX_1").toString(), QStringLiteral("a,b;c=d \"e\" \\f"));
    QCOMPARE(ini.value("PROCESS_TEXTBOX_2").toString(), QStringLiteral("kept while hidden.exe"));
    // The enabled flags belong to the settings window; the unload writes none of them.
    QCOMPARE(ini.childKeys().filter("ENABLE_PW"), QStringList({"ENABLE_PW_2"}));
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
    QVERIFY2(message.contains("xvfb-run") && !message.contains('\n'), qPrintable(message));
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"

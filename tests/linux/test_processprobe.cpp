#include "namedprocess.h"
#include "processprobe.h"
#include "processquery_linux.h"

#include <QFileInfo>
#include <QtTest>
#include <memory>
#include <pthread.h>
#include <sys/prctl.h>
#include <thread>

using platform::LinuxProcessQuery;

static bool isRunning(ProcessProbe &probe, const QString &name)
{
    return probe.IsProcessRunning(name.toStdString());
}

// The Linux probe against real processes started under names chosen for each case.
class TestProcessProbe : public QObject
{
    Q_OBJECT

private slots:
    void findsProcessesByImageName_data();
    void findsProcessesByImageName();
    void endedProcessIsNotRunning();
    void leaderThatEndedWhileItsThreadsRunIsRunning();
    void oneScanServesQueriesWithinFiftyMilliseconds();
    void imageNameComparison_data();
    void imageNameComparison();
};

void TestProcessProbe::findsProcessesByImageName_data()
{
    QTest::addColumn<QString>("imageName");
    QTest::addColumn<QStringList>("found");
    QTest::addColumn<QStringList>("notFound");

    QTest::newRow("plain")
        << "zvprobe-plain" << QStringList{"zvprobe-plain", "ZVPROBE-PLAIN"}
        << QStringList{"zvprobe-plai", "zvprobe", "zvprobe-plain ", "", "zvprobe-plain.exe",
                       "zvprobe-.*",   "*"};
    QTest::newRow("with extension")
        << "zvprobe-tool.exe" << QStringList{"zvprobe-tool.exe", "ZvProbe-Tool.EXE"}
        << QStringList{"zvprobe-tool", "zvprobe-tool.ex"};
    // The kernel keeps only 15 bytes of the name; the long name comes from argv[0] and exe.
    QTest::newRow("over 15 bytes")
        << "zvprobe-a-very-long-name.exe"
        << QStringList{"zvprobe-a-very-long-name.exe", "ZVPROBE-A-VERY-LONG-NAME.EXE"}
        << QStringList{"zvprobe-a-very-", "zvprobe-a-very-long-name.ex",
                       "zvprobe-a-very-long-name.exe2", "zvprobe-a-very-other"};
    QTest::newRow("space") << "zv probe.exe" << QStringList{"zv probe.exe", "ZV PROBE.EXE"}
                           << QStringList{"zv", "probe.exe", "zvprobe.exe"};
    QTest::newRow("parenthesis") << "zv) x (y" << QStringList{"zv) x (y"} << QStringList{"zv)"};
    // The Kelvin sign folds to an ASCII k.
    QTest::newRow("folds to ASCII") << "zvprobe-kelvin" << QStringList{"zvprobe-\u212Aelvin"}
                                    << QStringList{"zvprobe-\u212Aelvi"};
    QTest::newRow("non-ASCII") << "zvprüfer.exe" << QStringList{"zvprüfer.exe", "ZVPRÜFER.EXE"}
                               << QStringList{"zvprufer.exe"};
    QTest::newRow("non-ASCII over 15 bytes")
        << "zvüberwachung-lang.exe"
        << QStringList{"zvüberwachung-lang.exe", "ZVÜBERWACHUNG-LANG.EXE"}
        << QStringList{"zvüberwachung-la"};
}

void TestProcessProbe::findsProcessesByImageName()
{
    QFETCH(QString, imageName);
    QFETCH(QStringList, found);
    QFETCH(QStringList, notFound);

    ProcessProbe probe(platform::createProcessQuery());
    for (const QString &name : found)
        QVERIFY2(!isRunning(probe, name), qPrintable(name + " runs before the test"));

    NamedProcess process(imageName);
    QVERIFY(process.isStarted());
    QTest::qWait(60); // past the reuse window of the scan above
    for (const QString &name : found)
        QVERIFY2(isRunning(probe, name), qPrintable(name));
    for (const QString &name : notFound)
        QVERIFY2(!isRunning(probe, name), qPrintable(name));

    // Several processes of one name answer the same as one.
    NamedProcess twin(imageName);
    QTest::qWait(60);
    QVERIFY(isRunning(probe, found.first()));
}

void TestProcessProbe::endedProcessIsNotRunning()
{
    auto process = std::make_unique<NamedProcess>(QStringLiteral("zvprobe-ends"));
    QVERIFY(process->isStarted());
    ProcessProbe probe(platform::createProcessQuery());
    QVERIFY(isRunning(probe, QStringLiteral("zvprobe-ends")));
    process->stop();
    QTest::qWait(60);
    QVERIFY(!isRunning(probe, QStringLiteral("zvprobe-ends")));
}

void TestProcessProbe::leaderThatEndedWhileItsThreadsRunIsRunning()
{
    // The kernel shows such a process as a zombie, yet it runs on in its other threads.
    QProcess process;
    process.start(QCoreApplication::applicationFilePath(), {"--leader-ends"});
    QVERIFY(process.waitForStarted());
    ProcessProbe probe(platform::createProcessQuery());
    QTRY_VERIFY(isRunning(probe, QStringLiteral("zvprobe-leader")));
    const auto state = [&process] {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(process.processId()));
        return stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
    };
    QTRY_VERIFY(state().contains(") Z "));
    QTest::qWait(60);
    QVERIFY(isRunning(probe, QStringLiteral("zvprobe-leader")));
    process.kill();
    process.waitForFinished();
}

void TestProcessProbe::oneScanServesQueriesWithinFiftyMilliseconds()
{
    using namespace std::chrono_literals;
    LinuxProcessQuery::Clock::time_point now{};
    LinuxProcessQuery query([&now] { return now; });
    NamedProcess process(QStringLiteral("zvprobe-reuse"));

    // Ten slots ticking together cost one scan.
    for (int slot = 0; slot < 10; ++slot)
        QVERIFY(query.isRunning("zvprobe-reuse"));
    QCOMPARE(query.scanCount(), std::size_t(1));

    now += 49ms;
    process.stop();
    QVERIFY(query.isRunning("zvprobe-reuse")); // still the listing of 49 ms ago
    QCOMPARE(query.scanCount(), std::size_t(1));

    now += 1ms; // 50 ms old: not reused
    QVERIFY(!query.isRunning("zvprobe-reuse"));
    QCOMPARE(query.scanCount(), std::size_t(2));

    // An empty name never lists anything.
    now += 1s;
    QVERIFY(!query.isRunning(""));
    QCOMPARE(query.scanCount(), std::size_t(2));
}

void TestProcessProbe::imageNameComparison_data()
{
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QByteArray>("b");
    QTest::addColumn<bool>("same");
    QTest::newRow("ASCII case") << QByteArray("Notepad.EXE") << QByteArray("notepad.exe") << true;
    QTest::newRow("different") << QByteArray("notepad.exe") << QByteArray("notepad.ex") << false;
    QTest::newRow("Unicode case") << QByteArray("straße.exe") << QByteArray("STRASSE.EXE") << false;
    QTest::newRow("Greek") << QByteArray("σίγμα") << QByteArray("ΣΊΓΜΑ") << true;
    QTest::newRow("invalid UTF-8 equal") << QByteArray("a\xff") << QByteArray("A\xff") << true;
    QTest::newRow("invalid UTF-8 differs") << QByteArray("a\xfe") << QByteArray("a\xff") << false;
}

void TestProcessProbe::imageNameComparison()
{
    QFETCH(QByteArray, a);
    QFETCH(QByteArray, b);
    QFETCH(bool, same);
    QCOMPARE(platform::sameImageName(a.toStdString(), b.toStdString()), same);
}

int main(int argc, char **argv)
{
    if (argc == 2 && qstrcmp(argv[1], "--leader-ends") == 0) {
        ::prctl(PR_SET_NAME, "zvprobe-leader");
        std::thread([] { std::this_thread::sleep_for(std::chrono::minutes(10)); }).detach();
        ::pthread_exit(nullptr);
    }
    QCoreApplication app(argc, argv);
    TestProcessProbe test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_processprobe.moc"

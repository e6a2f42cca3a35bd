#include "namedprocess.h"
#include "processprobe.h"
#include "processquery_linux.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <memory>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using platform::LinuxProcessQuery;
using namespace std::chrono_literals;

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
    void unreapedProcessIsNotRunning();
    void oneScanServesQueriesWithinFiftyMilliseconds_data();
    void oneScanServesQueriesWithinFiftyMilliseconds();

    // A true answer is re-checked against the process that gave it.
    void recheckFollowsTheProcess_data();
    void recheckFollowsTheProcess();
    void recheckSeesPidReuseAndRenames_data();
    void recheckSeesPidReuseAndRenames();

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
    LinuxProcessQuery::Clock::time_point now{};
    LinuxProcessQuery query([&now] { return now; });
    const auto nextTick = [&] {
        now += 1s;
        return query.isRunning("zvprobe-leader");
    };
    QTRY_VERIFY(nextTick());
    const auto state = [&process] {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(process.processId()));
        return stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
    };
    QTRY_VERIFY(state().contains(") Z "));
    const std::size_t scans = query.scanCount();
    QVERIFY(nextTick()); // the re-check counts it
    QCOMPARE(query.scanCount(), scans);
    QVERIFY(LinuxProcessQuery().isRunning("zvprobe-leader")); // and so does a scan
    process.kill();
    process.waitForFinished();
}

void TestProcessProbe::unreapedProcessIsNotRunning()
{
    int ready[2];
    QVERIFY(::pipe(ready) == 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_NAME, "zvprobe-zombie");
        const char named = 1;
        if (::write(ready[1], &named, 1) != 1)
            ::_exit(1);
        for (;;)
            ::pause();
    }
    QVERIFY(pid > 0);
    ::close(ready[1]);
    char named = 0;
    const bool childNamed = ::read(ready[0], &named, 1) == 1;
    ::close(ready[0]);

    LinuxProcessQuery::Clock::time_point now{};
    LinuxProcessQuery query([&now] { return now; });
    const bool runningBefore = childNamed && query.isRunning("zvprobe-zombie");
    ::kill(pid, SIGKILL);
    siginfo_t info = {};
    ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOWAIT); // ended, left unreaped
    now += 1s;
    const bool runningAsZombie = query.isRunning("zvprobe-zombie");
    ::waitpid(pid, nullptr, 0);
    QVERIFY(runningBefore);
    QVERIFY(!runningAsZombie);
}

void TestProcessProbe::oneScanServesQueriesWithinFiftyMilliseconds_data()
{
    // The fake clock moves on by this much while a scan runs.
    QTest::addColumn<int>("scanMs");
    QTest::newRow("quick scan") << 0;
    QTest::newRow("scan slower than the window") << 120;
}

void TestProcessProbe::oneScanServesQueriesWithinFiftyMilliseconds()
{
    QFETCH(int, scanMs);
    LinuxProcessQuery::Clock::time_point now{};
    const LinuxProcessQuery *counter = nullptr;
    std::size_t scansSeen = 0;
    LinuxProcessQuery query([&] {
        if (counter && counter->scanCount() != scansSeen) {
            scansSeen = counter->scanCount();
            now += std::chrono::milliseconds(scanMs);
        }
        return now;
    });
    counter = &query;
    NamedProcess process(QStringLiteral("zvprobe-reuse"));

    // Ten slots ticking together cost one scan, also when they fell due while it ran.
    for (int slot = 0; slot < 10; ++slot)
        QVERIFY(query.isRunning("zvprobe-reuse"));
    QCOMPARE(query.scanCount(), std::size_t(1));

    now += 49ms;
    process.stop();
    QVERIFY(query.isRunning("zvprobe-reuse")); // still the listing that ended 49 ms ago
    QCOMPARE(query.scanCount(), std::size_t(1));

    now += 1ms; // 50 ms old: not reused
    QVERIFY(!query.isRunning("zvprobe-reuse"));
    QCOMPARE(query.scanCount(), std::size_t(2));

    // An empty name never lists anything.
    now += 1s;
    QVERIFY(!query.isRunning(""));
    QCOMPARE(query.scanCount(), std::size_t(2));
}

void TestProcessProbe::recheckFollowsTheProcess_data()
{
    QTest::addColumn<QString>("imageName");
    QTest::addColumn<QString>("asked");
    QTest::newRow("short name") << "zvprobe-keep"
                                << "ZVPROBE-KEEP";
    // Exactly as long as the kernel keeps: the re-check must rule out a longer real name again.
    QTest::newRow("15 bytes") << "zvprobe-keep-15"
                              << "zvprobe-keep-15";
    QTest::newRow("over 15 bytes") << "zvprobe-keep-long-name.exe"
                                   << "ZvProbe-Keep-Long-Name.EXE";
    QTest::newRow("non-ASCII") << "zvprüfer-keep"
                               << "ZVPRÜFER-KEEP";
}

void TestProcessProbe::recheckFollowsTheProcess()
{
    QFETCH(QString, imageName);
    QFETCH(QString, asked);
    const std::string name = asked.toStdString();
    LinuxProcessQuery::Clock::time_point now{};
    LinuxProcessQuery query([&now] { return now; });
    const auto nextTick = [&] {
        now += 1s;
        return query.isRunning(name);
    };

    auto first = std::make_unique<NamedProcess>(imageName);
    QVERIFY(first->isStarted());
    QVERIFY(nextTick());
    auto second = std::make_unique<NamedProcess>(imageName);
    QVERIFY(second->isStarted());
    for (int tick = 0; tick < 3; ++tick)
        QVERIFY(nextTick());
    QCOMPARE(query.scanCount(), std::size_t(1)); // the first process stayed, nothing listed

    first->stop(); // a scan finds the second, which the next ticks re-check
    QVERIFY(nextTick());
    QVERIFY(nextTick());
    QCOMPARE(query.scanCount(), std::size_t(2));

    second->stop();
    QVERIFY(!nextTick());
    QVERIFY(!nextTick());
    QCOMPARE(query.scanCount(), std::size_t(4)); // a false answer always lists
}

namespace {

// A /proc/PID/stat line as the kernel writes it, up to a little past the start time (field 22).
QByteArray statLine(const QByteArray &name, qulonglong startTime)
{
    return QByteArray("4242 (") + name + ") S" +
           " 1 4242 4242 0 -1 4194560 0 0 0 0 0 0 0 0 20 0 1 0 " + QByteArray::number(startTime) +
           " 0 0\n";
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) >= 0;
}

} // namespace

void TestProcessProbe::recheckSeesPidReuseAndRenames_data()
{
    // One process, pid 4242, in a /proc of our own; then what that pid shows at the next tick.
    QTest::addColumn<QByteArray>("asked");
    QTest::addColumn<QByteArray>("stat");
    QTest::addColumn<QByteArray>("cmdline");
    QTest::addColumn<QByteArray>("statAfter");
    QTest::addColumn<QByteArray>("cmdlineAfter");
    QTest::addColumn<bool>("running");
    QTest::addColumn<int>("scans");

    const QByteArray tool = statLine("zvfake-tool", 1000);
    const QByteArray cmd("/opt/zvfake-tool\0--quiet\0", 25);
    QTest::newRow("same process") << QByteArray("zvfake-tool") << tool << cmd << tool << cmd << true
                                  << 1;
    // Only a scan may say whether a newcomer under the same pid counts.
    QTest::newRow("pid reused, same name") << QByteArray("zvfake-tool") << tool << cmd
                                           << statLine("zvfake-tool", 2000) << cmd << true << 2;
    QTest::newRow("pid reused, other name") << QByteArray("zvfake-tool") << tool << cmd
                                            << statLine("zvfake-other", 2000) << cmd << false << 2;
    QTest::newRow("renamed itself") << QByteArray("zvfake-tool") << tool << cmd
                                    << statLine("zvfake-other", 1000) << cmd << false << 2;

    // Over 15 bytes the name comes from argv[0], which the re-check reads again.
    const QByteArray cut = statLine("zvfake-long-too", 1000);
    const QByteArray longCmd("/opt/zvfake-long-tool-name.exe\0", 31);
    QTest::newRow("long name, same process")
        << QByteArray("ZVFAKE-LONG-TOOL-NAME.EXE") << cut << longCmd << cut << longCmd << true << 1;
    QTest::newRow("long name, ran another program")
        << QByteArray("zvfake-long-tool-name.exe") << cut << longCmd << cut
        << QByteArray("/opt/zvfake-long-tool-other") << false << 2;
}

void TestProcessProbe::recheckSeesPidReuseAndRenames()
{
    QFETCH(QByteArray, asked);
    QFETCH(QByteArray, stat);
    QFETCH(QByteArray, cmdline);
    QFETCH(QByteArray, statAfter);
    QFETCH(QByteArray, cmdlineAfter);
    QFETCH(bool, running);
    QFETCH(int, scans);

    QTemporaryDir proc;
    const QString dir = proc.filePath(QStringLiteral("4242"));
    QVERIFY(QDir().mkpath(dir));
    QVERIFY(writeFile(dir + "/stat", stat));
    QVERIFY(writeFile(dir + "/cmdline", cmdline));
    LinuxProcessQuery::Clock::time_point now{};
    LinuxProcessQuery query([&now] { return now; }, proc.path().toStdString());
    QVERIFY(query.isRunning(asked.toStdString()));

    QVERIFY(writeFile(dir + "/stat", statAfter) && writeFile(dir + "/cmdline", cmdlineAfter));
    now += 1s;
    QCOMPARE(query.isRunning(asked.toStdString()), running);
    QCOMPARE(query.scanCount(), std::size_t(scans));

    // A name no slot asks for any more is forgotten.
    now += LinuxProcessQuery::kForgetAfter;
    QVERIFY(!query.isRunning("zvfake-unasked"));
    QCOMPARE(query.rememberedCount(), std::size_t(0));
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

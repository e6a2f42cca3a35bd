#include "namedprocess.h"
#include "processprobe.h"
#include "processquery_linux.h"

#include <QTemporaryDir>
#include <QtTest>
#include <sys/prctl.h>

Q_DECLARE_METATYPE(NamedProcess::Form)

using platform::LinuxProcessQuery;
using namespace std::chrono_literals;

namespace {

// The Linux query on a clock of the test's own, moved on a second at each tick as a slot's timer
// would; over the real /proc or one the test writes.
struct Ticking
{
    explicit Ticking(const std::string &procRoot = "/proc")
        : query([this] { return now; }, procRoot)
    {}
    bool tick(const std::string &name)
    {
        now += 1s;
        return query.isRunning(name);
    }
    LinuxProcessQuery::Clock::time_point now{};
    LinuxProcessQuery query;
};

// A /proc/PID/stat line as the kernel writes it, up to a little past the start time (field 22),
// with the state (field 3) and the thread count (field 20).
QByteArray statLine(const QByteArray &name, qulonglong startTime, char state = 'S', int threads = 1)
{
    return "4242 (" + name + ") " + state + " 1 4242 4242 0 -1 4194560 0 0 0 0 0 0 0 0 20 0 " +
           QByteArray::number(threads) + " 0 " + QByteArray::number(startTime) + " 0 0\n";
}

} // namespace

// The Linux probe against real processes started under names chosen for each case.
class TestProcessProbe : public QObject
{
    Q_OBJECT

private slots:
    void findsProcessesByImageName_data()
    {
        QTest::addColumn<QString>("imageName");
        QTest::addColumn<NamedProcess::Form>("form");
        QTest::addColumn<QStringList>("found");
        QTest::addColumn<QStringList>("notFound");
        const auto binary = NamedProcess::Form::Binary;
        QTest::newRow("plain") << "zvprobe-plain" << binary
                               << QStringList{"zvprobe-plain", "ZVPROBE-PLAIN"}
                               << QStringList{"zvprobe-plai",      "zvprobe",    "zvprobe-plain ",
                                              "zvprobe-plain.exe", "zvprobe-.*", "*"};
        // A space, and parentheses as in the kernel's stat line.
        QTest::newRow("extension, space, parentheses")
            << "zv) probe (x.exe" << binary << QStringList{"zv) probe (x.exe", "ZV) Probe (X.EXE"}
            << QStringList{"zv) probe (x", "zv) probe (x.ex", "zv)", "probe (x.exe",
                           "zv)probe(x.exe"};
        // The kernel keeps only 15 bytes of the name; the long name comes from argv[0] and exe.
        // Exactly as long as the kernel keeps: a longer real name must be ruled out.
        QTest::newRow("15 bytes") << "zvprobe-keep-15" << binary
                                  << QStringList{"zvprobe-keep-15", "ZVPROBE-KEEP-15"}
                                  << QStringList{"zvprobe-keep-1", "zvprobe-keep-15."};
        QTest::newRow("over 15 bytes")
            << "zvprobe-a-very-long-name.exe" << binary
            << QStringList{"zvprobe-a-very-long-name.exe", "ZVPROBE-A-VERY-LONG-NAME.EXE"}
            << QStringList{"zvprobe-a-very-", "zvprobe-a-very-long-name.ex",
                           "zvprobe-a-very-long-name.exe2", "zvprobe-a-very-other"};
        QTest::newRow("non-ASCII over 15 bytes")
            << "zvüberwachung-lang.exe" << binary
            << QStringList{"zvüberwachung-lang.exe", "ZVÜBERWACHUNG-LANG.EXE"}
            << QStringList{"zvüberwachung-la"};
        // The longest name a file can have.
        const QString longest = "zvprobe-" + QString(247, 'n');
        QTest::newRow("255 bytes") << longest << binary << QStringList{longest, longest.toUpper()}
                                   << QStringList{longest.chopped(1)};
        // A script: the interpreter runs, and the kernel cuts the script's name. Missed: the
        // full name was red and the cut one green.
        QTest::newRow("shell script")
            << "zvx-backup-nightly.sh" << NamedProcess::Form::ShellScript
            << QStringList{"zvx-backup-nightly.sh", "ZVX-Backup-Nightly.SH"}
            << QStringList{"zvx-backup-nigh", "zvx-backup-nightly"};
        // Started under a longer argv[0]: the executable's name, whole in the kernel's, wins.
        // Missed: the made-up name was green and the real one red.
        QTest::newRow("argv[0] longer than the 15-byte executable")
            << "zvx15bytesnameB" << NamedProcess::Form::FakeArgv0
            << QStringList{"zvx15bytesnameB", "ZVX15BYTESNAMEB"}
            << QStringList{"zvx15bytesnameBXYZ", "zvx15bytesname"};
    }

    void findsProcessesByImageName()
    {
        QFETCH(QString, imageName);
        QFETCH(NamedProcess::Form, form);
        QFETCH(QStringList, found);
        QFETCH(QStringList, notFound);
        Ticking probe;
        for (const QString &name : found)
            QVERIFY2(!probe.tick(name.toStdString()), qPrintable(name + " runs before the test"));
        auto first = std::make_unique<NamedProcess>(imageName, form);
        QVERIFY(first->isStarted());
        for (const QString &name : found)
            QVERIFY2(probe.tick(name.toStdString()), qPrintable(name));

        // A true answer is re-checked against the process that gave it: no listing while that
        // one runs, however many others of the name start or end.
        const QString asked = found.first();
        const std::size_t scans = probe.query.scanCount();
        NamedProcess twin(imageName, form);
        QVERIFY(probe.tick(asked.toStdString()));
        QCOMPARE(probe.query.scanCount(), scans);
        first.reset(); // a scan finds the twin, which the next tick re-checks
        QVERIFY(probe.tick(asked.toStdString()) && probe.tick(asked.toStdString()));
        QCOMPARE(probe.query.scanCount(), scans + 1);
        for (const QString &name : notFound) // a false answer always lists
            QVERIFY2(!probe.tick(name.toStdString()), qPrintable(name));
        QCOMPARE(probe.query.scanCount(), scans + 1 + notFound.size());
    }

    // The comm files stay open from one scan to the next: each must still read the name as it is
    // now. This process renames itself.
    void seesARenameAtTheNextScan()
    {
        Ticking probe;
        char was[16] = {};
        ::prctl(PR_GET_NAME, was);
        QVERIFY(!probe.tick("zvprobe-renamed"));
        ::prctl(PR_SET_NAME, "zvprobe-renamed");
        const bool seen = probe.tick("zvprobe-renamed");
        ::prctl(PR_SET_NAME, was);
        QVERIFY(seen);
        QVERIFY(!probe.tick("zvprobe-renamed"));
        QCOMPARE(probe.query.scanCount(), std::size_t(3));
    }

    void oneScanServesQueriesWithinFiftyMilliseconds_data()
    {
        QTest::addColumn<int>("scanMs"); // how far the clock moves on while a scan runs
        QTest::newRow("quick scan") << 0;
        QTest::newRow("scan slower than the window") << 120;
    }

    void oneScanServesQueriesWithinFiftyMilliseconds()
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
    }

    void oneProcessInAProcOfTheTestsOwn_data()
    {
        // Pid 4242 as the first tick finds it and as the next one does.
        QTest::addColumn<QByteArray>("asked");
        QTest::addColumn<QByteArrayList>("before"); // stat, cmdline
        QTest::addColumn<bool>("found");
        QTest::addColumn<QByteArrayList>("after");
        QTest::addColumn<bool>("running");
        QTest::addColumn<int>("scans");
        const auto tool = [](const QByteArray &name, qulonglong startTime = 1000, char state = 'S',
                             int threads = 1) {
            return QByteArrayList{statLine(name, startTime, state, threads), "/opt/zvfake-tool"};
        };
        // Names compare without regard to case: simple Unicode case folding where both are
        // UTF-8 (no "ß" to "SS"), ASCII letters alone where one is not.
        struct Names
        {
            const char *tag;
            QByteArray name, asked;
            bool same;
        };
        for (const Names &c : {Names{"ASCII case", "Notepad.EXE", "notepad.exe", true},
                               Names{"shorter", "notepad.exe", "notepad.ex", false},
                               Names{"no full folding", "straße.exe", "STRASSE.EXE", false},
                               Names{"Greek", "σίγμα", "ΣΊΓΜΑ", true},
                               Names{"not UTF-8, equal", "a\xff", "A\xff", true},
                               Names{"not UTF-8, different", "a\xfe", "a\xff", false}}) {
            QTest::newRow(c.tag) << c.asked << tool(c.name) << c.same << tool(c.name) << c.same
                                 << (c.same ? 1 : 2);
        }
        // A process that ended and is not yet reaped is a zombie, and no longer runs; but the
        // kernel shows a leader that ended its own thread as one too, and the count of its
        // threads still running.
        QTest::newRow("zombie") << QByteArray("zvfake-tool") << tool("zvfake-tool", 1000, 'Z')
                                << false << tool("zvfake-tool", 1000, 'Z') << false << 2;
        QTest::newRow("leader zombie, threads run")
            << QByteArray("zvfake-tool") << tool("zvfake-tool", 1000, 'Z', 2) << true
            << tool("zvfake-tool", 1000, 'Z', 1) << false << 2;
        // The re-check of a true answer: only a scan may say whether a newcomer under the same
        // pid counts.
        QTest::newRow("same process") << QByteArray("zvfake-tool") << tool("zvfake-tool") << true
                                      << tool("zvfake-tool") << true << 1;
        QTest::newRow("pid reused, same name") << QByteArray("zvfake-tool") << tool("zvfake-tool")
                                               << true << tool("zvfake-tool", 2000) << true << 2;
        QTest::newRow("pid reused, other name") << QByteArray("zvfake-tool") << tool("zvfake-tool")
                                                << true << tool("zvfake-other", 2000) << false << 2;
        QTest::newRow("renamed itself") << QByteArray("zvfake-tool") << tool("zvfake-tool") << true
                                        << tool("zvfake-other") << false << 2;
        // Over 15 bytes the name comes from argv[0], which the re-check reads again.
        const char longArgs[] = "/opt/zvfake-long-tool-name.exe\0--quiet"; // NUL after each
        const QByteArrayList cut{statLine("zvfake-long-too", 1000), {longArgs, sizeof longArgs}};
        QTest::newRow("long name, same process")
            << QByteArray("ZVFAKE-LONG-TOOL-NAME.EXE") << cut << true << cut << true << 1;
        QTest::newRow("long name, ran another program")
            << QByteArray("zvfake-long-tool-name.exe") << cut << true
            << QByteArrayList{cut[0], "/opt/zvfake-long-tool-other"} << false << 2;
        // No file name is longer than 255 bytes: a longer name is red without a look at /proc.
        // Missed: a name of megabytes cost a scan and a comparison with every process each tick.
        const QByteArray longest = "zvfake-" + QByteArray(248, 'n');
        const QByteArrayList named{statLine(longest.left(15), 1000), "/opt/" + longest};
        QTest::newRow("255 bytes") << longest << named << true << named << true << 1;
        QTest::newRow("256 bytes, no scan")
            << longest + 'n' << QByteArrayList{named[0], named[1] + 'n'} << false
            << QByteArrayList{named[0], named[1] + 'n'} << false << 0;
    }

    void oneProcessInAProcOfTheTestsOwn()
    {
        QFETCH(QByteArray, asked);
        QFETCH(QByteArrayList, before);
        QFETCH(QByteArrayList, after);
        QTemporaryDir proc;
        // The stat line and the command line; the kernel's name in comm as in the stat line.
        const auto show = [&proc](const QByteArrayList &files) {
            QDir().mkpath(proc.filePath("4242"));
            const QByteArray &stat = files[0];
            const qsizetype open = stat.indexOf('('), close = stat.lastIndexOf(')');
            const QByteArray comm = stat.mid(open + 1, close - open - 1) + '\n';
            for (const auto &[name, content] :
                 {std::pair{"4242/stat", stat}, {"4242/cmdline", files[1]}, {"4242/comm", comm}}) {
                QFile file(proc.filePath(name));
                QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
                file.write(content);
            }
        };
        Ticking probe(proc.path().toStdString());
        show(before);
        QTEST(probe.tick(asked.toStdString()), "found");
        show(after);
        QTEST(probe.tick(asked.toStdString()), "running");
        QTEST(int(probe.query.scanCount()), "scans");
        // A name no slot asks for any more is forgotten.
        probe.now += LinuxProcessQuery::kForgetAfter;
        QVERIFY(!probe.tick("zvfake-unasked"));
        QCOMPARE(probe.query.rememberedCount(), std::size_t(0));
    }
};

QTEST_GUILESS_MAIN(TestProcessProbe)

#include "test_processprobe.moc"

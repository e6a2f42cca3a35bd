#include "namedprocess.h"
#include "processquery_linux.h"
#include "teststore.h"

#include <QtTest>

using platform::LinuxProcessQuery;
using namespace std::chrono_literals;

namespace {

// The Linux query on a clock of the test's own, moved on a second at each tick as a slot's timer
// would, so that no listing is reused; over the real /proc or one the test writes.
struct Ticking
{
    explicit Ticking(const std::string &root = "/proc") : query([this] { return now; }, root) {}
    bool tick(const QByteArray &name)
    {
        now += 1s;
        return query.isRunning(name.toStdString());
    }
    LinuxProcessQuery::Clock::time_point now{};
    LinuxProcessQuery query;
};

// Pid 4242 in a /proc of the test's own, gone when `name` (the kernel's, at most 15 bytes) is
// empty. Its files are rewritten in place, as the kernel's change under a reader holding them.
struct Shown
{
    QByteArray name;
    QByteArray cmdline = "/opt/zvfake-tool";
    qulonglong startTime = 1000;
    char state = 'S';
    int threads = 1;
};

void show(const QTemporaryDir &proc, const Shown &process)
{
    QDir dir(proc.filePath("4242"));
    if (process.name.isEmpty())
        return void(dir.removeRecursively());
    // The stat line up to a little past the start time (field 22), with the state (field 3) and
    // the thread count (field 20).
    const QByteArray stat = "4242 (" + process.name + ") " + process.state +
                            " 1 4242 4242 0 -1 4194560 0 0 0 0 0 0 0 0 20 0 " +
                            QByteArray::number(process.threads) + " 0 " +
                            QByteArray::number(process.startTime) + " 0 0\n";
    for (const auto &[name, content] :
         {std::pair{"stat", stat}, {"cmdline", process.cmdline}, {"comm", process.name + '\n'}})
        writeBytes(dir.filePath(name), content);
}

} // namespace

class TestProcessProbe : public QObject
{
    Q_OBJECT

private slots:
    // Real processes started under names chosen for each case: green under the image name and
    // `other` (another case), red under each name in `notFound` ('|' between names).
    void findsProcessesByImageName()
    {
        using Form = NamedProcess::Form;
        const struct
        {
            QString imageName;
            Form form;
            QString other, notFound;
        } cases[] = {
            // A space, and parentheses as in the kernel's stat line.
            {"zv) probe (x.exe", Form::Binary, "ZV) Probe (X.EXE", "zv) probe (x|zv)probe(x.exe"},
            // The kernel keeps 15 bytes; the long name comes from exe or argv[0]. Exactly 15:
            // a longer real name must be ruled out.
            {"zvprobe-keep-15", Form::Binary, "ZVPROBE-KEEP-15", "zvprobe-keep-15."},
            {"zvüberwachung-lang.exe", Form::Binary, "ZVÜBERWACHUNG-LANG.EXE", "zvüberwachung-la"},
            // A script: the interpreter runs, and the kernel cuts the script's name. Missed: the
            // full name was red and the cut one green.
            {"zvx-backup-nightly.sh", Form::ShellScript, "ZVX-Backup-Nightly.SH",
             "zvx-backup-nigh|zvx-backup-nightly"},
            // Started under a longer argv[0]: the executable's name, whole in the kernel's, wins.
            // Missed: the made-up name was green and the real one red.
            {"zvx15bytesnameB", Form::FakeArgv0, "ZVX15BYTESNAMEB", "zvx15bytesnameBXYZ"},
        };
        for (const auto &c : cases) {
            Ticking probe;
            NamedProcess process(c.imageName, c.form);
            QVERIFY2(probe.tick(c.imageName.toUtf8()) && probe.tick(c.other.toUtf8()),
                     qPrintable(c.imageName));
            for (const QString &name : c.notFound.split('|'))
                QVERIFY2(!probe.tick(name.toUtf8()), qPrintable(name));
        }
    }

    // Pid 4242 as the first tick finds it (`before`: `found`) and the next (`after`: `running`).
    void oneProcessInAProcOfTheTestsOwn()
    {
        const QByteArray tool = "zvfake-tool", other = "zvfake-other", cmd = "/opt/zvfake-tool";
        const QByteArray longest = "zvfake-" + QByteArray(248, 'n');
        const Shown named{longest.left(15), "/opt/" + longest};
        const char longArgs[] = "/opt/zvfake-long-tool-name.exe\0--quiet"; // NUL after each
        const Shown cut{"zvfake-long-too", {longArgs, sizeof longArgs}};
        const Shown ran{cut.name, "/opt/zvfake-long-tool-other"};
        const char codeArgs[] = "python3\0-c\0#/zvfake-long-tool-name.exe"; // renamed itself
        const Shown code{cut.name, {codeArgs, sizeof codeArgs}};
        const struct
        {
            const char *tag;
            QByteArray asked;
            Shown before, after;
            bool found, running;
        } cases[] = {
            // Names compare without regard to case (ASCII alone: the real processes above):
            // simple Unicode case folding where both are UTF-8 (no "ß" to "SS"), ASCII letters
            // alone where one is not.
            {"no full folding", "STRASSE.EXE", {"straße.exe"}, {"straße.exe"}, false, false},
            {"Greek", "ΣΊΓΜΑ", {"σίγμα"}, {"σίγμα"}, true, true},
            {"not UTF-8, equal", "A\xff", {"a\xff"}, {"a\xff"}, true, true},
            {"not UTF-8, different", "a\xff", {"a\xfe"}, {"a\xfe"}, false, false},
            // An ended process not yet reaped is a zombie; but the kernel shows a leader that
            // ended its own thread as one too, and the count of its threads still running.
            {"zombie", tool, {tool, cmd, 1000, 'Z'}, {tool, cmd, 1000, 'Z'}, false, false},
            {"leader zombie", tool, {tool, cmd, 1000, 'Z', 2}, {tool, cmd, 1000, 'Z'}, true, false},
            // The re-check of a true answer, and what only a scan may decide.
            {"ended", tool, {tool}, {}, true, false},
            {"pid reused, same name", tool, {tool}, {tool, cmd, 2000}, true, true},
            {"pid reused, other name", tool, {tool}, {other, cmd, 2000}, true, false},
            {"renamed itself", tool, {tool}, {other}, true, false},
            {"renamed to the name", tool, {other}, {tool}, false, true},
            // Over 15 bytes the name comes from argv[0], which the re-check reads again.
            {"long name, same process", "ZVFAKE-LONG-TOOL-NAME.EXE", cut, cut, true, true},
            {"long name, ran another program", "zvfake-long-tool-name.exe", cut, ran, true, false},
            {"program text is no script", "zvfake-long-tool-name.exe", code, code, false, false},
            {"255 bytes", longest, named, named, true, true},
        };
        for (const auto &c : cases) {
            QTemporaryDir proc;
            Ticking probe(proc.path().toStdString());
            show(proc, c.before);
            const bool found = probe.tick(c.asked);
            show(proc, c.after);
            const bool running = probe.tick(c.asked);
            QVERIFY2(found == c.found && running == c.running, c.tag);
        }
        // No file name is longer than 255 bytes: a longer name is red without a look at /proc.
        // Missed: a name of megabytes cost a scan and a comparison with every process each tick.
        Ticking probe;
        QVERIFY(!probe.tick(QByteArray(256, 'n')));
        QCOMPARE(probe.query.scanCount(), std::size_t(0));
    }
};

QTEST_GUILESS_MAIN(TestProcessProbe)

#include "test_processprobe.moc"

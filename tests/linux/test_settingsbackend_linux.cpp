#include "settingsbackend_linux.h"

#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>
#include <fcntl.h>
#include <random>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

// The INI back end on real files in a private folder, read and written beside QSettings itself.
namespace {

using platform::IniSettingsBackend;
using platform::StoredValue;

// The stored text, invalid when absent, so that QCOMPARE shows both sides.
QVariant valueOf(platform::SettingsBackend &backend, const QString &path)
{
    const QString section = path.section('/', 0, 0);
    const auto text =
        backend.read(section.toStdString(), path.mid(section.size() + 1).toStdString());
    return text ? QVariant(QString::fromStdString(*text)) : QVariant();
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

// What QSettings reads from the file now. Read from a copy under a new name: QSettings keeps a
// file it has read, and looks at it again only when its size or time changed.
QSettings::Status qtRead(const QString &path, QVariantMap &values)
{
    static int copies = 0;
    const QString copy = path + ".qt-" + QString::number(++copies);
    QFile::copy(path, copy);
    QSettings::Status status;
    {
        const QSettings settings(copy, QSettings::IniFormat);
        values.clear();
        for (const QString &key : settings.allKeys())
            values.insert(key, settings.value(key));
        status = settings.status();
    }
    QFile::remove(copy);
    return status;
}

// What is written to stderr while it lives: the back ends' reports.
class StderrCapture
{
public:
    StderrCapture() : m_saved(::dup(STDERR_FILENO))
    {
        m_file.open();
        std::fflush(stderr);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StderrCapture() { restore(); }
    QString text()
    {
        restore();
        return QString::fromLocal8Bit(fileBytes(m_file.fileName()));
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stderr);
        ::dup2(m_saved, STDERR_FILENO);
        ::close(m_saved);
        m_saved = -1;
    }
    QTemporaryFile m_file;
    int m_saved;
};

// The child for the merge test: `count` batches of five keys "<prefix>_n", each batch setting
// all five to its number, as another copy of the program saving; a write that finds the lock
// taken is tried again. 3 when its last batch was lost to another writer meanwhile.
int writeBatches(const char *path, const std::string &prefix, int count)
{
    IniSettingsBackend backend(path);
    for (int i = 1; i <= count; ++i) {
        if (i > 1 && backend.read("Settings", prefix + "_1") != std::to_string(i - 1))
            return 3;
        std::vector<StoredValue> batch;
        for (int n = 1; n <= 5; ++n)
            batch.push_back({prefix + '_' + std::to_string(n), std::to_string(i)});
        for (int tries = 1; !backend.write("Settings", batch); ++tries) {
            if (tries == 100)
                return 1;
        }
    }
    return 0;
}

// The child for the full-disk test, in a mount namespace of its own: the store on a tiny file
// system that is full. 0 when the write fails and the file keeps what it had.
int saveOnFullDisk(const std::string &folder)
{
    if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") != 0)
        return 77;
    const std::string path = folder + "/ZEL-VANTO.ini";
    writeBytes(QString::fromStdString(path), "[Settings]\nMainLeft=1\n");
    const int filler = ::open((folder + "/filler").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const std::string block(4096, 'x');
    while (::write(filler, block.data(), block.size()) > 0) {
    }
    ::close(filler);
    IniSettingsBackend backend(path);
    for (int i = 0; i < 2; ++i) {
        if (backend.write("Settings", {{"PROCESS_TEXTBOX_1", std::string(10000, 'y')}}))
            return 2;
    }
    return backend.read("Settings", "MainLeft") == "1" ? 0 : 3;
}

} // namespace

class TestSettingsBackendLinux : public QObject
{
    Q_OBJECT

private slots:
    void textsMeanTheSameToQSettings_data();
    void textsMeanTheSameToQSettings();
    void handEditedFilesReadAsQSettingsReadsThem_data();
    void handEditedFilesReadAsQSettingsReadsThem();
    void copiesMergeAndEachBatchLandsWhole();
    void whatIsNotARegularFileIsLeftAlone_data();
    void whatIsNotARegularFileIsLeftAlone();
    void damagedFilesAreKeptAndOnlyTheReadablePartCarried_data();
    void damagedFilesAreKeptAndOnlyTheReadablePartCarried();
    void locationFollowsTheXdgRules_data();
    void locationFollowsTheXdgRules();
    void fullDiskIsReported();
};

void TestSettingsBackendLinux::textsMeanTheSameToQSettings_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << "notepad.exe";
    QTest::newRow("spaces around") << "  my tool.exe  ";
    QTest::newRow("INI punctuation") << R"(a,b;c=d"e\f[g]#h)";
    QTest::newRow("typed-value look-alike") << "@Variant(x)";
    QTest::newRow("at signs") << "@@x";
    QTest::newRow("string form look-alike") << "@String(y)";
    QTest::newRow("control characters") << QString::fromUtf8("\x01"
                                                             "a\tb\nc\r\x1f"
                                                             "9");
    QTest::newRow("NUL, then hex digits") << QString::fromUtf8("a\0b1", 4);
    QTest::newRow("non-ASCII, DEL") << "Überwachung-日本語-😀\u0085\x7f";
    QTest::newRow("empty") << "";
    QTest::newRow("10000 characters") << QString(10000, 'x') + "é";
}

void TestSettingsBackendLinux::textsMeanTheSameToQSettings()
{
    QFETCH(QString, text);
    QTemporaryDir dir;
    const QString path = dir.filePath("ZEL-VANTO.ini");
    {
        QSettings qt(path, QSettings::IniFormat);
        qt.setValue("Settings/PROCESS_TEXTBOX_1", text);
        qt.setValue("Other/kept", QStringList{"a", "b"});
    }
    IniSettingsBackend backend(path.toStdString());
    QCOMPARE(valueOf(backend, "Settings/PROCESS_TEXTBOX_1"), QVariant(text));

    QVERIFY(backend.write("Settings", {{"PROCESS_TEXTBOX_2", text.toStdString()}}));
    QVariantMap values;
    QCOMPARE(qtRead(path, values), QSettings::NoError);
    const QVariantMap expected{{"Settings/PROCESS_TEXTBOX_1", text},
                               {"Settings/PROCESS_TEXTBOX_2", text},
                               {"Other/kept", QStringList{"a", "b"}}};
    QCOMPARE(values, expected);
    IniSettingsBackend later(path.toStdString());
    QCOMPARE(valueOf(later, "Settings/PROCESS_TEXTBOX_2"), QVariant(text));
}

void TestSettingsBackendLinux::handEditedFilesReadAsQSettingsReadsThem_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("text"); // invalid: absent
    QTest::addColumn<bool>("sameForQt");
    QTest::newRow("unquoted comma: a list for QSettings, its text here")
        << QByteArray("[Settings]\nPROCESS_TEXTBOX_1=a,b.exe\n") << "PROCESS_TEXTBOX_1"
        << QVariant("a,b.exe") << false;
    QTest::newRow("quotes, padding, comment")
        << QByteArray("[Settings]\nPROCESS_TEXTBOX_1 =  \"x; y \" ; note\n") << "PROCESS_TEXTBOX_1"
        << QVariant("x; y ") << true;
    QTest::newRow("escapes, CRLF")
        << QByteArray("[Settings]\r\nPROCESS_TEXTBOX_1=\\x41\\102\\?\\q\\\\\r\n")
        << "PROCESS_TEXTBOX_1" << QVariant("AB?\\") << true;
    QTest::newRow("byte order mark, escaped key")
        << QByteArray("\xef\xbb\xbf[Settings]\nENABLE%5FPW_7=1\n") << "ENABLE_PW_7" << QVariant("1")
        << true;
    QTest::newRow("section given twice")
        << QByteArray("[Settings]\nMainLeft=1\n[Other]\nMainLeft=3\n[Settings]\nMainLeft=2\n")
        << "MainLeft" << QVariant("2") << true;
    QTest::newRow("not a text") << QByteArray("[Settings]\nMainLeft=@Invalid()\n") << "MainLeft"
                                << QVariant() << true;
    QTest::newRow("doubled at sign")
        << QByteArray("[Settings]\nMainLeft=@@5\n") << "MainLeft" << QVariant("@5") << true;
    QTest::newRow("keys differ by case")
        << QByteArray("[Settings]\nmainleft=1\n") << "MainLeft" << QVariant() << true;
    QTest::newRow("trailing tab, no last line break")
        << QByteArray("[Settings]\nMainLeft=7\t") << "MainLeft" << QVariant("7") << true;
    QTest::newRow("no such group yet, no last line break")
        << QByteArray("[General]\nMainLeft=9") << "MainLeft" << QVariant() << true;
}

void TestSettingsBackendLinux::handEditedFilesReadAsQSettingsReadsThem()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, key);
    QFETCH(QVariant, text);
    QFETCH(bool, sameForQt);
    QTemporaryDir dir;
    const QString path = dir.filePath("ZEL-VANTO.ini");
    writeBytes(path, file);
    QVariantMap before;
    const QSettings::Status status = qtRead(path, before); // a BOM before a group: FormatError
    if (sameForQt)
        QCOMPARE(before.value("Settings/" + key), text);

    IniSettingsBackend backend(path.toStdString());
    QCOMPARE(valueOf(backend, "Settings/" + key), text);
    // Another key written: every line QSettings read stays as it read it.
    QVERIFY(backend.write("Settings", {{"MainTop", "5"}}));
    QVariantMap after;
    QCOMPARE(qtRead(path, after), status);
    before.insert("Settings/MainTop", "5");
    QCOMPARE(after, before);
    QVERIFY(!QFile::exists(path + ".damaged"));
    QCOMPARE(valueOf(backend, "Settings/" + key), text);
}

void TestSettingsBackendLinux::copiesMergeAndEachBatchLandsWhole()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("ZEL-VANTO.ini");
    IniSettingsBackend one(path.toStdString());
    IniSettingsBackend two(path.toStdString());
    QVERIFY(one.write("Settings", {{"MainLeft", "1"}}));
    QVERIFY(two.write("Settings", {{"MainTop", "2"}}));
    QCOMPARE(valueOf(one, "Settings/MainTop"), QVariant("2"));
    QCOMPARE(valueOf(two, "Settings/MainLeft"), QVariant("1"));
    QVERIFY(one.write("Settings", {{"MainTop", "3"}}));
    QCOMPARE(valueOf(two, "Settings/MainTop"), QVariant("3")); // the last writer's

    // A batch is one replacement of the file; what a writer killed before its rename left is
    // removed, and nothing else.
    writeBytes(path + ".tmp-k1lled", "[Settings]\nMainLeft=");
    writeBytes(path + ".backup", "the user's");
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    QVERIFY(::inotify_add_watch(watch, QFile::encodeName(dir.path()), IN_MOVED_TO) >= 0);
    std::vector<StoredValue> batch;
    for (int n = 1; n <= 10; ++n)
        batch.push_back({"PROCESS_TEXTBOX_" + std::to_string(n), "p" + std::to_string(n) + ".exe"});
    QVERIFY(one.write("Settings", batch));
    alignas(inotify_event) char events[4096];
    const ssize_t got = ::read(watch, events, sizeof events);
    ::close(watch);
    QVERIFY(!QFile::exists(path + ".tmp-k1lled"));
    QVERIFY(QFile::exists(path + ".backup"));
    QCOMPARE(got, ssize_t(sizeof(inotify_event) + reinterpret_cast<inotify_event *>(events)->len));

    // Two other programs saving batches at once: every file QSettings sees holds whole batches,
    // and in the end each has its last batch, and this one its values.
    QProcess children[2];
    for (int i = 0; i < 2; ++i) {
        children[i].start(QCoreApplication::applicationFilePath(),
                          {"--batches", path, i ? "B" : "A", "100"});
    }
    while (children[0].state() != QProcess::NotRunning ||
           children[1].state() != QProcess::NotRunning) {
        QVariantMap values;
        QCOMPARE(qtRead(path, values), QSettings::NoError);
        for (const char *prefix : {"Settings/A_", "Settings/B_"}) {
            for (int n = 2; n <= 5; ++n)
                QCOMPARE(values.value(prefix + QString::number(n)),
                         values.value(prefix + QString("1")));
        }
        QTest::qWait(1);
    }
    for (QProcess &child : children) {
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
    }
    for (const char *key : {"Settings/A_1", "Settings/A_5", "Settings/B_1", "Settings/B_5"})
        QCOMPARE(valueOf(one, key), QVariant("100"));
    QCOMPARE(valueOf(one, "Settings/PROCESS_TEXTBOX_10"), QVariant("p10.exe"));
}

void TestSettingsBackendLinux::whatIsNotARegularFileIsLeftAlone_data()
{
    QTest::addColumn<QString>("store");
    QTest::addColumn<QVariant>("readable"); // MainLeft, "1" in every regular file
    QTest::addColumn<QString>("report");    // empty: none
    QTest::newRow("link to a device node") << "device" << QVariant() << "is a link to a device";
    QTest::newRow("named pipe") << "pipe" << QVariant() << "is a named pipe";
    QTest::newRow("folder") << "folder" << QVariant() << "is a folder";
    QTest::newRow("lock is a named pipe") << "lock pipe" << QVariant("1") << "cannot be written";
    QTest::newRow("link to a regular file") << "link" << QVariant("1") << "";
}

void TestSettingsBackendLinux::whatIsNotARegularFileIsLeftAlone()
{
    QFETCH(QString, store);
    QFETCH(QVariant, readable);
    QFETCH(QString, report);
    QTemporaryDir dir;
    const QString path = dir.filePath("ZEL-VANTO.ini");
    const QByteArray file = QFile::encodeName(path);
    QString kept = path; // what must be left as it is
    const QByteArray content = "[Settings]\nMainLeft=1\n";
    if (store == "device") {
        kept = dir.filePath("null"); // a /dev/null of its own, never the real one
        if (::mknod(QFile::encodeName(kept), S_IFCHR | 0666, makedev(1, 3)) != 0)
            QSKIP("no device node can be made here (that takes root)");
        QCOMPARE(::symlink(QFile::encodeName(kept), file), 0);
    } else if (store == "pipe") {
        QCOMPARE(::mkfifo(file, 0600), 0);
    } else if (store == "folder") {
        QVERIFY(QDir().mkdir(path));
    } else if (store == "lock pipe") {
        writeBytes(path, content);
        kept = path + ".lock";
        QCOMPARE(::mkfifo(QFile::encodeName(kept), 0600), 0);
    } else {
        writeBytes(dir.filePath("target.ini"), content);
        QCOMPARE(::symlink("target.ini", file), 0);
    }
    struct stat before = {};
    ::lstat(QFile::encodeName(kept), &before);

    StderrCapture capture;
    {
        IniSettingsBackend backend(path.toStdString());
        QCOMPARE(valueOf(backend, "Settings/MainLeft"), readable);
        for (const char *text : {"2", "3"})
            QCOMPARE(backend.write("Settings", {{"MainTop", text}}), report.isEmpty());
        QCOMPARE(valueOf(backend, "Settings/MainTop"),
                 report.isEmpty() ? QVariant("3") : QVariant());
    }
    const QString reports = capture.text();
    QCOMPARE(reports.count("ZEL-VANTO: "), report.isEmpty() ? 0 : 1);
    QVERIFY2(report.isEmpty() || reports.contains(path + " " + report), qPrintable(reports));

    struct stat after = {};
    ::lstat(QFile::encodeName(kept), &after);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(QFileInfo(path).isSymLink(), store == "device" || store == "link");
    if (!report.isEmpty()) {
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_rdev, before.st_rdev);
    } else { // written through the link, which stays
        QCOMPARE(QFileInfo(path).symLinkTarget(), dir.filePath("target.ini"));
        IniSettingsBackend target(dir.filePath("target.ini").toStdString());
        QCOMPARE(valueOf(target, "Settings/MainTop"), QVariant("3"));
    }
}

void TestSettingsBackendLinux::damagedFilesAreKeptAndOnlyTheReadablePartCarried_data()
{
    QTest::addColumn<QByteArray>("damaged");
    QTest::addColumn<QVariantMap>("readable"); // all that is left of it
    // QSettings reads the quoted text on to the end of the file, as one value.
    QTest::newRow("stray quote")
        << QByteArray("[Settings]\nPROCESS_TEXTBOX_1=\"my tool.exe\nPROCESS_TEXTBOX_2=two.exe\n"
                      "ENABLE_PW_7=1\n[Other]\nx=1\n")
        << QVariantMap{{"Settings/PROCESS_TEXTBOX_1", "my tool.exe"},
                       {"Settings/PROCESS_TEXTBOX_2", "two.exe"},
                       {"Settings/ENABLE_PW_7", "1"},
                       {"Other/x", "1"}};
    std::mt19937 random(1);
    QByteArray noise(1 << 20, Qt::Uninitialized);
    for (char &byte : noise)
        byte = static_cast<char>(random());
    QTest::newRow("random bytes") << noise << QVariantMap();
}

void TestSettingsBackendLinux::damagedFilesAreKeptAndOnlyTheReadablePartCarried()
{
    QFETCH(QByteArray, damaged);
    QFETCH(QVariantMap, readable);
    QTemporaryDir dir;
    const QString path = dir.filePath("ZEL-VANTO.ini");
    writeBytes(path, damaged);
    writeBytes(path + ".damaged", "an older copy");

    StderrCapture capture;
    IniSettingsBackend backend(path.toStdString());
    for (auto value = readable.cbegin(); value != readable.cend(); ++value)
        QCOMPARE(valueOf(backend, value.key()), value.value());
    QVERIFY(backend.write("Settings", {{"MainTop", "7"}}));
    QVERIFY(backend.write("Settings", {{"MainLeft", "8"}}));
    const QString reports = capture.text();
    QCOMPARE(reports.count("ZEL-VANTO: "), 1);
    QVERIFY2(reports.contains(path + " is damaged") && reports.contains(path + ".damaged-2"),
             qPrintable(reports));
    QCOMPARE(fileBytes(path + ".damaged-2"), damaged);
    QCOMPARE(fileBytes(path + ".damaged"), QByteArray("an older copy"));
    QVERIFY(!QFile::exists(path + ".damaged-3"));

    QVERIFY(QFileInfo(path).size() < 16 * 1024);
    QVariantMap values;
    QCOMPARE(qtRead(path, values), QSettings::NoError);
    QCOMPARE(values.value("Settings/MainTop"), QVariant("7"));
    QCOMPARE(values.value("Settings/MainLeft"), QVariant("8"));
    if (!readable.isEmpty()) {
        readable.insert("Settings/MainTop", "7");
        readable.insert("Settings/MainLeft", "8");
        QCOMPARE(values, readable);
    }
}

void TestSettingsBackendLinux::locationFollowsTheXdgRules_data()
{
    QTest::addColumn<QString>("xdgConfigHome"); // "@" stands for a private folder
    QTest::addColumn<QString>("location");
    QTest::newRow("absolute, folders made") << "@/config"
                                            << "@/config/ZEL-VANTO/ZEL-VANTO.ini";
    QTest::newRow("relative: ignored") << "relative-config"
                                       << "@/home/.config/ZEL-VANTO/ZEL-VANTO.ini";
    QTest::newRow("empty: ignored") << ""
                                    << "@/home/.config/ZEL-VANTO/ZEL-VANTO.ini";
}

void TestSettingsBackendLinux::locationFollowsTheXdgRules()
{
    QFETCH(QString, xdgConfigHome);
    QFETCH(QString, location);
    QTemporaryDir dir;
    const QByteArray oldXdg = qgetenv("XDG_CONFIG_HOME");
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(xdgConfigHome.replace("@", dir.path())));
    qputenv("HOME", QFile::encodeName(dir.filePath("home")));
    const auto backend = platform::openUserSettings("ZEL-VANTO");
    qputenv("XDG_CONFIG_HOME", oldXdg);
    qputenv("HOME", oldHome);

    location.replace("@", dir.path());
    QCOMPARE(QString::fromStdString(backend->location()), location);
    QVERIFY(backend->write("Settings", {{"MainLeft", "1"}}));
    QVERIFY(QFile::exists(location));
    QVERIFY(!QFile::exists("relative-config"));
}

void TestSettingsBackendLinux::fullDiskIsReported()
{
    QTemporaryDir dir;
    QProcess child;
    child.start("unshare", {"--map-root-user", "--mount", QCoreApplication::applicationFilePath(),
                            "--full-disk", dir.path()});
    child.waitForFinished(60000);
    const QString errors = QString::fromLocal8Bit(child.readAllStandardError());
    if (child.error() == QProcess::FailedToStart || child.exitCode() == 77 ||
        errors.startsWith("unshare:"))
        QSKIP("no small file system can be made here to fill (unshare or mount refused)");
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(errors.count("ZEL-VANTO: "), 1);
    QVERIFY2(
        errors.contains(dir.filePath("ZEL-VANTO.ini") + " cannot be written: the disk is full"),
        qPrintable(errors));
}

int main(int argc, char **argv)
{
    if (argc == 5 && qstrcmp(argv[1], "--batches") == 0)
        return writeBatches(argv[2], argv[3], std::atoi(argv[4]));
    if (argc == 3 && qstrcmp(argv[1], "--full-disk") == 0)
        return saveOnFullDisk(argv[2]);
    QCoreApplication app(argc, argv);
    TestSettingsBackendLinux test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_settingsbackend_linux.moc"

#include "settingsbackend_linux.h"
#include "teststore.h"

#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

// The INI back end on real files in a private folder, read and written beside QSettings itself.
namespace {

using platform::IniSettingsBackend;
using platform::StoredValue;

// The text stored under "Section/key", invalid when absent, so that QCOMPARE shows both sides.
QVariant valueOf(platform::SettingsBackend &backend, const QString &path)
{
    const auto text =
        backend.read(path.section('/', 0, 0).toStdString(), path.section('/', 1).toStdString());
    return text ? QVariant(QString::fromStdString(*text)) : QVariant();
}

// What QSettings reads from the file now. Read from a copy under a new name: QSettings keeps a
// file it has read, and looks at it again only when its size or time changed.
QSettings::Status qtRead(const QString &path, QVariantMap &values)
{
    static int copies = 0;
    const QString copy = path + ".qt-" + QString::number(++copies);
    QFile::copy(path, copy);
    const auto remove = qScopeGuard([&copy] { QFile::remove(copy); });
    const QSettings settings(copy, QSettings::IniFormat);
    values.clear();
    for (const QString &key : settings.allKeys())
        values.insert(key, settings.value(key));
    return settings.status();
}

// What the back ends report on stderr while `run` runs.
template <typename Run> QString reportsOf(Run run)
{
    QTemporaryFile file;
    file.open();
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(file.handle(), STDERR_FILENO);
    run();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    return QString::fromLocal8Bit(fileBytes(file.fileName()));
}

// The child for the merge test: 100 batches of five keys "<prefix>_n", each batch setting
// all five to its number, as another copy of the program saving; a write that finds the lock
// taken is tried again. 3 when its last batch was lost to another writer meanwhile.
int writeBatches(const char *path, const std::string &prefix)
{
    IniSettingsBackend backend(path);
    for (int i = 1; i <= 100; ++i) {
        if (i > 1 && backend.read("Settings", prefix + "_1") != std::to_string(i - 1))
            return 3;
        std::vector<StoredValue> batch;
        for (int n = 1; n <= 5; ++n)
            batch.push_back({prefix + '_' + std::to_string(n), std::to_string(i)});
        for (int tries = 1; !backend.write("Settings", batch); ++tries)
            if (tries == 100)
                return 1;
    }
    return 0;
}

} // namespace

class TestSettingsBackendLinux : public QObject
{
    Q_OBJECT

private slots:
    // A file as QSettings or a user left it: each text reads here as QSettings reads it, each
    // text written here QSettings reads back exactly, and every line not written stays as it
    // was. A damaged file is kept as a copy, and only what could be read from it is carried.
    void filesMeanTheSameHereAndToQSettings_data()
    {
        QTest::addColumn<QByteArray>("file");
        // "key=text" in Settings or "Section/key=text"; "key" alone: absent.
        QTest::addColumn<QStringList>("reads");
        QStringList typed{"notepad.exe", "  my tool.exe  ", "a,b;c=d\"e\\f[g]#h", "@Variant(x)"};
        typed += {"@@x", "@String(y)", "\001a\tb\nc\r\0379", "Überwachung-日本語-😀\u0085\x7f", ""};
        typed += {QString::fromUtf8("a\0b1", 4), QString(10000, 'x') + "é"}; // NUL, then hex digits
        QTemporaryDir dir;
        QStringList reads;
        {
            QSettings qt(dir.filePath("qt.ini"), QSettings::IniFormat);
            qt.setValue("Other/kept", QStringList{"a", "b"});
            for (const QString &text : typed) {
                reads << "k" + QString::number(reads.size() + 1) + "=" + text;
                qt.setValue("Settings/" + reads.last().section('=', 0, 0), text);
            }
        }
        QTest::newRow("written by QSettings") << fileBytes(dir.filePath("qt.ini")) << reads;
        // By hand. An unquoted comma makes a list for QSettings, and is its text here.
        QTest::newRow("quotes, escapes, comments, CRLF, trailing tab, no last line break")
            << QByteArray("[Settings]\r\nk1=a,b.exe\r\nk2 =  \"x; y \" ; note\r\nk3=\\x41\\102\\?"
                          "\\q\\\\\r\nk4=@@5\r\nk5=@Invalid()\r\nK6=1\r\nMainLeft=7\t")
            << QStringList{"k1=a,b.exe", "k2=x; y ", "k3=AB?\\", "k4=@5", "k5", "k6", "MainLeft=7"};
        QTest::newRow("byte order mark, escaped key, section given twice")
            << QByteArray("\xef\xbb\xbf[Settings]\nENABLE%5FPW_7=1\nMainLeft=1\n[Other]\n"
                          "MainLeft=3\n[Settings]\nMainLeft=2\n")
            << QStringList{"ENABLE_PW_7=1", "MainLeft=2"};
        // QSettings reads the quoted text on to the end of the file, as one value.
        QTest::newRow("damaged: stray quote")
            << QByteArray("[Settings]\nk1=\"my tool.exe\nk2=two.exe\n[Other]\nx=1\n")
            << QStringList{"k1=my tool.exe", "k2=two.exe", "Other/x=1"};
        // Its recovered line once read back as an escaped '=', and every later save was refused.
        QTest::newRow("damaged: a key that ends in '/'")
            << QByteArray("[Settings]\nk1=old1\ndir/=\"unterminated\n")
            << QStringList{"k1=old1", "Settings/dir/=unterminated"};
    }

    void filesMeanTheSameHereAndToQSettings()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, reads);
        // Rows of damaged files say so in their names.
        const bool damaged = QByteArray(QTest::currentDataTag()).startsWith("damaged");
        QTemporaryDir dir;
        const QString path = dir.filePath("ZEL-VANTO.ini");
        writeBytes(path, file);
        // Of a damaged file, only what could be read is carried; to QSettings, a BOM before a
        // group is a FormatError.
        QVariantMap texts; // what this back end reads, by "Section/key"
        for (const QString &read : reads)
            texts.insert((read.contains('/') ? "" : "Settings/") + read.section('=', 0, 0),
                         read.contains('=') ? QVariant(read.section('=', 1)) : QVariant());
        QVariantMap expected = texts;
        const QSettings::Status status = damaged ? QSettings::NoError : qtRead(path, expected);
        std::vector<StoredValue> copies; // each text read, written again under a key of its own
        for (auto text = texts.cbegin(); text != texts.cend(); ++text) {
            if (!damaged && expected.value(text.key()).typeId() != QMetaType::QStringList)
                QCOMPARE(expected.value(text.key()), text.value()); // as QSettings reads it
            if (text->isValid()) {
                copies.push_back(
                    {"Copy_" + std::to_string(copies.size()), text->toString().toStdString()});
                expected.insert(QString::fromStdString("Settings/" + copies.back().key), *text);
            }
        }
        expected.insert("Settings/MainHeight", "8");
        if (expected.contains("Settings/dir/"))
            expected["Settings/dir/"] = QVariant(); // QSettings lists it, but cannot look it up

        const QString reports = reportsOf([&] {
            IniSettingsBackend backend(path.toStdString());
            for (auto text = texts.cbegin(); text != texts.cend(); ++text)
                QCOMPARE(valueOf(backend, text.key()), text.value());
            QVERIFY(backend.write("Settings", copies));
            QVERIFY(backend.write("Settings", {{"MainHeight", "8"}}));
        });
        QCOMPARE(reports.count("ZEL-VANTO: "), damaged ? 1 : 0);
        QCOMPARE(fileBytes(path + ".damaged"), damaged ? file : QByteArray());

        QVariantMap after;
        QCOMPARE(qtRead(path, after), status);
        QCOMPARE(after, expected);
    }

    void copiesMergeAndEachBatchLandsWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("ZEL-VANTO.ini");
        IniSettingsBackend own(path.toStdString());
        // What a writer killed before its rename left is removed, and nothing else.
        writeBytes(path + ".tmp-k1lled", "[Settings]\nMainLeft=");
        writeBytes(path + ".backup", "the user's");
        QVERIFY(own.write("Settings", {{"k1", "p1"}, {"k2", "p2"}}));
        QVERIFY(!QFile::exists(path + ".tmp-k1lled") && QFile::exists(path + ".backup"));

        // Two other programs saving batches at once: every file QSettings sees holds whole
        // batches, and in the end each has its last batch, and this one its values.
        QProcess children[2];
        for (int i = 0; i < 2; ++i)
            children[i].start(qApp->applicationFilePath(), {"--batches", path, i ? "B" : "A"});
        while (children[0].state() != QProcess::NotRunning ||
               children[1].state() != QProcess::NotRunning) {
            QVariantMap values;
            QCOMPARE(qtRead(path, values), QSettings::NoError);
            for (const QString prefix : {"Settings/A_", "Settings/B_"})
                for (int n = 2; n <= 5; ++n)
                    QCOMPARE(values.value(prefix + QString::number(n)), values.value(prefix + "1"));
            QTest::qWait(1);
        }
        for (QProcess &child : children)
            QVERIFY(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0);
        for (const char *key : {"Settings/A_1", "Settings/A_5", "Settings/B_1", "Settings/B_5"})
            QCOMPARE(valueOf(own, key), QVariant("100"));
        QCOMPARE(valueOf(own, "Settings/k2"), QVariant("p2"));
    }

    // What is not a regular file, or must not change, is left as it is, and each cause is
    // reported once.
    void whatMustNotChangeIsLeftAlone_data()
    {
        QTest::addColumn<QString>("made");      // by the shell, in a private folder
        QTest::addColumn<QString>("kept");      // what must be left as it is
        QTest::addColumn<QVariant>("readable"); // MainLeft
        QTest::addColumn<bool>("saved");
        QTest::addColumn<QStringList>("reports"); // each in one report of its own
        // Made by the shell in a private folder; what is kept is ZEL-VANTO.ini unless named.
        const auto row = [](const char *tag, const QString &made, const char *kept,
                            const QVariant &readable, bool saved, const QStringList &reports) {
            QTest::newRow(tag) << made << QString(*kept ? kept : "ZEL-VANTO.ini") << readable
                               << saved << reports;
        };
        const QString ini = "printf '[Settings]\\nMainLeft=1\\n' >";
        const QString damaged = "printf '[Settings]\\nMainLeft=1\\nx=\"\\n' > ZEL-VANTO.ini";
        // A /dev/null of its own, never the real one.
        row("link to a device node", "mknod null c 1 3 && ln -s null ZEL-VANTO.ini", "null", {},
            false, {"is a link to a device"});
        row("named pipe", "mkfifo ZEL-VANTO.ini", "", {}, false, {"is a named pipe"});
        row("folder", "mkdir ZEL-VANTO.ini", "", {}, false, {"is a folder"});
        row("link loop: not called a link to nothing", "ln -s ZEL-VANTO.ini ZEL-VANTO.ini", "", {},
            false, {"is a loop of symbolic links"});
        row("lock is a named pipe", ini + " ZEL-VANTO.ini && mkfifo ZEL-VANTO.ini.lock",
            "ZEL-VANTO.ini.lock", "1", false, {"cannot be written"});
        row("link to a regular file", ini + " target.ini && ln -s target.ini ZEL-VANTO.ini", "",
            "1", true, {});
        // Made so by the user: not replaced by a new file. Damaged too: both causes said.
        row("read-only, damaged", damaged + " && chmod 444 ZEL-VANTO.ini", "", "1", false,
            {"is damaged", "cannot be written: it is read-only;"});
        // The original would be lost.
        row("damaged, no copy can be kept",
            damaged +
                " && mkdir ZEL-VANTO.ini.damaged ZEL-VANTO.ini.damaged-2 ZEL-VANTO.ini.damaged-3",
            "", "1", false, {"is damaged, and a copy of it cannot be kept"});
        // Three copies at most, and their number never stops a save: the oldest gives way.
        row("damaged, three copies",
            damaged + " && for n in .damaged-3 .damaged .damaged-2; do echo old >ZEL-VANTO.ini$n; "
                      "sleep 0.01; done",
            "ZEL-VANTO.ini.damaged", "1", true,
            {"is damaged; going on with what could be read from it, the original kept as "
             "@.damaged-3"});
    }

    void whatMustNotChangeIsLeftAlone()
    {
        QFETCH(QString, made);
        QFETCH(QString, kept);
        QFETCH(QVariant, readable);
        QFETCH(bool, saved);
        QFETCH(QStringList, reports);
        QTemporaryDir dir;
        const QString path = dir.filePath("ZEL-VANTO.ini");
        if (QProcess::execute("sh", {"-c", "cd \"$0\" && " + made, dir.path()}) != 0) {
            QVERIFY2(made.startsWith("mknod"), qPrintable(made));
            QSKIP("no device node can be made here (that takes root)");
        }
        const QByteArray keptPath = QFile::encodeName(dir.filePath(kept));
        struct stat before = {}, after = {};
        ::lstat(keptPath, &before);
        const QString said = reportsOf([&] {
            IniSettingsBackend backend(path.toStdString());
            QCOMPARE(valueOf(backend, "Settings/MainLeft"), readable);
            for (const char *text : {"2", "3"})
                QCOMPARE(backend.write("Settings", {{"MainTop", text}}), saved);
        });
        QCOMPARE(said.count("ZEL-VANTO: "), reports.size());
        for (const QString &report : reports)
            QVERIFY2(said.contains(path + " " + QString(report).replace("@", path)),
                     qPrintable(said));
        ::lstat(keptPath, &after);
        QVERIFY(std::tie(after.st_mode, after.st_ino, after.st_rdev, after.st_size) ==
                std::tie(before.st_mode, before.st_ino, before.st_rdev, before.st_size));
        // A link to a regular file is written through the link, which stays.
        reportsOf([&] {
            IniSettingsBackend again(path.toStdString());
            QCOMPARE(valueOf(again, "Settings/MainTop"), saved ? QVariant("3") : QVariant());
        });
    }

    void locationFollowsTheXdgRules()
    {
        // A relative XDG_CONFIG_HOME is ignored; the folders are made. (An absolute one is the
        // window tests' TestStore.)
        QTemporaryDir dir;
        const QByteArray old[] = {qgetenv("XDG_CONFIG_HOME"), qgetenv("HOME")};
        qputenv("XDG_CONFIG_HOME", "relative-config");
        qputenv("HOME", QFile::encodeName(dir.filePath("home")));
        const auto backend = platform::openUserSettings("ZEL-VANTO");
        qputenv("XDG_CONFIG_HOME", old[0]);
        qputenv("HOME", old[1]);
        const QString location = dir.filePath("home/.config/ZEL-VANTO/ZEL-VANTO.ini");
        QCOMPARE(QString::fromStdString(backend->location()), location);
        QVERIFY(backend->write("Settings", {{"MainLeft", "1"}}));
        QVERIFY(QFile::exists(location) && !QFile::exists("relative-config"));
    }
};

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--batches") == 0)
        return writeBatches(argv[2], argv[3]);
    QCoreApplication app(argc, argv);
    TestSettingsBackendLinux test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_settingsbackend_linux.moc"

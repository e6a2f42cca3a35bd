#include "settingsbackend.h"
#include "settingsstore.h"
#include "teststore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>
#include <unistd.h>

// The store against a real INI file in a private configuration directory.
namespace {

SettingsStore makeStore()
{
    return SettingsStore(&platform::openUserSettings);
}

std::string text(const QString &s)
{
    return s.toStdString();
}

struct ChildRun
{
    int exitCode = -1;
    QString stderrText;
};

// Runs this test program as a child that saves `key` = `text` twice into `configDir`; as an
// unprivileged user when asked (root writes through any permission).
ChildRun saveInChild(const QString &configDir, const QString &key, const QString &text,
                     bool unprivileged = false)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", configDir);
    child.setProcessEnvironment(env);
    QString program = QCoreApplication::applicationFilePath();
    QStringList arguments{"--save", key, text};
    if (unprivileged && ::geteuid() == 0) {
        arguments =
            QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", program} + arguments;
        program = QStringLiteral("setpriv");
    }
    child.start(program, arguments);
    ChildRun run;
    if (child.waitForFinished(30000) && child.exitStatus() == QProcess::NormalExit)
        run.exitCode = child.exitCode();
    run.stderrText = QString::fromLocal8Bit(child.readAllStandardError());
    return run;
}

} // namespace

class TestSettingsStore : public QObject
{
    Q_OBJECT

private slots:
    void emptyStoreReadsDefaultsAndWritesNothing();
    void savesAreOnDiskAndSeenByOtherProcesses();
    void namesRoundTripVerbatim_data();
    void namesRoundTripVerbatim();
    void handEditedNameWithCommaIsKept();
    void unwritableStoreIsReportedOnceAndTheFileKept_data();
    void unwritableStoreIsReportedOnceAndTheFileKept();
    void damagedFileIsKeptAndReadAsFarAsPossible();
};

void TestSettingsStore::emptyStoreReadsDefaultsAndWritesNothing()
{
    TestStore dir;
    SettingsStore store = makeStore();
    QCOMPARE(store.read(keys::mainWidth()), 1695.0f);
    QCOMPARE(store.read(keys::processTextbox(1)), std::string());
    QCOMPARE(store.GetSetting("ZEL-VANTO", "Settings", "MainLeft", "77"), std::string("77"));
    QVERIFY(!QFile::exists(dir.iniPath()));
}

void TestSettingsStore::savesAreOnDiskAndSeenByOtherProcesses()
{
    TestStore dir;
    SettingsStore store = makeStore();
    QCOMPARE(store.read(keys::processTextbox(1)), std::string());
    store.save(keys::enablePw(7), 1);
    QVERIFY(dir.readIni().contains("[Settings]\nENABLE_PW_7=1\n"));

    // Another process saves; this one reads it afresh, without restarting.
    const ChildRun run = saveInChild(dir.configDir(), "PROCESS_TEXTBOX_1", "elsewhere.exe");
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(store.read(keys::processTextbox(1)), std::string("elsewhere.exe"));
    QCOMPARE(store.boxValue(keys::enablePw(7)), std::int16_t(1));
}

void TestSettingsStore::namesRoundTripVerbatim_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("spaces") << QStringLiteral("  my tool.exe  ");
    QTest::newRow("ini punctuation") << QStringLiteral("a,b;c=d\"e\\f[g]#h");
    QTest::newRow("at sign first") << QStringLiteral("@Variant(x)");
    QTest::newRow("non-ASCII") << QStringLiteral("Überwachung-日本語.exe");
    QTest::newRow("10000 characters") << QString(10000, QLatin1Char('x')) + QStringLiteral("é");
}

void TestSettingsStore::namesRoundTripVerbatim()
{
    QFETCH(QString, name);
    TestStore dir;
    makeStore().save(keys::processTextbox(3), text(name));
    QCOMPARE(makeStore().read(keys::processTextbox(3)), text(name)); // a later run
}

void TestSettingsStore::handEditedNameWithCommaIsKept()
{
    TestStore dir;
    dir.writeIni("[Settings]\nPROCESS_TEXTBOX_1=a,b.exe\n"); // unquoted: INI reads a list
    QCOMPARE(makeStore().read(keys::processTextbox(1)), std::string("a,b.exe"));
}

void TestSettingsStore::unwritableStoreIsReportedOnceAndTheFileKept_data()
{
    QTest::addColumn<QString>("obstacle");
    QTest::newRow("read-only directory") << "read-only";
    QTest::newRow("lock cannot be taken") << "lock";
    QTest::newRow("folder is a file") << "folder-is-file";
}

void TestSettingsStore::unwritableStoreIsReportedOnceAndTheFileKept()
{
    QFETCH(QString, obstacle);
    TestStore dir;
    const QByteArray before = "[Settings]\nPROCESS_TEXTBOX_1=kept.exe\n";
    const QString folder = QFileInfo(dir.iniPath()).path();
    const bool readOnly = obstacle == "read-only";
    if (obstacle == "folder-is-file")
        QVERIFY(QFile(folder).open(QIODevice::WriteOnly));
    else
        dir.writeIni(before);
    if (readOnly) {
        if (::geteuid() == 0 &&
            QProcess::execute("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                                          "test", "-x", QCoreApplication::applicationFilePath()}))
            QSKIP("this test program cannot run as an unprivileged user from where it is built");
        // Readable by everyone, writable by nobody but root.
        const auto readable =
            QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
        const auto searchable =
            readable | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
        QFile::setPermissions(dir.configDir(), searchable);
        QFile::setPermissions(folder, searchable);
        QFile::setPermissions(dir.iniPath(), readable);
    } else if (obstacle == "lock") {
        QVERIFY(QDir().mkpath(dir.iniPath() + ".lock/blocker"));
    }

    const ChildRun run = saveInChild(dir.configDir(), "PROCESS_TEXTBOX_1", "lost.exe", readOnly);
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(run.exitCode, 0); // the program goes on
    // Reported once, naming the file, although the child saved twice.
    QCOMPARE(run.stderrText.count(QStringLiteral("ZEL-VANTO: settings file")), 1);
    QVERIFY2(run.stderrText.contains(dir.iniPath() + " cannot be written"),
             qPrintable(run.stderrText));
    if (obstacle != "folder-is-file")
        QCOMPARE(dir.readIni(), before);

    // What could not be written is still what the program reads back.
    if (obstacle == "folder-is-file") {
        SettingsStore store = makeStore();
        store.save(keys::processTextbox(4), "typed.exe");
        QCOMPARE(store.read(keys::processTextbox(4)), std::string("typed.exe"));
    }
}

void TestSettingsStore::damagedFileIsKeptAndReadAsFarAsPossible()
{
    TestStore dir;
    const QByteArray damaged =
        QByteArrayLiteral("[Settings]\nPROCESS_TEXTBOX_2=still.exe\n\x00\xff\xfe [[[ \n=\n");
    dir.writeIni(damaged);
    const ChildRun run = saveInChild(dir.configDir(), "PROCESS_TEXTBOX_1", "new.exe");
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.stderrText.count(QStringLiteral("ZEL-VANTO: settings file")), 1);
    QVERIFY2(run.stderrText.contains("is damaged"), qPrintable(run.stderrText));

    QFile copy(dir.iniPath() + ".damaged");
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), damaged);
    SettingsStore store = makeStore();
    QCOMPARE(store.read(keys::processTextbox(1)), std::string("new.exe"));
    QCOMPARE(store.read(keys::processTextbox(2)), std::string("still.exe"));
}

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--save") == 0) {
        // The child: saves one value twice, as a running program would save two edits.
        QCoreApplication app(argc, argv);
        SettingsStore store = makeStore();
        for (int i = 0; i < 2; ++i) {
            store.SaveSetting(SettingsStore::kApplication, SettingsStore::kSection, argv[2],
                              argv[3]);
        }
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestSettingsStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_settingsstore.moc"

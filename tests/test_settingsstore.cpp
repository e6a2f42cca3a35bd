#include "store/settingsstore.h"
#include "teststore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtTest>
#include <unistd.h>

// The store against a real INI file in a private configuration directory.
namespace {

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
    void typedReads_data();
    void typedReads();
    void handEditedNameWithCommaIsKept();
    void geometryTextForms();
    void unwritableStoreIsReportedOnceAndTheFileKept_data();
    void unwritableStoreIsReportedOnceAndTheFileKept();
    void damagedFileIsKeptAndReadAsFarAsPossible();
};

void TestSettingsStore::emptyStoreReadsDefaultsAndWritesNothing()
{
    TestStore dir;
    SettingsStore store;
    QCOMPARE(store.single(SettingKeys::mainWidth()), 1695.0f);
    QCOMPARE(store.boolean(SettingKeys::enablePw(5)), true);
    QCOMPARE(store.int16(SettingKeys::enablePw(6)), qint16(0));
    QCOMPARE(store.text(SettingKeys::processTextbox(1)), QString());
    QCOMPARE(store.GetSetting("ZEL-VANTO", "Settings", "MainLeft", "77"), QStringLiteral("77"));
    QVERIFY(!QFile::exists(dir.iniPath()));
}

void TestSettingsStore::savesAreOnDiskAndSeenByOtherProcesses()
{
    TestStore dir;
    SettingsStore store;
    QCOMPARE(store.text(SettingKeys::processTextbox(1)), QString());
    store.save(SettingKeys::enablePw(7), QStringLiteral("1"));
    QVERIFY(dir.readIni().contains("[Settings]\nENABLE_PW_7=1\n"));

    // Another process saves; this one reads it afresh, without restarting.
    const ChildRun run = saveInChild(dir.configDir(), "PROCESS_TEXTBOX_1", "elsewhere.exe");
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(store.text(SettingKeys::processTextbox(1)), QStringLiteral("elsewhere.exe"));
    QCOMPARE(store.text(SettingKeys::enablePw(7)), QStringLiteral("1"));
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
    SettingsStore().save(SettingKeys::processTextbox(3), name);
    QCOMPARE(SettingsStore().text(SettingKeys::processTextbox(3)), name); // a later run
}

void TestSettingsStore::typedReads_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<float>("single"); // as MainWidth (default 1695)
    QTest::addColumn<qint16>("int16"); // as ENABLE_PW_2 (default 1)
    QTest::addColumn<bool>("boolean"); // as ENABLE_PW_8 (default false)
    QTest::addColumn<double>("real");  // as AlwaysOnTopTimer_TICKBOX (default 0)

    QTest::newRow("one") << QByteArray("1") << 1.0f << qint16(1) << true << 1.0;
    QTest::newRow("negative") << QByteArray("-150") << -150.0f << qint16(-150) << true << -150.0;
    QTest::newRow("fraction rounds to even")
        << QByteArray("2.5") << 2.5f << qint16(2) << true << 2.5;
    QTest::newRow("letters") << QByteArray("abc") << 1695.0f << qint16(1) << false << 0.0;
    QTest::newRow("empty") << QByteArray("") << 1695.0f << qint16(1) << false << 0.0;
    QTest::newRow("too big for 16 bits")
        << QByteArray("1e99") << 1695.0f << qint16(1) << true << 1e99;
    QTest::newRow("not a number") << QByteArray("nan") << 1695.0f << qint16(1) << false << 0.0;
}

void TestSettingsStore::handEditedNameWithCommaIsKept()
{
    TestStore dir;
    dir.writeIni("[Settings]\nPROCESS_TEXTBOX_1=a,b.exe\n"); // unquoted: INI reads a list
    QCOMPARE(SettingsStore().text(SettingKeys::processTextbox(1)), QStringLiteral("a,b.exe"));
}

void TestSettingsStore::typedReads()
{
    QFETCH(QByteArray, stored);
    QFETCH(float, single);
    QFETCH(qint16, int16);
    QFETCH(bool, boolean);
    QFETCH(double, real);
    TestStore dir;
    dir.writeIni("[Settings]\nMainWidth=" + stored + "\nENABLE_PW_2=" + stored +
                 "\nENABLE_PW_8=" + stored + "\nAlwaysOnTopTimer_TICKBOX=" + stored + "\n");
    SettingsStore store;
    QCOMPARE(store.single(SettingKeys::mainWidth()), single);
    QCOMPARE(store.int16(SettingKeys::enablePw(2)), int16);
    QCOMPARE(store.boolean(SettingKeys::enablePw(8)), boolean);
    QCOMPARE(store.real(SettingKeys::alwaysOnTop()), real);
}

void TestSettingsStore::geometryTextForms()
{
    // Whole twips are written as plain integers.
    QCOMPARE(SettingsStore::fromSingle(1000.0f), QStringLiteral("1000"));
    QCOMPARE(SettingsStore::fromSingle(-150.0f), QStringLiteral("-150"));
    QCOMPARE(SettingsStore::fromSingle(1234560.0f), QStringLiteral("1234560"));
    QCOMPARE(SettingsStore::fromSingle(1000.5f), QStringLiteral("1000.5"));
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
        SettingsStore store;
        store.save(SettingKeys::processTextbox(4), QStringLiteral("typed.exe"));
        QCOMPARE(store.text(SettingKeys::processTextbox(4)), QStringLiteral("typed.exe"));
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
    SettingsStore store;
    QCOMPARE(store.text(SettingKeys::processTextbox(1)), QStringLiteral("new.exe"));
    QCOMPARE(store.text(SettingKeys::processTextbox(2)), QStringLiteral("still.exe"));
}

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--save") == 0) {
        // The child: saves one value twice, as a running program would save two edits.
        QCoreApplication app(argc, argv);
        SettingsStore store;
        for (int i = 0; i < 2; ++i) {
            store.SaveSetting(SettingsStore::kApplication, SettingsStore::kSection,
                              QString::fromUtf8(argv[2]), QString::fromUtf8(argv[3]));
        }
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestSettingsStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_settingsstore.moc"

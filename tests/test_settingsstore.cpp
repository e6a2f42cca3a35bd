#include "store/settingsstore.h"
#include "teststore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileDevice>
#include <QProcess>
#include <QtTest>

#include <unistd.h>

// The store against a real INI file in a private configuration directory.
class TestSettingsStore : public QObject
{
    Q_OBJECT

private slots:
    void emptyStoreAnswersTheKeyTableDefaults();
    void savedTextIsOnDiskWhenSaveReturns();
    void namesRoundTripVerbatim_data();
    void namesRoundTripVerbatim();
    void typedReads_data();
    void typedReads();
    void geometryIsWrittenAsPlainIntegers_data();
    void geometryIsWrittenAsPlainIntegers();
    void readsSeeWhatAnotherProcessWrote();
    void unwritableStoreIsReportedOnceAndTheFileKept_data();
    void unwritableStoreIsReportedOnceAndTheFileKept();
    void unwritableStoreKeepsValuesInMemory();
    void damagedFileIsKeptAndReadAsFarAsPossible();

public:
    // Run as a child process: `--save KEY TEXT` saves one value and exits.
    static int childMain(int argc, char **argv);
};

void TestSettingsStore::emptyStoreAnswersTheKeyTableDefaults()
{
    TestStore dir;
    SettingsStore store;
    QCOMPARE(store.single(SettingKeys::mainLeft()), 1000.0f);
    QCOMPARE(store.single(SettingKeys::mainTop()), 1000.0f);
    QCOMPARE(store.single(SettingKeys::mainWidth()), 1695.0f);
    QCOMPARE(store.single(SettingKeys::mainHeight()), 4230.0f);
    for (int n = 1; n <= SettingKeys::kSlotCount; ++n) {
        QCOMPARE(store.text(SettingKeys::processTextbox(n)), QString());
        QCOMPARE(store.boolean(SettingKeys::enablePw(n)), n <= 5);
        QCOMPARE(store.int16(SettingKeys::enablePw(n)), qint16(n <= 5 ? 1 : 0));
    }
    QCOMPARE(store.real(SettingKeys::alwaysOnTop()), 0.0);
    QCOMPARE(store.single(SettingKeys::settingsLeft()), 1000.0f);
    QCOMPARE(store.single(SettingKeys::settingsTop()), 1000.0f);
    QCOMPARE(store.single(SettingKeys::settingsWidth()), 7320.0f);
    QCOMPARE(store.single(SettingKeys::settingsHeight()), 4845.0f);
    // An absent key answers the caller's default and nothing is written by reading.
    QCOMPARE(store.GetSetting("ZEL-VANTO", "Settings", "MainLeft", "77"), QStringLiteral("77"));
    QVERIFY(!QFile::exists(dir.iniPath()));
    QCOMPARE(int(SettingKeys::all().size()), 4 + 10 + 10 + 1 + 4);
}

void TestSettingsStore::savedTextIsOnDiskWhenSaveReturns()
{
    TestStore dir;
    SettingsStore store;
    store.save(SettingKeys::enablePw(7), QStringLiteral("1"));
    const QByteArray ini = dir.readIni();
    QVERIFY2(ini.contains("[Settings]"), ini.constData());
    QVERIFY2(ini.contains("ENABLE_PW_7=1"), ini.constData());
    // A value written through the generic call is the one the typed read sees.
    store.SaveSetting("ZEL-VANTO", "Settings", "MainTop", "-150");
    QCOMPARE(store.single(SettingKeys::mainTop()), -150.0f);
}

void TestSettingsStore::namesRoundTripVerbatim_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("spaces") << QStringLiteral("  my tool.exe  ");
    QTest::newRow("ini punctuation") << QStringLiteral("a,b;c=d\"e\\f[g]#h");
    QTest::newRow("at sign first") << QStringLiteral("@Variant(x)");
    QTest::newRow("non-ASCII") << QStringLiteral("Überwachung-日本語.exe");
    QTest::newRow("newline") << QStringLiteral("two\nlines");
    QTest::newRow("10000 characters") << QString(10000, QLatin1Char('x')) + QStringLiteral("é");
}

void TestSettingsStore::namesRoundTripVerbatim()
{
    QFETCH(QString, name);
    TestStore dir;
    {
        SettingsStore writer;
        writer.save(SettingKeys::processTextbox(3), name);
    }
    SettingsStore reader; // a later run
    QCOMPARE(reader.text(SettingKeys::processTextbox(3)), name);
}

void TestSettingsStore::typedReads_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<float>("single");  // as MainWidth (default 1695)
    QTest::addColumn<qint16>("int16");  // as ENABLE_PW_2 (default 1)
    QTest::addColumn<bool>("boolean");  // as ENABLE_PW_8 (default false)
    QTest::addColumn<double>("real");   // as AlwaysOnTopTimer_TICKBOX (default 0)

    QTest::newRow("one") << QByteArray("1") << 1.0f << qint16(1) << true << 1.0;
    QTest::newRow("zero") << QByteArray("0") << 0.0f << qint16(0) << false << 0.0;
    QTest::newRow("negative") << QByteArray("-150") << -150.0f << qint16(-150) << true << -150.0;
    QTest::newRow("two") << QByteArray("2") << 2.0f << qint16(2) << true << 2.0;
    QTest::newRow("fraction rounds to even") << QByteArray("2.5") << 2.5f << qint16(2) << true << 2.5;
    QTest::newRow("spaces around") << QByteArray("\" 12 \"") << 12.0f << qint16(12) << true << 12.0;
    QTest::newRow("letters") << QByteArray("abc") << 1695.0f << qint16(1) << false << 0.0;
    QTest::newRow("empty") << QByteArray("") << 1695.0f << qint16(1) << false << 0.0;
    QTest::newRow("too big for 16 bits") << QByteArray("1e99") << 1695.0f << qint16(1) << true << 1e99;
    QTest::newRow("too big for single") << QByteArray("1e300") << 1695.0f << qint16(1) << true << 1e300;
    QTest::newRow("32768") << QByteArray("32768") << 32768.0f << qint16(1) << true << 32768.0;
    QTest::newRow("not a number") << QByteArray("nan") << 1695.0f << qint16(1) << false << 0.0;
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

void TestSettingsStore::geometryIsWrittenAsPlainIntegers_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("default") << 1000.0f << QStringLiteral("1000");
    QTest::newRow("negative") << -150.0f << QStringLiteral("-150");
    QTest::newRow("zero") << 0.0f << QStringLiteral("0");
    QTest::newRow("large") << 1234560.0f << QStringLiteral("1234560");
    QTest::newRow("fraction") << 1000.5f << QStringLiteral("1000.5");
}

void TestSettingsStore::geometryIsWrittenAsPlainIntegers()
{
    QFETCH(float, value);
    QFETCH(QString, text);
    TestStore dir;
    SettingsStore store;
    store.saveSingle(SettingKeys::mainLeft(), value);
    QCOMPARE(store.text(SettingKeys::mainLeft()), text);
    QVERIFY(dir.readIni().contains("MainLeft=" + text.toUtf8()));
}

void TestSettingsStore::readsSeeWhatAnotherProcessWrote()
{
    TestStore dir;
    SettingsStore store;
    QCOMPARE(store.text(SettingKeys::processTextbox(1)), QString());

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", dir.configDir());
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(),
                {"--save", "PROCESS_TEXTBOX_1", "written elsewhere.exe"});
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitCode(), 0);
    // The child's save was on disk when it returned; this process reads it afresh.
    QCOMPARE(store.text(SettingKeys::processTextbox(1)), QStringLiteral("written elsewhere.exe"));

    // And the other way round: what this process saves, a new reader sees at once.
    store.save(SettingKeys::processTextbox(2), QStringLiteral("b.exe"));
    QSettings other(dir.iniPath(), QSettings::IniFormat);
    QCOMPARE(other.value("Settings/PROCESS_TEXTBOX_2").toString(), QStringLiteral("b.exe"));
    QCOMPARE(other.value("Settings/PROCESS_TEXTBOX_1").toString(),
             QStringLiteral("written elsewhere.exe"));
}

namespace {

struct ChildRun
{
    int exitCode = -1;
    QString stderrText;
};

// Runs this test program as a child that saves `key` = `text` twice against `configDir`; as an
// unprivileged user when `unprivileged` (root would write through any permission).
ChildRun saveInChild(const QString &configDir, const QString &key, const QString &text,
                     bool unprivileged = false)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", configDir);
    child.setProcessEnvironment(env);
    QStringList arguments{"--save", key, text};
    if (unprivileged && ::geteuid() == 0) {
        arguments = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups",
                                QCoreApplication::applicationFilePath()} +
                    arguments;
        child.start(QStringLiteral("setpriv"), arguments);
    } else {
        child.start(QCoreApplication::applicationFilePath(), arguments);
    }
    ChildRun run;
    if (!child.waitForFinished(30000))
        return run;
    run.exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    run.stderrText = QString::fromLocal8Bit(child.readAllStandardError());
    return run;
}

} // namespace

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
    if (obstacle == "folder-is-file") {
        QFile file(folder);
        QVERIFY(file.open(QIODevice::WriteOnly));
    } else {
        dir.writeIni(before);
    }
    const bool readOnly = obstacle == "read-only";
    if (readOnly && ::geteuid() == 0 &&
        QProcess::execute("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", "test",
                                      "-x", QCoreApplication::applicationFilePath()}) != 0)
        QSKIP("this test program cannot be run as an unprivileged user from where it is built");
    if (readOnly) {
        // Readable and searchable by everyone, writable by nobody but root.
        const auto everyoneReads = QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                   QFileDevice::ReadGroup | QFileDevice::ExeGroup |
                                   QFileDevice::ReadOther | QFileDevice::ExeOther;
        QFile::setPermissions(dir.configDir(), everyoneReads);
        QFile::setPermissions(folder, everyoneReads);
        QFile::setPermissions(dir.iniPath(), QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                                 QFileDevice::ReadOther);
    } else if (obstacle == "lock") {
        QVERIFY(QDir().mkpath(dir.iniPath() + ".lock/blocker"));
    }

    const ChildRun run =
        saveInChild(dir.configDir(), "PROCESS_TEXTBOX_1", "lost.exe", readOnly);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                      QFileDevice::ExeOwner);
    QFile::setPermissions(dir.iniPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(run.exitCode, 0);
    // Reported once, naming the file, although the child saved twice.
    QCOMPARE(run.stderrText.count(QStringLiteral("ZEL-VANTO: settings file")), 1);
    QVERIFY2(run.stderrText.contains(dir.iniPath()), qPrintable(run.stderrText));
    QVERIFY2(run.stderrText.contains("cannot be written"), qPrintable(run.stderrText));
    if (obstacle != "folder-is-file")
        QCOMPARE(dir.readIni(), before);
}

void TestSettingsStore::unwritableStoreKeepsValuesInMemory()
{
    TestStore dir;
    QFile blocker(QFileInfo(dir.iniPath()).path());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    SettingsStore store;
    store.save(SettingKeys::processTextbox(4), QStringLiteral("typed.exe"));
    QCOMPARE(store.text(SettingKeys::processTextbox(4)), QStringLiteral("typed.exe"));
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

int TestSettingsStore::childMain(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    SettingsStore store;
    for (int i = 0; i < 2; ++i) {
        store.SaveSetting(SettingsStore::kApplication, SettingsStore::kSection,
                          QString::fromUtf8(argv[2]), QString::fromUtf8(argv[3]));
    }
    return 0;
}

int main(int argc, char **argv)
{
    if (argc == 4 && qstrcmp(argv[1], "--save") == 0)
        return TestSettingsStore::childMain(argc, argv);
    QCoreApplication app(argc, argv);
    TestSettingsStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_settingsstore.moc"

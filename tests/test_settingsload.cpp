#include "monitor/processprobe.h"
#include "store/settingsstore.h"
#include "teststore.h"
#include "ui/zel_vanto_main.h"
#include "ui/zel_vanto_settings.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QMap>
#include <QTimer>
#include <QtTest>

#include <memory>

// The settings window's load against a real store file: a box whose stored value differs from
// its design state counts as clicked, so the main window follows it and the value is written
// back; a box that matches its design state is left alone and nothing is written for it.
namespace {

using Values = QMap<QString, QString>;

// The [Settings] group of an INI file as it is on disk. Read from the bytes rather than through
// a second QSettings, which would share the store's in-memory copy of the same file.
Values storedValues(const QByteArray &ini)
{
    Values values;
    bool inSettings = false;
    for (const QByteArray &raw : ini.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            inSettings = line == "[Settings]";
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (!inSettings || equals <= 0 || line.startsWith(';'))
            continue;
        values.insert(QString::fromUtf8(line.left(equals).trimmed()),
                      QString::fromUtf8(line.mid(equals + 1).trimmed()));
    }
    return values;
}

// Slots 1-5 in use, 6-10 not, "Always On Top" off: the boxes' design state, written out in full
// and in a layout the store would not write itself, so that any rewrite of the file shows.
const QByteArray kDesignIni = "; written by hand\n"
                              "[Settings]\n"
                              "ENABLE_PW_1 = 1\nENABLE_PW_2 = 1\nENABLE_PW_3 = 1\n"
                              "ENABLE_PW_4 = 1\nENABLE_PW_5 = 1\nENABLE_PW_6 = 0\n"
                              "ENABLE_PW_7 = 0\nENABLE_PW_8 = 0\nENABLE_PW_9 = 0\n"
                              "ENABLE_PW_10 = 0\nAlwaysOnTopTimer_TICKBOX = 0\n"
                              "PROCESS_TEXTBOX_1 = kept.exe\n";

} // namespace

class TestSettingsLoad : public QObject
{
    Q_OBJECT

private slots:
    void boxesFollowTheStoreAndOnlyDifferencesFromTheDesignAreClicked_data();
    void boxesFollowTheStoreAndOnlyDifferencesFromTheDesignAreClicked();
};

void TestSettingsLoad::boxesFollowTheStoreAndOnlyDifferencesFromTheDesignAreClicked_data()
{
    QTest::addColumn<QByteArray>("ini");        // the file when the window opens; empty: none
    QTest::addColumn<QString>("checked");       // boxes 1..10 as shown, '1' for checked
    QTest::addColumn<bool>("alwaysOnTop");      // as shown
    QTest::addColumn<Values>("written");        // what the load writes back, exactly
    QTest::addColumn<QPoint>("outerCorner");    // pixels
    QTest::addColumn<QSize>("clientSize");      // pixels

    const QPoint defaultCorner(67, 67); // 1000 twips
    const QSize designSize(482, 301);   // 7230 x 4515 twips inside the 7320 x 4845 outer size

    QTest::newRow("empty store") << QByteArray() << "1111100000" << false << Values()
                                 << defaultCorner << designSize;

    QTest::newRow("store equal to design") << kDesignIni << "1111100000" << false << Values()
                                           << defaultCorner << designSize;

    QTest::newRow("store differing")
        << QByteArray("[Settings]\n"
                      "SettingsScreenLeft=1500\nSettingsScreenTop=3000\n"
                      "SettingsScreenWidth=9090\nSettingsScreenHeight=5130\n"
                      "ENABLE_PW_1=1\nENABLE_PW_2=0\nENABLE_PW_5=0\nENABLE_PW_6=0\n"
                      "ENABLE_PW_7=1\nENABLE_PW_10=1\nAlwaysOnTopTimer_TICKBOX=1\n"
                      "PROCESS_TEXTBOX_2=kept.exe\n")
        << "1011001001" << true
        << Values{{"ENABLE_PW_2", "0"},
                  {"ENABLE_PW_5", "0"},
                  {"ENABLE_PW_7", "1"},
                  {"ENABLE_PW_10", "1"},
                  {"AlwaysOnTopTimer_TICKBOX", "1"}}
        << QPoint(100, 200) << QSize(600, 320);

    // Only 1 checks a box; a text that is no number reads as the key's default.
    QTest::newRow("values other than 0 and 1")
        << QByteArray("[Settings]\n"
                      "ENABLE_PW_1=2\nENABLE_PW_2=-1\nENABLE_PW_3=abc\n"
                      "ENABLE_PW_6=2\nENABLE_PW_7=abc\nENABLE_PW_8=-1\n"
                      "AlwaysOnTopTimer_TICKBOX=2\n")
        << "0011100000" << false << Values{{"ENABLE_PW_1", "0"}, {"ENABLE_PW_2", "0"}}
        << defaultCorner << designSize;

    QTest::newRow("more values other than 0 and 1")
        << QByteArray("[Settings]\n"
                      "ENABLE_PW_4=abc\nENABLE_PW_5=32767\nENABLE_PW_9=-32768\n"
                      "AlwaysOnTopTimer_TICKBOX=-1\n")
        << "1111000000" << false << Values{{"ENABLE_PW_5", "0"}} << defaultCorner << designSize;

    QTest::newRow("always on top text")
        << QByteArray("[Settings]\nAlwaysOnTopTimer_TICKBOX=abc\nENABLE_PW_10=1\n")
        << "1111100001" << false << Values{{"ENABLE_PW_10", "1"}} << defaultCorner << designSize;
}

void TestSettingsLoad::boxesFollowTheStoreAndOnlyDifferencesFromTheDesignAreClicked()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, checked);
    QFETCH(bool, alwaysOnTop);
    QFETCH(Values, written);
    QFETCH(QPoint, outerCorner);
    QFETCH(QSize, clientSize);

    TestStore files;
    SettingsStore store;
    ZEL_VANTO_MAIN main(store, std::make_unique<ProcessProbe>());
    // The main window loads from an empty store, in the design state, so that a click at the
    // settings window's load shows as a change on it.
    main.Form_Load();
    QVERIFY(!QFile::exists(files.iniPath()));
    if (!ini.isEmpty())
        files.writeIni(ini);

    ZEL_VANTO_SETTINGS settings(main);
    settings.Form_Load();

    // Placed from the store: the frame's outer corner and the client area inside the stored
    // outer size, which the user cannot change.
    QCOMPARE(settings.pos(), outerCorner);
    QCOMPARE(settings.size(), clientSize);
    QCOMPARE(settings.minimumSize(), clientSize);
    QCOMPARE(settings.maximumSize(), clientSize);

    auto *onTopBox = settings.findChild<QCheckBox *>(QStringLiteral("AlwaysOnTopTimer_TICKBOX"));
    QVERIFY(onTopBox);
    QCOMPARE(onTopBox->isChecked(), alwaysOnTop);
    QCOMPARE(main.keeper().isRunning(), alwaysOnTop);
    for (int n = 1; n <= 10; ++n) {
        auto *box = settings.findChild<QCheckBox *>(QStringLiteral("ENABLE_PW_%1").arg(n));
        QVERIFY(box);
        const bool shown = checked.at(n - 1) == QLatin1Char('1');
        QCOMPARE(box->isChecked(), shown);
        // The main window started in the design state; it follows the boxes that were clicked.
        QCOMPARE(!main.watcherSlot(n).box()->isHidden(), shown);
        QCOMPARE(main.watcherSlot(n).timer()->isActive(), shown);
    }

    if (ini.isEmpty() && written.isEmpty()) {
        QVERIFY2(!QFile::exists(files.iniPath()), "nothing to write, yet the file was created");
        return;
    }
    const QByteArray after = files.readIni();
    if (written.isEmpty())
        QCOMPARE(after, ini); // not even rewritten
    Values expected = storedValues(ini);
    for (auto it = written.cbegin(); it != written.cend(); ++it)
        expected.insert(it.key(), it.value());
    QCOMPARE(storedValues(after), expected);
}

QTEST_MAIN(TestSettingsLoad)
#include "test_settingsload.moc"

#include "monitor/processprobe.h"
#include "store/settingsstore.h"
#include "teststore.h"
#include "ui/zel_vanto_main.h"
#include "ui/zel_vanto_settings.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QtTest>

// The settings window's load against a real store file: a box whose stored value differs from
// its design state counts as clicked, so the main window follows it and the value is written
// back; a box that matches its design state is left alone and nothing is written for it.

// The lines of an INI file, sorted: the store writes its keys in an order of its own.
static QStringList sortedLines(const QByteArray &ini)
{
    QStringList lines = QString::fromUtf8(ini).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    lines.sort();
    return lines;
}

class TestSettingsLoad : public QObject
{
    Q_OBJECT

private slots:
    void loadClicksOnlyTheBoxesThatDifferFromTheDesign_data()
    {
        QTest::addColumn<QByteArray>("ini");   // the file when the window opens; empty: none
        QTest::addColumn<QByteArray>("after"); // the file after the load; empty: none
        QTest::addColumn<QString>("checked");  // boxes 1..10 then "Always On Top", 1: checked

        QTest::newRow("empty store") << QByteArray() << QByteArray() << "11111000000";
        // In a layout the store would not write itself, so that any rewrite of the file shows.
        const QByteArray design("; by hand\n[Settings]\nENABLE_PW_5 = 1\nENABLE_PW_6 = 0\n");
        QTest::newRow("store equal to design") << design << design << "11111000000";
        // Every differing key is in the file already, so the rewrite adds none.
        const QByteArray differing("[Settings]\nENABLE_PW_1=1\nENABLE_PW_2=0\nENABLE_PW_5=0\n"
                                   "ENABLE_PW_7=1\nENABLE_PW_10=1\nAlwaysOnTopTimer_TICKBOX=1\n");
        QTest::newRow("store differing") << differing << differing << "10110010011";
        // Only 1 checks a box; a text that is no number reads as the key's default.
        QTest::newRow("values other than 0 and 1")
            << QByteArray("[Settings]\nENABLE_PW_1=2\nENABLE_PW_2=-1\nENABLE_PW_3=abc\n"
                          "ENABLE_PW_6=2\nAlwaysOnTopTimer_TICKBOX=-1\n")
            << QByteArray("[Settings]\nENABLE_PW_1=0\nENABLE_PW_2=0\nENABLE_PW_3=abc\n"
                          "ENABLE_PW_6=2\nAlwaysOnTopTimer_TICKBOX=-1\n")
            << "00111000000";
    }

    void loadClicksOnlyTheBoxesThatDifferFromTheDesign()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QByteArray, after);
        QFETCH(QString, checked);

        TestStore files;
        SettingsStore store;
        ZEL_VANTO_MAIN main(store, std::make_unique<ProcessProbe>());
        // Loaded from an empty store, in the design state: a click shows as a change on it.
        main.Form_Load();
        if (!ini.isEmpty())
            files.writeIni(ini);
        ZEL_VANTO_SETTINGS settings(main);
        settings.Form_Load();

        for (int n = 1; n <= 10; ++n) {
            const bool shown = checked.at(n - 1) == QLatin1Char('1');
            const QString name = QStringLiteral("ENABLE_PW_%1").arg(n);
            QCOMPARE(settings.findChild<QCheckBox *>(name)->isChecked(), shown);
            QCOMPARE(!main.watcherSlot(n).box()->isHidden(), shown);
            QCOMPARE(main.watcherSlot(n).timer()->isActive(), shown);
        }
        const bool onTop = checked.at(10) == QLatin1Char('1');
        QCOMPARE(settings.findChild<QCheckBox *>("AlwaysOnTopTimer_TICKBOX")->isChecked(), onTop);
        QCOMPARE(main.keeper().isRunning(), onTop);
        QCOMPARE(QFile::exists(files.iniPath()), !after.isEmpty());
        QCOMPARE(sortedLines(files.readIni()), sortedLines(after));
    }
};

QTEST_MAIN(TestSettingsLoad)
#include "test_settingsload.moc"

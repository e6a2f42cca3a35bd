#include "namedprocess.h"
#include "processprobe.h"
#include "qtmainwindow.h"
#include "qtsettingswindow.h"
#include "settingsbackend.h"
#include "settingsstore.h"
#include "teststore.h"
#include "zel_vanto_main.h"
#include "zorder.h"

#include <QtTest>
#include <QtWidgets>

// The settings window as a user meets it: opened from the main window's title strip on a real X
// server under openbox, driven by clicks, keys and the window manager's own close, checked
// against the store file on disk and the main window's boxes.

// Clicks the check box with this caption on its indicator, through the window as a user does.
static void clickBox(QtSettingsWindow &dialog, const QString &caption)
{
    for (QCheckBox *box : dialog.findChildren<QCheckBox *>())
        if (box->text() == caption)
            QTest::mouseClick(dialog.windowHandle(), Qt::LeftButton, {},
                              box->mapTo(&dialog, QPoint(6, box->height() / 2)));
}

// The program as it starts: a store on a private directory, the main window loaded and shown.
struct Program
{
    TestStore files;
    SettingsStore store{&platform::openUserSettings};
    ProcessProbe probe{platform::createProcessQuery()};
    std::unique_ptr<platform::ZOrder> zorder = platform::createZOrder("xcb");
    QtMainWindow main;
    ZEL_VANTO_MAIN behaviour{main, store, probe, *zorder};

    explicit Program(const QByteArray &ini = {})
    {
        files.writeIni(ini);
        main.bind(behaviour);
        behaviour.Form_Load();
        main.show();
    }
    bool shown(int n) { return main.boxWidget(n)->isVisible(); }
    QColor colour(int n) { return main.boxWidget(n)->palette().color(QPalette::Base); }

    // Clicks the title strip and runs `whileOpen` once the settings window is up, modal and framed.
    // A window left open (a failed check) is dismissed, so a failure never hangs the modal loop.
    template <typename WhileOpen> bool withSettings(WhileOpen whileOpen)
    {
        bool opened = false;
        QTimer watch;
        watch.callOnTimeout([&] {
            auto *dialog = qobject_cast<QtSettingsWindow *>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            watch.stop();
            opened = QTest::qWaitFor([&] { return dialog->frameGeometry() != dialog->geometry(); });
            if (opened)
                whileOpen(*dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        watch.start(10);
        auto *title = main.findChild<QLabel *>(QStringLiteral("ZEL_TITLE"));
        if (QTest::qWaitForWindowExposed(&main))
            QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {}, title->geometry().center());
        return opened;
    }
};

class TestSettingsWindow : public QObject
{
    Q_OBJECT

private slots:
    void opensModalActsAtOnceAndStoresItsPlaceOnClose()
    {
        Program program;
        const QPoint moved(300, 240);
        QVERIFY(program.withSettings([&](QtSettingsWindow &dialog) {
            QCOMPARE(dialog.windowTitle(), "ZEL-VANTO - SETTINGS");
            QCOMPARE(dialog.size(), QSize(482, 301));
            QCOMPARE(dialog.windowHandle()->transientParent(), program.main.windowHandle());
            QTRY_COMPARE(QApplication::focusWidget(), dialog.findChild<QWidget *>("ENABLE_PW_1"));
            for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter})
                QTest::keyClick(dialog.windowHandle(), key);
            QVERIFY(dialog.isVisible());

            // The credit line shows the address from a double-click until the window closes.
            auto *credit = dialog.findChild<QLabel *>("ZEL_VANTO_CREATOR");
            QTest::mouseDClick(credit, Qt::LeftButton);

            clickBox(dialog, "Enable Process Watcher - 7");
            QVERIFY(program.shown(7));
            QVERIFY(program.files.readIni().contains("\nENABLE_PW_7=1\n"));

            dialog.move(moved);
            QTRY_COMPARE(dialog.frameGeometry().topLeft(), moved);
            QCOMPARE(credit->text(), QStringLiteral("corvane@example.org"));
            // The window manager's close, as the close control gives it.
            QProcess::execute("wmctrl", {"-F", "-c", "ZEL-VANTO - SETTINGS"});
            QTRY_VERIFY(!dialog.isVisible());
        }));
        const QByteArray ini = program.files.readIni();
        QVERIFY(ini.contains("\nSettingsScreenLeft=4500\n")); // twips
        QVERIFY(ini.contains("\nSettingsScreenTop=3600\n"));
        QVERIFY(!ini.contains("SettingsScreenWidth") && !ini.contains("SettingsScreenHeight"));

        QVERIFY(program.withSettings([&](QtSettingsWindow &dialog) {
            QTRY_COMPARE(dialog.frameGeometry().topLeft(), moved);
        }));
    }

    void untickedSlotStopsPollingAndKeepsItsColour()
    {
        NamedProcess process(QStringLiteral("zvsetw"));
        Program program("[Settings]\nPROCESS_TEXTBOX_3=zvsetw\n");
        QVERIFY(program.withSettings([&](QtSettingsWindow &dialog) {
            QTRY_COMPARE_WITH_TIMEOUT(program.colour(3), QColor(Qt::green), 2500);
            clickBox(dialog, "Enable Process Watcher - 3");
            QVERIFY(!program.shown(3));
            QVERIFY(!program.behaviour.watcherSlots().slot(3).isEnabled());

            // Ticked again after the process has ended: its last colour until its next tick.
            process.stop();
            clickBox(dialog, "Enable Process Watcher - 3");
            QVERIFY(program.shown(3));
            QCOMPARE(program.colour(3), QColor(Qt::green));
            QTRY_COMPARE_WITH_TIMEOUT(program.colour(3), QColor(Qt::red), 2500);
        }));
    }

    void windowStoredOffScreenOpensOnThePrimaryScreen()
    {
        Program program("[Settings]\nSettingsScreenLeft=-200000\n");
        const QPoint corner = QGuiApplication::primaryScreen()->availableGeometry().topLeft();
        QVERIFY(program.withSettings([&](QtSettingsWindow &dialog) {
            QTRY_COMPARE(dialog.frameGeometry().topLeft(), corner);
        }));
    }

    void alwaysOnTopStartsTheKeeper()
    {
        // Another window, marked above; with the keeper off it keeps its mark.
        QWidget other(nullptr, Qt::WindowStaysOnTopHint);
        other.show();
        const QString id = QString::number(other.winId());
        const auto markedAbove = [&] {
            QProcess xprop;
            xprop.start("xprop", {"-id", id, "_NET_WM_STATE"});
            return xprop.waitForFinished() && xprop.readAll().contains("_NET_WM_STATE_ABOVE");
        };
        QTRY_VERIFY(markedAbove());

        Program program;
        QVERIFY(program.withSettings([&](QtSettingsWindow &dialog) {
            clickBox(dialog, "Always On Top");
            QVERIFY(program.behaviour.keeper().isRunning());
        }));
        // In the foreground it loses its mark at the keeper's next tick.
        QProcess::execute("wmctrl", {"-i", "-a", id});
        QTRY_VERIFY_WITH_TIMEOUT(!markedAbove(), 3000);
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "test_settingswindow.moc"

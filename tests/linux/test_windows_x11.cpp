#include "namedprocess.h"
#include "processprobe.h"
#include "qtmainwindow.h"
#include "qtsettingswindow.h"
#include "session.h"
#include "settingsbackend.h"
#include "settingsstore.h"
#include "teststore.h"
#include "zel_vanto_main.h"
#include "zorder.h"

#include <QAccessible>
#include <QtGui/private/qguiapplication_p.h>
#include <QtTest>
#include <QtWidgets>

// Both windows in this process on a real X server under openbox, wired as the program wires
// them, driven by clicks and keys and the window manager's own close, checked against the store
// file on disk.

// Clicks the check box with this caption on its indicator, through the window as a user does.
static void clickBox(QtSettingsWindow &dialog, const QString &caption)
{
    for (QCheckBox *box : dialog.findChildren<QCheckBox *>())
        if (box->text() == caption)
            QTest::mouseClick(dialog.windowHandle(), Qt::LeftButton, {},
                              box->mapTo(&dialog, QPoint(6, box->height() / 2)));
}

static QString focusName()
{
    return QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString();
}

// The program as it starts: a store in a private directory, the main window loaded and shown.
struct Program
{
    TestStore files;
    SettingsStore store{platform::openUserSettings(SettingsStore::kApplication)};
    ProcessProbe probe{platform::createProcessQuery()};
    std::unique_ptr<platform::ZOrder> zorder = platform::createZOrder();
    QtMainWindow main;
    ZEL_VANTO_MAIN behaviour{main, store, probe, *zorder};
    std::unique_ptr<platform::Subscription> sessionSave =
        platform::onSessionSave([this] { behaviour.saveState(); });

    explicit Program(const QByteArray &ini = {})
    {
        files.writeIni(ini);
        main.bind(behaviour);
        behaviour.Form_Load();
        main.show();
        main.activateWindow();
    }
    QLineEdit *box(int n) { return main.boxWidget(n); }
    QColor colour(int n) { return box(n)->palette().color(QPalette::Base); }

    // Opens the settings window (`open` clicks the title strip or works the keyboard) and runs
    // `whileOpen` once it is up, modal and framed. A window left open (a failed check) is
    // dismissed, so a failure never hangs the modal loop.
    template <typename WhileOpen> bool withSettings(WhileOpen whileOpen, bool byKeyboard = false)
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
        if (!QTest::qWaitForWindowActive(&main))
            return false;
        auto *title = main.findChild<QLabel *>(QStringLiteral("ZEL_TITLE"));
        if (byKeyboard)
            QTest::keyClick(main.windowHandle(), Qt::Key_Return);
        else
            QTest::mouseClick(main.windowHandle(), Qt::LeftButton, {}, title->geometry().center());
        return opened;
    }
};

class TestWindowsX11 : public QObject
{
    Q_OBJECT

private slots:
    void settingsOpenModalActAtOnceAndStoreTheirPlaceOnClose()
    {
        NamedProcess process(QStringLiteral("zvsetw"));
        Program program("[Settings]\nPROCESS_TEXTBOX_3=zvsetw\n");
        const QPoint moved(300, 240);
        program.box(2)->setFocus();
        QVERIFY(program.withSettings([&](QtSettingsWindow &dialog) {
            QCOMPARE(dialog.size(), QSize(482, 301));
            QCOMPARE(dialog.windowHandle()->transientParent(), program.main.windowHandle());
            QVERIFY(dialog.windowIcon().isNull()); // none of its own, none inherited
            QTRY_COMPARE(focusName(), "ENABLE_PW_1");
            for (Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter})
                QTest::keyClick(dialog.windowHandle(), key);
            QVERIFY(dialog.isVisible());
            // The credit line shows the address from a double-click until the window closes.
            auto *credit = dialog.findChild<QLabel *>("ZEL_VANTO_CREATOR");
            QTest::mouseDClick(credit, Qt::LeftButton);
            QCOMPARE(credit->text(), QStringLiteral("corvane@example.org"));

            // The main window polls on; unticked, a slot hides its box and stops.
            QTRY_COMPARE_WITH_TIMEOUT(program.colour(3), QColor(Qt::green), 2500);
            clickBox(dialog, "Enable Process Watcher - 3");
            QVERIFY(!program.box(3)->isVisible());
            QVERIFY(!program.behaviour.watcherSlots().slot(3).isEnabled());
            QVERIFY(program.files.readIni().contains("\nENABLE_PW_3=0\n"));

            dialog.move(moved);
            QTRY_COMPARE(dialog.frameGeometry().topLeft(), moved);
            // The window manager's close, as the close control gives it.
            QProcess::execute("wmctrl", {"-F", "-c", "ZEL-VANTO - SETTINGS"});
            QTRY_VERIFY(!dialog.isVisible());
        }));
        // The frame's corner, in twips.
        QVERIFY(program.files.readIni().contains(
            "\nSettingsScreenLeft=4500\nSettingsScreenTop=3600\n"));
        // Back in the box that had the focus, although the window manager focuses nothing.
        QTRY_COMPARE(focusName(), "PROCESS_TEXTBOX_2");

        QVERIFY(program.withSettings([&](QtSettingsWindow &dialog) {
            QTRY_COMPARE(dialog.frameGeometry().topLeft(), moved);
        }));
    }

    void keyboardReachesEveryControlAndAlwaysOnTopStartsTheKeeper()
    {
        // Another window, marked above; with the keeper off it keeps its mark.
        QWidget other(nullptr, Qt::WindowStaysOnTopHint);
        other.show();
        const QString id = QString::number(other.winId());
        const auto markedAbove = [&id] {
            QProcess xprop;
            xprop.start("xprop", {"-id", id, "_NET_WM_STATE"});
            return xprop.waitForFinished() && xprop.readAll().contains("_NET_WM_STATE_ABOVE");
        };
        QTRY_VERIFY(markedAbove());

        Program program;
        QTRY_COMPARE(focusName(), "PROCESS_TEXTBOX_1");
        // Boxes 1-5 (6-10 are hidden), then the title strip, which opens the settings on Enter.
        for (const char *next : {"PROCESS_TEXTBOX_2", "PROCESS_TEXTBOX_3", "PROCESS_TEXTBOX_4",
                                 "PROCESS_TEXTBOX_5", "ZEL_TITLE"}) {
            QTest::keyClick(program.main.windowHandle(), Qt::Key_Tab);
            QTRY_COMPARE(focusName(), next);
        }
        QStringList order;
        QVERIFY(program.withSettings(
            [&](QtSettingsWindow &dialog) {
                QTRY_COMPARE(focusName(), "ENABLE_PW_1");
                for (int i = 0; i < 12; ++i) {
                    QTest::keyClick(dialog.windowHandle(), Qt::Key_Tab);
                    order << focusName();
                    if (order.last() == "AlwaysOnTopTimer_TICKBOX")
                        QTest::keyClick(dialog.windowHandle(), Qt::Key_Space);
                }
                QVERIFY(program.behaviour.keeper().isRunning());
                for (int i = 0; i < 10; ++i)
                    QTest::keyClick(dialog.windowHandle(), Qt::Key_Tab);
                QCOMPARE(focusName(), "OK_BUTTON");
                QTest::keyClick(dialog.windowHandle(), Qt::Key_Space);
                QTRY_VERIFY(!dialog.isVisible());
            },
            true));
        QCOMPARE(order, QStringList({"ENABLE_PW_2", "ENABLE_PW_3", "ENABLE_PW_4", "ENABLE_PW_5",
                                     "ENABLE_PW_6", "ENABLE_PW_7", "ENABLE_PW_8", "ENABLE_PW_9",
                                     "ENABLE_PW_10", "OK_BUTTON", "AlwaysOnTopTimer_TICKBOX",
                                     "ENABLE_PW_1"}));
        QVERIFY(program.files.readIni().contains("\nAlwaysOnTopTimer_TICKBOX=1\n"));
        QTRY_COMPARE(focusName(), "ZEL_TITLE");
        // Its focus frame is the strip's own green at the edge, 15:1 against the black strip.
        QLabel *title = program.main.findChild<QLabel *>("ZEL_TITLE");
        QCOMPARE(title->grab().toImage().pixelColor(1, title->height() / 2), QColor(Qt::green));
        // In the foreground, the other window loses its mark at the keeper's next tick.
        QProcess::execute("wmctrl", {"-i", "-a", id});
        QTRY_VERIFY_WITH_TIMEOUT(!markedAbove(), 3000);
    }

    void namesAreSavedWhenTheFocusLeavesAndWhenTheSessionAsks()
    {
        Program program;
        QTRY_COMPARE(focusName(), "PROCESS_TEXTBOX_1");
        QTest::keyClicks(program.box(1), QStringLiteral("zvleave"));
        QTest::keyClick(program.main.windowHandle(), Qt::Key_Tab);
        // At once, not when typing pauses.
        QVERIFY(program.files.readIni().contains("\nPROCESS_TEXTBOX_1=zvleave\n"));

        program.box(1)->setText(QStringLiteral("zvsession.exe"));
        // As the session manager asks at a logout, which may yet be cancelled.
        QGuiApplicationPrivate::instance()->commitData();
        QVERIFY(program.files.readIni().contains("\nPROCESS_TEXTBOX_1=zvsession.exe\n"));
        QVERIFY(program.main.isVisible());
        program.box(1)->setText(QStringLiteral("zvlater.exe"));
        QVERIFY(program.main.close());
        QVERIFY(program.files.readIni().contains("\nPROCESS_TEXTBOX_1=zvlater.exe\n"));
    }

    void boxesSayTheirStateAndStayReadableUnderADarkTheme()
    {
        const QPalette light = QApplication::palette();
        QPalette dark = light;
        dark.setColor(QPalette::Base, QColor(30, 30, 30));
        dark.setColor(QPalette::Text, Qt::white);
        QApplication::setPalette(dark);
        const auto restore = qScopeGuard([&] { QApplication::setPalette(light); });

        NamedProcess process(QStringLiteral("zvdark"));
        Program program("[Settings]\nPROCESS_TEXTBOX_1=zvdark\nPROCESS_TEXTBOX_2=zvabsent\n");
        const auto accessible = [](QWidget *widget, QAccessible::Text text) {
            return QAccessible::queryAccessibleInterface(widget)->text(text);
        };
        QCOMPARE(accessible(program.box(2), QAccessible::Name), "Process watcher 2");
        QCOMPARE(accessible(program.main.findChild<QLabel *>("ZEL_TITLE"), QAccessible::Name),
                 "ZEL-VANTO settings");

        QTRY_COMPARE_WITH_TIMEOUT(program.colour(2), QColor(Qt::red), 2500);
        QTRY_COMPARE_WITH_TIMEOUT(program.colour(1), QColor(Qt::green), 2500);
        QCOMPARE(accessible(program.box(1), QAccessible::Description), "running");
        QCOMPARE(program.box(2)->toolTip(), "zvabsent: not running");
        // White would be unreadable on pure green and red; the background stays exact.
        for (int n : {1, 2}) {
            QCOMPARE(program.box(n)->palette().color(QPalette::Text), QColor(Qt::black));
            const QImage image = program.box(n)->grab().toImage();
            QCOMPARE(image.pixelColor(4, image.height() / 2),
                     n == 1 ? QColor(Qt::green) : QColor(Qt::red));
        }
    }
};

QTEST_MAIN(TestWindowsX11)
#include "test_windows_x11.moc"

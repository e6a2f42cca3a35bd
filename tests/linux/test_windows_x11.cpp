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

#include <QtGui/private/qguiapplication_p.h>
#include <QtTest>
#include <QtWidgets>

// Both windows in this process on a real X server under openbox, wired as the program wires
// them, driven by clicks and keys and the window manager's own close, checked against the store
// file on disk.

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
    // Under a dark theme: a name is saved as the focus leaves its box, when the session asks and
    // at the close; the settings window opens modal, acts at once and keeps its place; the boxes
    // are pure green and red with black text, still readable.
    void namesAreSavedAndSettingsActAtOnceAndKeepTheirPlace()
    {
        QPalette dark = QApplication::palette(); // for the rest of this test program
        dark.setColor(QPalette::Base, QColor(30, 30, 30));
        dark.setColor(QPalette::Text, Qt::white);
        QApplication::setPalette(dark);

        NamedProcess typed(QStringLiteral("zvleave")), listed(QStringLiteral("zvsetw"));
        Program program("[Settings]\nPROCESS_TEXTBOX_2=zvabsent\nPROCESS_TEXTBOX_3=zvsetw\n");
        QTRY_COMPARE(focusName(), "PROCESS_TEXTBOX_1");
        QTest::keyClicks(program.box(1), QStringLiteral("zvleave"));
        QTest::keyClick(program.main.windowHandle(), Qt::Key_Tab);
        // At once, not when typing pauses.
        QVERIFY(program.files.readIni().contains("\nPROCESS_TEXTBOX_1=zvleave\n"));

        const QPoint moved(300, 240);
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

            // The main window polls on; unticked, a slot hides its box at once.
            QTRY_COMPARE_WITH_TIMEOUT(program.colour(3), QColor(Qt::green), 2500);
            // Clicked on its indicator, through the window as a user does.
            auto *tick = dialog.findChild<QCheckBox *>("ENABLE_PW_3");
            QTest::mouseClick(dialog.windowHandle(), Qt::LeftButton, {},
                              tick->mapTo(&dialog, QPoint(6, tick->height() / 2)));
            QVERIFY(!program.box(3)->isVisible());

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

        // Enter on the title strip opens it again, where it was.
        QLabel *title = program.main.findChild<QLabel *>("ZEL_TITLE");
        title->setFocus();
        QVERIFY(program.withSettings(
            [&](QtSettingsWindow &dialog) {
                QTRY_COMPARE(dialog.frameGeometry().topLeft(), moved);
            },
            true));
        // The strip's focus frame is its own green at the edge, 15:1 against the black strip.
        QTRY_COMPARE(focusName(), "ZEL_TITLE");
        QCOMPARE(title->grab().toImage().pixelColor(1, title->height() / 2), QColor(Qt::green));

        QTRY_COMPARE_WITH_TIMEOUT(program.colour(2), QColor(Qt::red), 2500);
        QTRY_COMPARE_WITH_TIMEOUT(program.colour(1), QColor(Qt::green), 2500);
        // White would be unreadable on pure green and red; the background stays exact.
        for (int n : {1, 2}) {
            QCOMPARE(program.box(n)->palette().color(QPalette::Text), QColor(Qt::black));
            const QImage image = program.box(n)->grab().toImage();
            QCOMPARE(image.pixelColor(4, image.height() / 2),
                     n == 1 ? QColor(Qt::green) : QColor(Qt::red));
        }

        program.box(1)->setText(QStringLiteral("zvsession.exe"));
        // As the session manager asks at a logout, which may yet be cancelled.
        QGuiApplicationPrivate::instance()->commitData();
        QVERIFY(program.files.readIni().contains("\nPROCESS_TEXTBOX_1=zvsession.exe\n"));
        QVERIFY(program.main.isVisible());
        program.box(1)->setText(QStringLiteral("zvlater.exe"));
        QVERIFY(program.main.close());
        QVERIFY(program.files.readIni().contains("\nPROCESS_TEXTBOX_1=zvlater.exe\n"));
    }
};

QTEST_MAIN(TestWindowsX11)
#include "test_windows_x11.moc"

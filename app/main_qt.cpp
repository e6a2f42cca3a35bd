#include "processprobe.h"
#include "qtmainwindow.h"
#include "session.h"
#include "settingsbackend.h"
#include "settingsstore.h"
#include "zel_vanto_main.h"
#include "zorder.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QString why;
    if (!platform::chooseWindowSystem(why)) {
        // Name the program as it was started, so that the hint also works from a build tree.
        why.replace(QStringLiteral("xvfb-run -a zel-vanto"),
                    QStringLiteral("xvfb-run -a ") + QString::fromLocal8Bit(argv[0]));
        std::fprintf(stderr, "zel-vanto: %s\n", qPrintable(why));
        return 1;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZEL-VANTO"));
    QApplication::setOrganizationName(QStringLiteral("ZEL-VANTO"));
    // The main window is a tool window, which does not end the program when it closes; its
    // unload does.
    QApplication::setQuitOnLastWindowClosed(false);

    SettingsStore store(&platform::openUserSettings);
    ProcessProbe probe(platform::createProcessQuery());
    const auto zorder = platform::createZOrder(QGuiApplication::platformName().toStdString());
    QtMainWindow view;
    ZEL_VANTO_MAIN window(view, store, probe, *zorder);
    view.bind(window);
    QObject::connect(&view, &QtMainWindow::unloaded, &app, &QApplication::quit);

    // Ending from outside (kill, logout, shutdown) runs the same unload as closing the window,
    // so that nothing typed since start is lost.
    const auto endFromOutside = [&view] {
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
        view.close();
    };
    platform::onEndRequest(&app, endFromOutside);
    platform::onSessionSave(&view, [&window] { window.saveState(); });

    window.Form_Load();
    view.show();
    // Window managers may not focus a new tool window by themselves; the user expects to type.
    view.activateWindow();
    return app.exec();
}

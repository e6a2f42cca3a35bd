#include "monitor/processprobe.h"
#include "platform/session.h"
#include "store/settingsstore.h"
#include "ui/zel_vanto_main.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    QString why;
    if (!platform::windowSystemAvailable(why)) {
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

    SettingsStore store;
    ZEL_VANTO_MAIN window(store, std::make_unique<ProcessProbe>());
    QObject::connect(&window, &ZEL_VANTO_MAIN::unloaded, &app, &QApplication::quit);

    // Ending from outside (kill, logout, shutdown) runs the same unload as closing the window,
    // so that nothing typed since start is lost.
    const auto endFromOutside = [&window] {
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
        window.close();
    };
    platform::onEndRequest(&app, endFromOutside);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager &) { window.saveState(); });

    window.Form_Load();
    window.show();
    // Window managers may not focus a new tool window by themselves; the user expects to type.
    window.activateWindow();
    return app.exec();
}

#include "processprobe.h"
#include "qtmainwindow.h"
#include "session.h"
#include "settingsbackend.h"
#include "settingsstore.h"
#include "zel_vanto_main.h"
#include "zorder.h"

#include <QApplication>
#include <csignal>
#include <cstdio>
#include <string>

int main(int argc, char *argv[])
{
    // A report to a stderr whose reader has gone fails, and must not end the program with it.
    std::signal(SIGPIPE, SIG_IGN);

    std::string why;
    if (!platform::chooseWindowSystem(why)) {
        // Name the program as it was started, so that the hint also works from a build tree.
        const std::string_view hint = "xvfb-run -a zel-vanto";
        if (const auto at = why.find(hint); at != std::string::npos)
            why.replace(at, hint.size(), "xvfb-run -a " + std::string(argv[0]));
        std::fprintf(stderr, "zel-vanto: %s\n", why.c_str());
        return 1;
    }

    QApplication app(argc, argv);
    platform::releaseWindowSystemCheck();
    QApplication::setApplicationName(QStringLiteral("ZEL-VANTO"));
    QApplication::setOrganizationName(QStringLiteral("ZEL-VANTO"));
    // The main window is a tool window, which does not end the program when it closes; its
    // unload does.
    QApplication::setQuitOnLastWindowClosed(false);

    SettingsStore store(platform::openUserSettings(SettingsStore::kApplication));
    ProcessProbe probe(platform::createProcessQuery());
    // Only on X11 can a window be kept on top; elsewhere the keeper has nothing to act on.
    const auto zorder = QGuiApplication::platformName() == QLatin1String("xcb")
                            ? platform::createZOrder()
                            : platform::createNullZOrder();
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
    platform::onEndRequest(endFromOutside);
    const auto sessionSave = platform::onSessionSave([&window] { window.saveState(); });

    window.Form_Load();
    view.show();
    // Window managers may not focus a new tool window by themselves; the user expects to type.
    view.activateWindow();
    return app.exec();
}

#include "processprobe.h"
#include "settingsbackend.h"
#include "settingsstore.h"
#include "win32mainwindow.h"
#include "zel_vanto_main.h"
#include "zorder.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    SettingsStore store(platform::openUserSettings(SettingsStore::kApplication));
    // WMI over COM, initialised apartment-threaded here on the thread that runs the windows.
    ProcessProbe probe(platform::createProcessQuery());
    const auto zorder = platform::createZOrder();
    Win32MainWindow view;
    ZEL_VANTO_MAIN window(view, store, probe, *zorder);
    view.bind(window);
    view.onUnloaded([] { PostQuitMessage(0); });

    window.Form_Load();
    view.show();
    return view.exec();
}

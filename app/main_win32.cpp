#include "processprobe.h"
#include "settingsbackend.h"
#include "settingsstore.h"
#include "win32mainwindow.h"
#include "zel_vanto_main.h"
#include "zorder.h"

#include <windows.h>

#include <objbase.h>

namespace {

// COM on the thread that runs the windows, apartment-threaded as a window's thread is: assistive
// technology reaches the controls' accessible objects through it. Left after everything else.
struct ComApartment
{
    ComApartment() : initialised(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment()
    {
        if (initialised)
            CoUninitialize();
    }
    ComApartment(const ComApartment &) = delete;
    ComApartment &operator=(const ComApartment &) = delete;
    const bool initialised;
};

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const ComApartment com;
    SettingsStore store(platform::openUserSettings(SettingsStore::kApplication));
    // WMI runs on a thread of the query's own, which starts binding to the service now.
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

#include "fakes.h"

#include "layout.h"

std::optional<std::string> FakeBackend::read(std::string_view, std::string_view key)
{
    log.push_back("read " + std::string(key));
    const auto found = values.find(key);
    if (found == values.end())
        return std::nullopt;
    return found->second;
}

bool FakeBackend::write(std::string_view, const std::vector<platform::StoredValue> &written)
{
    std::string line = refuseWrites ? "refused" : "write";
    for (const auto &value : written)
        line += " " + value.key + "=" + value.text;
    log.push_back(line);
    if (refuseWrites)
        return false;
    for (const auto &value : written)
        values[value.key] = value.text;
    return true;
}

void FakeTimer::setInterval(int ms)
{
    interval = ms;
    log.push_back(name + " interval " + std::to_string(ms));
}

void FakeTimer::start()
{
    running = true;
    log.push_back(name + " start");
}

void FakeTimer::startAfter(int firstTickMs)
{
    running = true;
    log.push_back(name + " start after " + std::to_string(firstTickMs));
}

void FakeTimer::stop()
{
    running = false;
    log.push_back(name + " stop");
}

void FakeNameBox::setText(const std::string &text)
{
    content = text;
    log.push_back(name + " text '" + text + "'");
}

void FakeNameBox::setBackground(Rgb colour)
{
    background = colour;
    log.push_back(name + " colour " + std::to_string(colour.red) + "," +
                  std::to_string(colour.green) + "," + std::to_string(colour.blue));
}

void FakeNameBox::setVisible(bool shown)
{
    visible = shown;
    log.push_back(name + (shown ? " show" : " hide"));
}

void FakeCheckBox::setValue(int value)
{
    v = value;
    log.push_back(name + " value " + std::to_string(value));
}

void FakePlace::place(Log &log, PixelPoint at, PixelSize client)
{
    corner = at;
    size = client;
    log.push_back("place " + std::to_string(at.x) + "," + std::to_string(at.y) + " " +
                  std::to_string(client.width) + "x" + std::to_string(client.height));
}

void FakePlace::focus(Log &log, std::string_view control)
{
    focused = control;
    log.push_back("focus " + focused);
}

FakeSettingsView::FakeSettingsView(Log &sharedLog) : log(sharedLog)
{
    namespace design = layout::settingsWindow;
    for (int n = 1; n <= 10; ++n) {
        boxes[static_cast<std::size_t>(n - 1)] =
            std::make_unique<FakeCheckBox>(log, design::enableBox(n).name, design::designValue(n));
    }
    onTop = std::make_unique<FakeCheckBox>(log, design::alwaysOnTopBox().name,
                                           design::kAlwaysOnTopDesignValue);
    creator = design::creator().caption;
}

void FakeSettingsView::runModal(ZEL_VANTO_SETTINGS &window)
{
    log.push_back("settings shown");
    shown = &window;
    if (whileOpen)
        whileOpen(*this, window);
    closeWindow(); // a window still open is closed with its close control
}

void FakeSettingsView::closeWindow()
{
    if (!shown)
        return;
    ZEL_VANTO_SETTINGS *window = shown;
    shown = nullptr;
    window->Form_Unload();
    log.push_back("settings closed");
}

FakeMainView::FakeMainView(Log &sharedLog)
    : log(sharedLog), keeper(log, "AlwaysOnTopTimer"), nameSave(log, "NameSaveTimer")
{
    for (int n = 1; n <= 10; ++n) {
        const auto i = static_cast<std::size_t>(n - 1);
        boxes[i] = std::make_unique<FakeNameBox>(log, layout::mainWindow::box(n).name);
        boxes[i]->visible = n <= 5;
        timers[i] = std::make_unique<FakeTimer>(log, "PROCESS_WATCHER_TIMER_" + std::to_string(n));
    }
}

std::unique_ptr<SettingsView> FakeMainView::createSettingsView()
{
    auto view = std::make_unique<FakeSettingsView>(log);
    view->whileOpen = settingsWhileOpen;
    return view;
}

#include "fakes.h"

std::optional<std::string> FakeBackend::read(std::string_view, std::string_view key)
{
    log.push_back("read " + std::string(key));
    const auto found = values.find(key);
    return found == values.end() ? std::nullopt : std::optional(found->second);
}

bool FakeBackend::write(std::string_view, const std::vector<platform::StoredValue> &written)
{
    std::string line = refuseWrites ? "refused" : "write";
    for (const auto &value : written) {
        line += " " + value.key + "=" + value.text;
        if (!refuseWrites)
            values[value.key] = value.text;
    }
    log.push_back(line);
    return !refuseWrites;
}

FakeSettingsView::FakeSettingsView(Log &shared, WhileOpen user)
    : FakeWindow(shared), whileOpen(std::move(user))
{
    for (int n = 1; n <= keys::kSlotCount; ++n)
        boxes.emplace_back(log, layout::settingsWindow::enableBox(n));
}

FakeMainView::FakeMainView(Log &shared) : FakeWindow(shared)
{
    for (int n = 1; n <= keys::kSlotCount; ++n) {
        boxes.emplace_back(log, layout::mainWindow::box(n).name).visible =
            layout::mainWindow::box(n).designVisible;
        timers.emplace_back(log, "PROCESS_WATCHER_TIMER_" + std::to_string(n));
    }
}

#pragma once

#include "layout.h"
#include "processquery.h"
#include "settingsbackend.h"
#include "views.h"
#include "zel_vanto_settings.h"

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

// Plain fakes of everything the core drives. Each records what it is asked to do, in order, into
// one shared log, so that a test can read back a whole sequence.
using Log = std::vector<std::string>;

// A control or timer that logs under its name: "PROCESS_TEXTBOX_2 show".
struct Named
{
    Named(Log &shared, std::string named) : log(shared), name(std::move(named)) {}
    Log &log;
    std::string name;
    void note(const std::string &what) { log.push_back(name + " " + what); }
    // Sets one of the fake's fields, and logs what that did.
    template <typename T> void set(T &field, const T &value, const std::string &what)
    {
        field = value;
        note(what);
    }
};

// An in-memory store: writes are logged as "write K1=V1 K2=V2".
struct FakeBackend final : platform::SettingsBackend
{
    using Values = std::map<std::string, std::string, std::less<>>;
    FakeBackend(Log &shared, Values seed) : log(shared), values(std::move(seed)) {}
    std::optional<std::string> read(std::string_view, std::string_view key) override
    {
        const auto found = values.find(key);
        return found == values.end() ? std::nullopt : std::optional(found->second);
    }
    bool write(std::string_view, const std::vector<platform::StoredValue> &written) override
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
    std::string location() const override { return "memory"; }

    Log &log;
    Values values;
    bool refuseWrites = false;
};

// Answers true for the names in `running`, compared exactly; counts the questions.
struct FakeQuery final : platform::ProcessQuery
{
    bool isRunning(const std::string &name) override
    {
        ++questions;
        return running.count(name) != 0;
    }
    std::set<std::string> running;
    int questions = 0;
};

// Logs "zorder clear N" and "zorder set N".
struct FakeZOrder final : platform::ZOrder, Named
{
    using WindowId = platform::WindowId;
    explicit FakeZOrder(Log &shared) : Named(shared, "zorder") {}
    WindowId foregroundWindow() override { return foreground; }
    // Window 42 is one that the main window (7) owns.
    bool isOwnedBy(WindowId w, WindowId owner) override { return w == 42 && owner == 7; }
    void clearTopmost(WindowId w) override { note("clear " + std::to_string(w)); }
    void setTopmost(WindowId w) override { note("set " + std::to_string(w)); }
    WindowId foreground = 0;
};

struct FakeTimer final : Timer, Named
{
    using Named::Named;
    void setInterval(int ms) override { note("interval " + std::to_string(ms)); }
    void start() override { set(running, true, "start"); }
    void stop() override { set(running, false, "stop"); }
    bool isRunning() const override { return running; }
    bool running = false;
};

struct FakeNameBox final : NameBox, Named
{
    using Named::Named;
    std::string text() const override { return content; }
    void setText(const std::string &text) override { set(content, text, "text '" + text + "'"); }
    void setBackground(Rgb c) override
    {
        note("colour " + std::to_string(c.red) + "," + std::to_string(c.green) + "," +
             std::to_string(c.blue));
    }
    void setTextColour(Rgb colour) override { textColour = colour; }
    void setVisible(bool shown) override { set(visible, shown, shown ? "show" : "hide"); }
    void setDescription(const std::string &text) override { description = text; }
    void setToolTip(const std::string &text) override { toolTip = text; }
    bool hasFocus() const override { return focused; }
    void announce(const std::string &text) override { note("announce '" + text + "'"); }

    std::string content;
    std::optional<Rgb> textColour;
    bool visible = false;
    std::string description;
    std::string toolTip;
    bool focused = false;
};

struct FakeCheckBox final : CheckBox, Named
{
    FakeCheckBox(Log &shared, const layout::Control &design)
        : Named(shared, design.name), checked(design.designChecked)
    {}
    bool isChecked() const override { return checked; }
    void setChecked(bool on) override { set(checked, on, on ? "value 1" : "value 0"); }
    bool checked;
};

// What both windows share: their place, logged as "place X,Y WxH", the screens and the focus.
template <typename View> struct FakeWindow : View
{
    explicit FakeWindow(Log &shared) : log(shared) {}
    std::vector<ScreenArea> screens() const override { return screenAreas; }
    void place(PixelPoint at, PixelSize client) override
    {
        corner = at;
        size = client;
        log.push_back("place " + std::to_string(at.x) + "," + std::to_string(at.y) + " " +
                      std::to_string(client.width) + "x" + std::to_string(client.height));
    }
    PixelPoint outerCorner() const override { return corner; }
    PixelSize clientSize() const override { return size; }
    bool knowsPlace() const override { return known; }
    void focus(std::string_view name) override { log.push_back("focus " + (hasFocus = name)); }
    std::string focused() const override { return hasFocus; }

    Log &log;
    PixelPoint corner;
    PixelSize size;
    std::vector<ScreenArea> screenAreas{{{0, 0, 1280, 1024}, 96}};
    bool known = true;
    std::string hasFocus;
};

// What the user does while the settings window is open.
struct FakeSettingsView;
using WhileOpen = std::function<void(FakeSettingsView &, ZEL_VANTO_SETTINGS &)>;

struct FakeSettingsView final : FakeWindow<SettingsView>
{
    FakeSettingsView(Log &shared, WhileOpen user) : FakeWindow(shared), whileOpen(std::move(user))
    {
        for (int n = 1; n <= keys::kSlotCount; ++n)
            boxes.emplace_back(log, layout::settingsWindow::enableBox(n));
    }
    CheckBox &enableBox(int n) override { return boxes.at(static_cast<std::size_t>(n - 1)); }
    CheckBox &alwaysOnTopBox() override { return onTop; }
    void setCreatorCaption(std::string_view caption) override { creator = caption; }
    void runModal(ZEL_VANTO_SETTINGS &window) override
    {
        log.push_back("settings shown");
        shown = &window;
        whileOpen(*this, window);
        closeWindow(); // a window still open is closed with its close control
    }
    void closeWindow() override
    {
        if (shown) {
            std::exchange(shown, nullptr)->Form_Unload();
            log.push_back("settings closed");
        }
    }

    std::vector<FakeCheckBox> boxes; // at their design values
    FakeCheckBox onTop{log, layout::settingsWindow::alwaysOnTopBox()};
    std::string creator{layout::settingsWindow::creator().caption};
    ZEL_VANTO_SETTINGS *shown = nullptr;
    WhileOpen whileOpen;
};

struct FakeMainView final : FakeWindow<MainView>
{
    explicit FakeMainView(Log &shared) : FakeWindow(shared)
    {
        for (int n = 1; n <= keys::kSlotCount; ++n) {
            boxes.emplace_back(log, layout::mainWindow::box(n).name).visible =
                layout::mainWindow::box(n).designVisible;
            timers.emplace_back(log, "PROCESS_WATCHER_TIMER_" + std::to_string(n));
        }
    }
    NameBox &box(int n) override { return boxes.at(static_cast<std::size_t>(n - 1)); }
    Timer &slotTimer(int n) override { return timers.at(static_cast<std::size_t>(n - 1)); }
    Timer &keeperTimer() override { return keeper; }
    Timer &nameSaveTimer() override { return nameSave; }
    platform::WindowId windowId() override { return 7; }
    Rgb windowTextColour() const override { return textColour; }
    std::unique_ptr<SettingsView> createSettingsView() override
    {
        return std::make_unique<FakeSettingsView>(log, settingsWhileOpen);
    }

    std::vector<FakeNameBox> boxes; // 1-5 shown, as designed
    std::vector<FakeTimer> timers;
    FakeTimer keeper{log, "AlwaysOnTopTimer"};
    FakeTimer nameSave{log, "NameSaveTimer"};
    Rgb textColour{0, 0, 0};
    WhileOpen settingsWhileOpen = [](auto &, auto &) {}; // for the next settings window
};

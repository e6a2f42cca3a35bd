#pragma once

#include "processquery.h"
#include "settingsbackend.h"
#include "views.h"
#include "zel_vanto_settings.h"

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

// Plain fakes of everything the core drives. Each records what it is asked to do, in order, into
// one shared log, so that a test can read back a whole sequence.
using Log = std::vector<std::string>;

// An in-memory store: reads and writes are logged as "read KEY" and "write K1=V1 K2=V2".
struct FakeBackend final : platform::SettingsBackend
{
    explicit FakeBackend(Log &shared) : log(shared) {}
    std::optional<std::string> read(std::string_view, std::string_view key) override;
    bool write(std::string_view, const std::vector<platform::StoredValue> &values) override;
    std::string location() const override { return "memory"; }

    Log &log;
    std::map<std::string, std::string, std::less<>> values;
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

// Logs "clear N" and "set N".
struct FakeZOrder final : platform::ZOrder
{
    explicit FakeZOrder(Log &shared) : log(shared) {}
    platform::WindowId foregroundWindow() override { return foreground; }
    void clearTopmost(platform::WindowId w) override
    {
        log.push_back("clear " + std::to_string(w));
    }
    void setTopmost(platform::WindowId w) override { log.push_back("set " + std::to_string(w)); }

    Log &log;
    platform::WindowId foreground = 0;
};

struct FakeTimer final : Timer
{
    FakeTimer(Log &shared, std::string named) : log(shared), name(std::move(named)) {}
    void setInterval(int ms) override;
    void start() override;
    void startAfter(int firstTickMs) override;
    void stop() override;
    bool isRunning() const override { return running; }

    Log &log;
    std::string name;
    int interval = 0;
    bool running = false;
};

struct FakeNameBox final : NameBox
{
    FakeNameBox(Log &shared, std::string named) : log(shared), name(std::move(named)) {}
    std::string text() const override { return content; }
    void setText(const std::string &text) override;
    void setBackground(Rgb colour) override;
    void setTextColour(Rgb colour) override { textColour = colour; }
    void setVisible(bool visible) override;
    void setDescription(const std::string &text) override { description = text; }
    void setToolTip(const std::string &text) override { toolTip = text; }

    Log &log;
    std::string name;
    std::string content;
    std::optional<Rgb> background; // nullopt: the box's own
    std::optional<Rgb> textColour;
    bool visible = false;
    std::string description;
    std::string toolTip;
};

struct FakeCheckBox final : CheckBox
{
    FakeCheckBox(Log &shared, std::string named, int value)
        : log(shared), name(std::move(named)), v(value)
    {}
    int value() const override { return v; }
    void setValue(int value) override;

    Log &log;
    std::string name;
    int v;
};

// Both views share their place: "place X,Y WxH", with a corner and size the test may move.
struct FakePlace
{
    void place(Log &log, PixelPoint corner, PixelSize size);
    void focus(Log &log, std::string_view control);
    PixelPoint corner;
    PixelSize size;
    std::vector<PixelRect> screens{{0, 0, 1280, 1024}};
    bool known = true;
    std::string focused;
};

// The settings window: `whileOpen` runs as the user would act on the shown window.
struct FakeSettingsView final : SettingsView
{
    explicit FakeSettingsView(Log &log);
    int dpi() const override { return 96; }
    std::vector<PixelRect> screens() const override { return where.screens; }
    void place(PixelPoint corner, PixelSize size) override { where.place(log, corner, size); }
    PixelPoint outerCorner() const override { return where.corner; }
    PixelSize clientSize() const override { return where.size; }
    bool knowsPlace() const override { return where.known; }
    void focus(std::string_view control) override { where.focus(log, control); }
    std::string focused() const override { return where.focused; }
    CheckBox &enableBox(int n) override { return *boxes.at(static_cast<std::size_t>(n - 1)); }
    CheckBox &alwaysOnTopBox() override { return *onTop; }
    void setCreatorCaption(std::string_view caption) override { creator = caption; }
    void runModal(ZEL_VANTO_SETTINGS &window) override;
    void closeWindow() override;

    Log &log;
    FakePlace where;
    std::array<std::unique_ptr<FakeCheckBox>, 10> boxes;
    std::unique_ptr<FakeCheckBox> onTop;
    std::string creator;
    ZEL_VANTO_SETTINGS *shown = nullptr;
    std::function<void(FakeSettingsView &, ZEL_VANTO_SETTINGS &)> whileOpen;
};

struct FakeMainView final : MainView
{
    explicit FakeMainView(Log &log);
    int dpi() const override { return 96; }
    std::vector<PixelRect> screens() const override { return where.screens; }
    void place(PixelPoint corner, PixelSize size) override { where.place(log, corner, size); }
    PixelPoint outerCorner() const override { return where.corner; }
    PixelSize clientSize() const override { return where.size; }
    bool knowsPlace() const override { return where.known; }
    void focus(std::string_view control) override { where.focus(log, control); }
    std::string focused() const override { return where.focused; }
    NameBox &box(int n) override { return *boxes.at(static_cast<std::size_t>(n - 1)); }
    Timer &slotTimer(int n) override { return *timers.at(static_cast<std::size_t>(n - 1)); }
    Timer &keeperTimer() override { return keeper; }
    Timer &nameSaveTimer() override { return nameSave; }
    platform::WindowId windowId() override { return 7; }
    Rgb windowTextColour() const override { return textColour; }
    std::unique_ptr<SettingsView> createSettingsView() override;

    Log &log;
    FakePlace where;
    std::array<std::unique_ptr<FakeNameBox>, 10> boxes;
    std::array<std::unique_ptr<FakeTimer>, 10> timers;
    FakeTimer keeper;
    FakeTimer nameSave;
    Rgb textColour{0, 0, 0};
    // What the next settings window does while it is open.
    std::function<void(FakeSettingsView &, ZEL_VANTO_SETTINGS &)> settingsWhileOpen;
};

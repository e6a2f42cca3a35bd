#pragma once

#include "fakes.h"
#include "processprobe.h"
#include "settingsstore.h"
#include "zel_vanto_main.h"

#include <gtest/gtest.h>

// The core as the program wires it, over fakes: a store, a probe, z-order and the main window.
struct Core
{
    // `stored` seeds the store, as a file left by an earlier run would.
    using Stored = std::map<std::string, std::string, std::less<>>;
    explicit Core(std::initializer_list<Stored::value_type> seed = {}) : Core(Stored(seed)) {}
    explicit Core(Stored stored) : backend(new FakeBackend(log, std::move(stored))) {}

    Log log;
    FakeBackend *backend;             // owned by the store
    FakeQuery *query = new FakeQuery; // owned by the probe
    SettingsStore store{std::unique_ptr<FakeBackend>(backend)};
    ProcessProbe probe{std::unique_ptr<FakeQuery>(query)};
    FakeZOrder zorder{log};
    FakeMainView view{log};
    WatcherSlots::Clock::time_point now{};
    ZEL_VANTO_MAIN main{view, store, probe, zorder, [this] { return now; }};

    // What `act` leaves in the log.
    template <typename Act> Log during(Act act)
    {
        const auto mark = static_cast<long>(log.size());
        act();
        return Log(log.begin() + mark, log.end());
    }

    // Which slots run and show, one character per slot ("1111100000").
    std::string enabledSlots() const
    {
        std::string flags;
        for (std::size_t i = 0; i < 10; ++i) {
            EXPECT_EQ(view.timers[i].running, view.boxes[i].visible) << "slot " << i + 1;
            flags += view.timers[i].running ? '1' : '0';
        }
        return flags;
    }
};

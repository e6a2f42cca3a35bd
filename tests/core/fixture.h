#pragma once

#include "fakes.h"
#include "processprobe.h"
#include "settingsstore.h"
#include "zel_vanto_main.h"

#include <gtest/gtest.h>

// The core as the program wires it, over fakes: a store, a probe, z-order and the main window.
struct Core
{
    Log log;
    FakeBackend *backend = nullptr;
    FakeQuery *query = nullptr;
    SettingsStore store;
    ProcessProbe probe;
    FakeZOrder zorder{log};
    FakeMainView view{log};
    WatcherSlots::Clock::time_point now{};
    ZEL_VANTO_MAIN main{view, store, probe, zorder, [this] { return now; }};

    // `stored` seeds the store, as a file left by an earlier run would.
    using Stored = std::map<std::string, std::string, std::less<>>;
    explicit Core(std::initializer_list<Stored::value_type> seed = {}) : Core(Stored(seed)) {}
    explicit Core(Stored stored)
        : store(kept(backend, std::make_unique<FakeBackend>(log, std::move(stored)))),
          probe(kept(query, std::make_unique<FakeQuery>()))
    {
        log.clear();
    }
    template <typename Fake>
    static std::unique_ptr<Fake> kept(Fake *&at, std::unique_ptr<Fake> fake)
    {
        at = fake.get();
        return fake;
    }

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

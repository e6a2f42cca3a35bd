#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One value of the store: its key and its text (UTF-8).
struct StoredValue
{
    std::string key;
    std::string text;
};

// The per-user settings area of one application: a flat set of texts, addressed by section and
// key. Plain C++ so that every back end, and the store above it, builds without a toolkit.
// A back end reports its own failures once (see diagnostics.h) and never throws.
class SettingsBackend
{
public:
    virtual ~SettingsBackend() = default;

    // The stored text of `key` in `section`, as it is now (what another copy of the program wrote
    // meanwhile included), or nullopt when it is absent or cannot be read.
    virtual std::optional<std::string> read(std::string_view section, std::string_view key) = 0;

    // Creates or replaces every one of `values` in `section`, together: one replacement of the
    // file where the store is a file, so that an interruption leaves all old or all new.
    // False when they could not be written.
    virtual bool write(std::string_view section, const std::vector<StoredValue> &values) = 0;

    // Where the values live, for messages: a file path or a registry key.
    virtual std::string location() const = 0;
};

// The settings area of `application` for the current user on this operating system; the null
// store where none can be had.
std::unique_ptr<SettingsBackend> openUserSettings(std::string_view application);

// Reads nothing and writes nothing: what stands in where no store can be had.
std::unique_ptr<SettingsBackend> createNullSettings();

} // namespace platform

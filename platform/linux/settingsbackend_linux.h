#pragma once

#include "inidocument.h"
#include "settingsbackend.h"

#include <optional>
#include <set>
#include <string>
#include <sys/stat.h>

namespace platform {

// The settings in one INI file, kept as QSettings keeps them, so that files from earlier
// versions of the program read the same and QSettings reads what is written here. Each write is
// one atomic replacement of the file, taken under a lock shared with other copies of the
// program (and with QSettings), so that copies writing different keys keep each other's.
// Nothing here waits without a bound, and nothing that is not a regular file is opened, read
// or replaced: a store that is a device, a pipe, a socket or a folder is left alone.
class IniSettingsBackend final : public SettingsBackend
{
public:
    explicit IniSettingsBackend(std::string path);

    std::optional<std::string> read(std::string_view section, std::string_view key) override;
    bool write(std::string_view section, const std::vector<StoredValue> &values) override;
    std::string location() const override { return m_path; }

private:
    enum class State
    {
        Absent,
        Loaded,
        Unusable
    };

    State refresh();
    State load();
    State unusable(const std::string &why);
    void keepDamagedCopy(std::string_view original);
    bool replaceFile(const std::string &bytes);
    void report(const std::string &what);
    void reportUnwritable(const std::string &why);

    std::string m_path;
    std::string m_target; // the regular file behind m_path, which may be a link to it
    IniDocument m_document;
    std::optional<struct stat> m_loaded; // the file m_document was read from
    std::optional<struct stat> m_copied; // the damaged file whose copy was kept
    std::set<std::string> m_reported;    // each cause once
};

} // namespace platform

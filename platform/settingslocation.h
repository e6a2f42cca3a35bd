#pragma once

#include <QString>
#include <memory>

class QSettings;

namespace platform {

// The per-user settings area of `application`: an INI file under the user's configuration
// directory on Linux, the registry key of the classic per-user program settings on Windows.
std::unique_ptr<QSettings> openUserSettings(const QString &application);

} // namespace platform

#include "settingslocation.h"

#include <QSettings>

namespace platform {

std::unique_ptr<QSettings> openUserSettings(const QString &application)
{
    // $XDG_CONFIG_HOME/<application>/<application>.ini
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, application,
                                       application);
}

} // namespace platform

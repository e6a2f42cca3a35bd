#include "settingslocation.h"

#include <QSettings>

namespace platform {

std::unique_ptr<QSettings> openUserSettings(const QString &application)
{
    // Where the per-user GetSetting/SaveSetting store keeps its values, so that settings written
    // by earlier versions carry over: HKCU\Software\VB and VBA Program Settings\<app>\<section>.
    return std::make_unique<QSettings>(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\") + application,
        QSettings::NativeFormat);
}

} // namespace platform

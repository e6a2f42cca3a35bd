#pragma once

#include "settingsbackend.h"

#include <windows.h>

#include <memory>
#include <string>

namespace platform {

// Settings kept as REG_SZ values under `root`\`path`\<section>. The back end does not own `root`,
// which must stay open while it is used. openUserSettings uses HKEY_CURRENT_USER and the path of
// the classic per-user program settings; tests point it at a key of their own.
std::unique_ptr<SettingsBackend> openRegistrySettings(HKEY root, std::wstring path);

} // namespace platform

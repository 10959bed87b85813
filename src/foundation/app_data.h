// The per-user data folder that holds the settings file and the log.
#pragma once

#include <string>

namespace tvx {

// Ends in the platform's path separator; created if missing. Windows: roaming application data +
// "Tavrix\", else the executable's folder, else ".\". Elsewhere: $XDG_CONFIG_HOME/Tavrix/ or
// ~/.config/Tavrix/, else "./".
std::wstring AppDataFolder();

}  // namespace tvx

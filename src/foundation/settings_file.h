// File access of the settings store, kept apart so the store itself has no platform code.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tvx {

// Reads the whole of an existing regular file into `bytes`, looping over short reads. False when
// the file cannot be opened or read, or its size is 0 or above `maxBytes`; nothing is logged.
bool ReadSettingsFile(const std::wstring& path, std::size_t maxBytes, std::string& bytes);

// Writes `bytes` to path + ".tmp" in a single write, flushes it to the disk and then moves it over
// `path`, so a crash or power loss leaves either the old file or the complete new one. On any
// failure the ".tmp" file is removed (if it was created) and false is returned.
bool ReplaceSettingsFile(const std::wstring& path, std::string_view bytes);

}  // namespace tvx

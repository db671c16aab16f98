#pragma once
// The stored settings as the front needs them, read without Qt: the numbers of the store's INI file
// (`~/.config/Quorvant/<program>.conf`, group Configuration) the way the settings store loads them,
// so the early window starts in the state the viewer window will have. Text settings keep their
// defaults.

#include "core/settings/AppConfig.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace marquelo {

// The store's file for the program started as `executable` (its name without the last suffix), under
// XDG_CONFIG_HOME when that is an absolute path, else ~/.config. `env` reads a variable ("" when unset).
std::string storedSettingsFile(const std::string& executable, const std::function<std::string(const char*)>& env);

// The numbers of the INI text `ini`; nothing when it has no ConfigIsValid other than 0 (no run has
// stored the settings yet). A value that is not a whole decimal number in 32 bits keeps its default.
std::optional<AppConfig> storedNumbers(std::string_view ini);

} // namespace marquelo

#include "launch/StoredSettings.h"

#include "core/settings/PreferencesFieldLimits.h"

#include <cstdint>
#include <filesystem>
#include <limits>
#include <map>

namespace marquelo {

namespace {

std::string_view trimmed(std::string_view text)
{
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return text;
}

// As the settings store reads a number kept as text: a whole decimal number that a 32-bit register
// holds, signed or not.
std::optional<std::int64_t> storedNumber(std::string_view text)
{
    const std::optional<std::int64_t> n = parseWhole(text);
    if (!n || *n < std::numeric_limits<std::int32_t>::min() || *n > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    return n;
}

// The keys and raw values of the group Configuration.
std::map<std::string, std::string, std::less<>> configurationGroup(std::string_view ini)
{
    std::map<std::string, std::string, std::less<>> values;
    bool inGroup = false;
    while (!ini.empty()) {
        const std::size_t end = ini.find('\n');
        std::string_view line = trimmed(ini.substr(0, end));
        ini.remove_prefix(end == std::string_view::npos ? ini.size() : end + 1);
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[') {
            inGroup = trimmed(line.substr(1, line.find(']') - 1)) == "Configuration";
            continue;
        }
        const std::size_t equals = line.find('=');
        if (inGroup && equals != std::string_view::npos)
            values.emplace(std::string(trimmed(line.substr(0, equals))), std::string(trimmed(line.substr(equals + 1))));
    }
    return values;
}

} // namespace

std::string storedSettingsFile(const std::string& executable, const std::function<std::string(const char*)>& env)
{
    // As Qt's completeBaseName: everything before the last dot.
    std::string name = std::filesystem::path(executable).filename().string();
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos)
        name.resize(dot);
    if (name.empty())
        name = "marquelo";
    std::string base = env("XDG_CONFIG_HOME");
    if (base.empty() || base.front() != '/')
        base = env("HOME") + "/.config";
    return base + "/Quorvant/" + name + ".conf";
}

std::optional<AppConfig> storedNumbers(std::string_view ini)
{
    const auto values = configurationGroup(ini);
    const auto stored = [&](std::string_view key) -> std::optional<std::int64_t> {
        const auto found = values.find(key);
        return found == values.end() ? std::nullopt : storedNumber(found->second);
    };
    if (stored(kConfigIsValidKey).value_or(0) == 0)
        return std::nullopt;
    AppConfig config;
    for (const SettingDef& def : kSettings)
        setStoredNumber(config, def, stored(def.key).value_or(def.numberDefault));
    return config;
}

} // namespace marquelo

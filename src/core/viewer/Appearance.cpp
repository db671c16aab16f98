#include "core/viewer/Appearance.h"

namespace marquelo {

Appearance appearanceOf(const AppConfig& config)
{
    return config.Appearance == 1 ? Appearance::Modern : Appearance::Classic;
}

ColourRef viewerBackground(const AppConfig& config)
{
    if (appearanceOf(config) == Appearance::Modern && config.BackgroundColor == kClassicBackground)
        return kModernBackground;
    return config.BackgroundColor;
}

bool isWalkCommand(Command command)
{
    switch (command) {
    case Command::First:
    case Command::Last:
    case Command::Previous:
    case Command::Next:
    case Command::Back5:
    case Command::Forward5:
    case Command::Back10:
    case Command::Forward10: return true;
    default: return false;
    }
}

} // namespace marquelo

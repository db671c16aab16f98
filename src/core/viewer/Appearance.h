#pragma once
// The viewer's two looks. Classic is the look the program always had: the beige ground, the small
// icon row over the photo, labels on beige. Modern is a dark ground with the toolbar, the info line and
// the notices as overlays. These are the rules both looks share with the rest of the program; the
// widgets that draw them live in ui/viewer.

#include "core/Command.h"
#include "core/settings/AppConfig.h"

namespace marquelo {

enum class Appearance { Classic, Modern };

// The look the settings ask for; a stored number this program does not know counts as Classic.
Appearance appearanceOf(const AppConfig& config);

// The ground Classic has always painted, and BackgroundColor's default.
inline constexpr ColourRef kClassicBackground = makeColour(212, 208, 196);
// Modern's neutral dark ground: no tint of its own, so it does not change how a photo's colours read.
inline constexpr ColourRef kModernBackground = makeColour(30, 30, 30);

// The colour behind the photo, the grid and full screen. A colour the user chose always wins; only the
// untouched default becomes Modern's dark ground.
ColourRef viewerBackground(const AppConfig& config);

// The commands that step from photo to photo: in Modern the toolbar fades while they are used, so the
// photos are seen without it.
bool isWalkCommand(Command command);

} // namespace marquelo

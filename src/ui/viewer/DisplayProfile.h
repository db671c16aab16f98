#pragma once
// The colour profile of the screen the viewer draws on, as the window system publishes it.

#include <QByteArray>

namespace marquelo {

// The X screen's _ICC_PROFILE (set by colour managers for the calibrated monitor); empty when the
// property is not set, the platform is not X11 (offscreen, Wayland without XWayland), or it cannot be read.
QByteArray readDisplayProfile();

} // namespace marquelo

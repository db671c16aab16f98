#pragma once
// The colour profile of the screen the viewer draws on, as the window system publishes it.

#include "core/viewer/StartPicture.h"

#include <QByteArray>

#include <optional>

namespace marquelo {

// The X screen's _ICC_PROFILE (set by colour managers for the calibrated monitor); empty when the
// property is not set, the platform is not X11 (offscreen, Wayland without XWayland), or it cannot be read.
QByteArray readDisplayProfile();

// The X screen's size and profile through a connection of its own, for the start picture's decode to
// begin while Qt is still starting; nothing when Qt will not draw on X or the display cannot be reached.
// Safe on any thread.
std::optional<StartPicture::Screen> probeScreenBeforeQt();

} // namespace marquelo

#pragma once
// The program's own resources that widgets outside this room use.

#include <QIcon>

namespace marquelo {

// The program's icon (for the windows and the task bar).
QIcon applicationIcon();

// The desktop entry (res/desktop) the windows belong to: the Wayland app id, and the name the task bar
// and "Open with" match the running program with.
inline constexpr char kDesktopFileName[] = "io.marquelo.Marquelo";

} // namespace marquelo

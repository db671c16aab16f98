#pragma once
// The program's own resources that widgets outside this room use.

#include <QIcon>

namespace marquelo {

// The program's icon (for the windows and the task bar).
QIcon applicationIcon();

} // namespace marquelo

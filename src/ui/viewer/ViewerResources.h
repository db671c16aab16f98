#pragma once
// The viewer's icons and placeholder drawings live in a resource file of a static library, which Qt
// registers only when asked; every user of ":/viewer/..." calls this first (cheap after the first call).

namespace marquelo {

void ensureViewerResources();

} // namespace marquelo

#pragma once
// Where the time to the first picture goes, step by step, on whichever machine runs the program: with
// MARQUELO_STARTUP_TRACE naming a file, each step appends a line "<step>\t<monotonic ns>\t<libraries
// loaded>" to it (bench/viewer_ui/startup_breakdown.py reads them). Without it a step costs one test
// of a flag. Safe from any thread; nothing is ever written into the user's files.

namespace marquelo::startup {

// Records `step` (a fixed text) once: later marks of the same step are ignored, so a step can be
// marked where it may happen again (every paint).
void mark(const char* step);

} // namespace marquelo::startup

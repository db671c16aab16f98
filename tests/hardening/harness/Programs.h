#pragma once
// Outside programs the tests hand to the viewer: scripts that fail or never end, and a wait for the
// programs the viewer started (detached, so they are not its children any more).

#include <string>

namespace marquelo::test {

// Writes an executable shell script `path` with `body` after the #! line.
void writeScript(const std::string& path, const std::string& body);

// Waits until no running process has `text` in its command line, at most `timeoutMs`. True when none is
// left. The viewer starts tools detached, so this is the only way to know that their work is done.
bool waitForProgramsMentioning(const std::string& text, int timeoutMs);

// Kills every process whose command line contains `text` (clean-up after a program that never ends).
void killProgramsMentioning(const std::string& text);

// Resident memory of this process in kibibytes (VmRSS), and its peak (VmHWM).
long residentKib();
long peakResidentKib();

} // namespace marquelo::test

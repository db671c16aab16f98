#pragma once
// Where the update check looks for new versions, and the file names it uses there and on disk.

#include <string>

namespace marquelo {

// The published files below the base address, and the three executables in the installation folder.
inline constexpr const char* kVersionFile = "version.txt";
inline constexpr const char* kUpgradePageFile = "upgrade.html";
inline constexpr const char* kExecutableFile = "marquelo";
inline constexpr const char* kSignatureFile = "marquelo.sig";
inline constexpr const char* kNewExecutableFile = "marquelo_new";
inline constexpr const char* kOldExecutableFile = "marquelo_old";

// The base address of the update endpoint, always ending in "/": MARQUELO_UPDATE_URL when it is set
// (tests, mirrors), else the project's HTTPS address ending in /marquelo/.
std::string updateBaseAddress();

} // namespace marquelo

#pragma once
// Where the program's private modules lie: libvips' module and the program itself, which its front
// loads. Plain C++, for the front as well.

#include <string>
#include <vector>

namespace marquelo {

// The places to try for the module `fileName`, in order: bin/../lib/marquelo beside the running
// executable (the build tree), `installed` relative to the executable's folder (the multiarch library
// folder of an installation), and `built`, where this build made it (for tests and benchmarks elsewhere
// in the build tree). Empty ones are left out.
std::vector<std::string> privateModulePlaces(const std::string& fileName, const std::string& installed,
                                             const std::string& built);

} // namespace marquelo

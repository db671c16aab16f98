#pragma once
// Small helpers shared by the tests: where the corpus and the built programs are.

#include <QString>

#include <string>

namespace marquelo::test {

// The read-only corpus of real and broken photos beside the checkout.
inline std::string corpusDir() { return MARQUELO_CORPUS_DIR; }

// The source checkout (for samples/ and res/).
inline std::string sourceDir() { return MARQUELO_SOURCE_DIR; }

// The build tree's directory that holds `marquelo` and `marquelo-convert`.
std::string buildDir();

// Full path of a program built by this project (for example "marquelo-convert").
std::string builtProgram(const std::string& name);

} // namespace marquelo::test

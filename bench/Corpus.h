#pragma once
// Where the benchmarks find the large photo corpus: MARQUELO_CORPUS_DIR from the environment when set,
// else the folder the build was configured with, else ../shared/corpus beside the checkout (the tests
// never look there by themselves; a measurement wants the real photos). Without it a benchmark has nothing to measure
// and says so instead of failing, so that bench/run-all.sh goes on to the next program.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace marquelo::bench {

// The exit status of a benchmark that skipped: nothing failed.
constexpr int kSkipped = 0;

inline std::string corpusDir()
{
    const char* fromEnvironment = std::getenv("MARQUELO_CORPUS_DIR");
    if (fromEnvironment && *fromEnvironment)
        return fromEnvironment;
    const std::string configured = MARQUELO_CORPUS_DIR;
    return configured.empty() ? std::string(MARQUELO_SOURCE_DIR) + "/../shared/corpus" : configured;
}

// corpusDir()/relative, checked: when the folder is missing, a line saying the benchmark skips is
// printed and an empty string returned.
inline std::string corpusFolder(const std::string& relative, const char* program)
{
    const std::string folder = corpusDir() + "/" + relative;
    std::error_code error;
    if (std::filesystem::is_directory(folder, error))
        return folder;
    std::printf("%s: skipped, no photo corpus folder %s (set MARQUELO_CORPUS_DIR)\n", program, folder.c_str());
    std::fflush(stdout);
    return std::string();
}

} // namespace marquelo::bench

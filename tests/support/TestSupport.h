#pragma once
// Small helpers shared by the tests: where the test photos and the built programs are.
//
// The photos the tests need live in the checkout (tests/data, laid out like the large corpus: camera/,
// orientation/, broken/, formats/). The large corpus beside the checkout is optional: tests that need
// more than the checkout carries skip without it.

#include <gtest/gtest.h>

#include <QString>

#include <string>

namespace marquelo::test {

// The large corpus of real and broken photos: MARQUELO_CORPUS_DIR from the environment when set, else
// the folder the build was configured with (-DMARQUELO_CORPUS_DIR). Empty when neither names one: the
// tests then read nothing outside the checkout. It may not exist.
std::string corpusDir();

// Whether the large corpus is there.
bool haveCorpus();

// Why haveCorpus() is false, for a skipped test to say.
std::string noCorpusReason();

// The photos the checkout carries (tests/data).
std::string dataDir();

// A photo named by its path below the corpus ("camera/canon_eos5d.jpg"): the checkout's copy when it
// has one, else the large corpus's (which may be missing: see MARQUELO_NEED_PHOTO).
std::string photo(const std::string& relative);

// A folder of photos to go through ("broken"): the large corpus's when it is there, else the
// checkout's smaller one.
std::string photoFolder(const std::string& relative);

// Whether photo(relative) exists.
bool havePhoto(const std::string& relative);

// The source checkout (for samples/ and res/).
inline std::string sourceDir()
{
    return MARQUELO_SOURCE_DIR;
}

// The build tree's directory that holds `marquelo` and `marquelo-convert`.
std::string buildDir();

// Full path of a program built by this project (for example "marquelo-convert").
std::string builtProgram(const std::string& name);

// A process id that no running process has: one that has ended and been reaped. A temporary file named
// after it is an interrupted writer's leftover.
long endedProcess();

// The whole file's bytes; empty when it cannot be read.
std::string fileBytes(const std::string& path);

// Makes `path` hold exactly `bytes` (created or cut short first).
void writeFileBytes(const std::string& path, const std::string& bytes);

// `text` as a parameterised test's name: every character but letters and digits becomes '_'.
std::string testName(std::string text);

// Names each row of a parameterised test by its `file` member (INSTANTIATE_TEST_SUITE_P's last argument).
struct NameByFile {
    template <typename Row> std::string operator()(const ::testing::TestParamInfo<Row>& row) const
    {
        return testName(row.param.file);
    }
};

} // namespace marquelo::test

// Skips the running test when a photo it needs is neither in the checkout nor in a large corpus.
#define MARQUELO_NEED_PHOTO(relative)                                                                                  \
    do {                                                                                                               \
        if (!::marquelo::test::havePhoto(relative))                                                                    \
            GTEST_SKIP() << "needs " << std::string(relative)                                                          \
                         << " of the large photo corpus: " << ::marquelo::test::noCorpusReason();                      \
    } while (false)

// Skips the running test when the large corpus is not there (tests that go through all of a folder).
#define MARQUELO_NEED_CORPUS()                                                                                         \
    do {                                                                                                               \
        if (!::marquelo::test::haveCorpus())                                                                           \
            GTEST_SKIP() << "needs the large photo corpus: " << ::marquelo::test::noCorpusReason();                    \
    } while (false)

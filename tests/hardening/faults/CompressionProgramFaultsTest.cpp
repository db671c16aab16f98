// A compression program that fails, or never ends: the viewer never waits for it, moves on to the next
// photo, and the photos are left as they were.
#include "harness/FileSnapshot.h"
#include "harness/ProgramSession.h"
#include "harness/Programs.h"

#include "ui/viewer/ViewerWindow.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace marquelo::test {
namespace {

struct CompressionCase {
    const char* name;
    const char* script; // the body of the program named as ImageCompressApp
};

class CompressionProgramFaults : public ::testing::TestWithParam<CompressionCase> {};

TEST_P(CompressionProgramFaults, ViewerMovesOnAndLeavesThePhotosAlone)
{
    ProgramSession session;
    ASSERT_EQ(copyCorpusPhotos(session.photos(), 3, 200).size(), 3u);
    const std::string program = session.work() + "/compress";
    writeScript(program, GetParam().script);
    session.settings().ImageCompressApp = program;
    const FileSnapshot before = FileSnapshot::of(session.photos());

    std::vector<int> positions;
    ASSERT_TRUE(session.run([&](ViewerWindow& window) {
        for (int i = 0; i < 2; ++i) {
            window.runCommand(Command::AddImage);
            typeCaption(window, QStringLiteral("Photo %1").arg(i + 1));
            settle(30);
            positions.push_back(window.images().currentIndex());
        }
    }));

    // Each addition returned at once and stepped on, whatever the program did.
    EXPECT_EQ(positions, (std::vector<int>{1, 2}));
    EXPECT_TRUE(FileSnapshot::of(session.photos()).changedSince(before).empty());
    // The page holds both fragments, whole.
    const fs::path page = fs::path(session.settings().BaseOutputDirectory);
    int anchors = 0;
    for (const auto& entry : fs::recursive_directory_iterator(session.output()))
        if (entry.path().extension() == ".html") {
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            for (std::size_t at = text.find("<a name="); at != std::string::npos; at = text.find("<a name=", at + 1))
                ++anchors;
        }
    EXPECT_EQ(anchors, 2);
    killProgramsMentioning(program);
}

INSTANTIATE_TEST_SUITE_P(, CompressionProgramFaults,
                         ::testing::Values(CompressionCase{"ExitsWithFailure", "echo broken >&2; exit 3"},
                                           CompressionCase{"NeverEnds", "while :; do sleep 1; done"},
                                           CompressionCase{"KilledBySignal", "kill -SEGV $$"}),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace marquelo::test

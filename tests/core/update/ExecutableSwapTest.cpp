// The swap that puts a downloaded program in place, and its undo when it fails half-way.
#include "core/update/UpdateTestSupport.h"

#include "core/update/ExecutableSwap.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>

namespace fs = std::filesystem;

namespace marquelo {
namespace {

class ExecutableSwapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        test::writeFileText(path("marquelo"), "current");
        test::writeFileText(path("marquelo_new"), "new");
    }
    fs::path path(const char* name) const { return fs::path(m_dir.path().toStdString()) / name; }
    std::string folder() const { return m_dir.path().toStdString(); }

    QTemporaryDir m_dir;
};

TEST_F(ExecutableSwapTest, SecondRenameFailingPutsTheProgramBack)
{
    test::writeFileText(path("marquelo_old"), "previous");
    const auto refuseNewName = [](const std::string& from, const std::string& to) {
        return fs::path(from).filename() == "marquelo_new" ? false : renameWithoutReplacing(from, to);
    };
    EXPECT_FALSE(swapInNewExecutable(folder(), refuseNewName));
    EXPECT_EQ(test::readFileText(path("marquelo")), "current");
    EXPECT_EQ(test::readFileText(path("marquelo_new")), "new");
    EXPECT_FALSE(fs::exists(path("marquelo_old")));
}

TEST_F(ExecutableSwapTest, RenameNeverReplacesAnExistingName)
{
    EXPECT_FALSE(renameWithoutReplacing(path("marquelo_new").string(), path("marquelo").string()));
    fs::create_symlink(path("nowhere"), path("dangling"));
    EXPECT_FALSE(renameWithoutReplacing(path("marquelo_new").string(), path("dangling").string()));
    EXPECT_EQ(test::readFileText(path("marquelo")), "current");
    EXPECT_TRUE(renameWithoutReplacing(path("marquelo_new").string(), path("free").string()));
}

} // namespace
} // namespace marquelo

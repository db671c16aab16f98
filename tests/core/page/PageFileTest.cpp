#include "core/page/PageFile.h"
#include "core/page/PageFormat.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace marquelo {
namespace {

// One addition as the page builder makes it: open, number from what is on disk, append, close.
void addOne(const std::string& page)
{
    PageFile file;
    ASSERT_TRUE(file.open(page));
    const std::int64_t number = highestAnchor(file.readAll()) + 1;
    ::usleep(200); // the builder's work between reading the page and appending (names, expansion)
    file.write(anchorText(number) + "<img src=\"x.jpg\">\r\n");
    ASSERT_TRUE(file.close());
}

// Two running programs adding to one page at the same moment: every anchor is given once, none is
// skipped, and no fragment is torn.
TEST(PageFile, TwoProgramsAppendingNumberFromThePageAsItIs)
{
    QTemporaryDir dir;
    const std::string page = dir.path().toStdString() + "/index.html";
    std::ofstream(page, std::ios::binary) << "<html><body>\r\n";
    constexpr int kEach = 100;
    const pid_t other = ::fork();
    if (other == 0) {
        for (int i = 0; i < kEach; ++i)
            addOne(page);
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    for (int i = 0; i < kEach; ++i)
        addOne(page);
    int status = 0;
    ASSERT_EQ(::waitpid(other, &status, 0), other);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    const std::string text = PageFile::read(page).value_or("");
    std::multiset<std::int64_t> numbers;
    for (std::size_t at = text.find("<a name="); at != std::string::npos; at = text.find("<a name=", at + 1))
        numbers.insert(std::stoll(text.substr(at + 8)));
    ASSERT_EQ(numbers.size(), std::size_t(2 * kEach));
    std::int64_t expected = 1;
    for (const std::int64_t n : numbers)
        EXPECT_EQ(n, ++expected);
}

// A FIFO where the page should be never blocks, and is no page.
TEST(PageFile, FifoIsNoPage)
{
    QTemporaryDir dir;
    const std::string fifo = dir.path().toStdString() + "/index.html";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    PageFile file;
    EXPECT_FALSE(file.open(fifo));
    EXPECT_FALSE(PageFile::readable(fifo));
    EXPECT_FALSE(PageFile::read(fifo).has_value());
    EXPECT_EQ(file.error(), "not a regular file");
}

// A page that cannot be written says why, for the log beside the message.
TEST(PageFile, FailuresKeepTheirReason)
{
    QTemporaryDir dir;
    const std::string nowhere = dir.path().toStdString() + "/no such folder/index.html";
    PageFile file;
    EXPECT_FALSE(file.open(nowhere));
    EXPECT_EQ(file.error(), "No such file or directory");
    std::string reason;
    EXPECT_FALSE(PageFile::rewrite(nowhere, "<html>", &reason));
    EXPECT_FALSE(reason.empty());

    const std::string page = dir.path().toStdString() + "/index.html";
    ASSERT_TRUE(file.open(page));
    EXPECT_TRUE(file.error().empty());
    EXPECT_TRUE(file.close());
}

} // namespace
} // namespace marquelo

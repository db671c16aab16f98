#include "core/tools/TurnCheck.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace marquelo {
namespace {

TEST(TurnCheck, GivesTheToolsReasonForWhatItRefuses)
{
    QTemporaryDir dir;
    const std::string gif = dir.filePath("a.gif").toStdString();
    std::ofstream(gif) << "GIF89a and the rest";
    const std::string jpeg = dir.filePath("b.jpg").toStdString();
    std::ofstream(jpeg) << "\xFF\xD8\xFF\xE0 and the rest";

    EXPECT_EQ(turnRefusal("/usr/bin/marquelo-convert", gif),
              "marquelo-convert: unable to turn '" + gif + "': a GIF would lose its palette or frames");
    EXPECT_EQ(turnRefusal("/usr/bin/marquelo-convert", jpeg), "");
    EXPECT_EQ(turnRefusal("/usr/bin/another-tool", gif), "");
    EXPECT_EQ(turnRefusal("/usr/bin/marquelo-convert", dir.filePath("missing.jpg").toStdString()), "");
}

TEST(TurnCheck, NeverWaitsOnAFifoNamedLikeAPhoto)
{
    QTemporaryDir dir;
    const std::string fifo = dir.filePath("photo.gif").toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto check = std::async(std::launch::async, [&] { return turnRefusal("marquelo-convert", fifo); });
    const bool answered = check.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!answered) {
        // Opening the other end lets a reader stuck in open() go, so the test ends either way.
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
    }
    EXPECT_TRUE(answered);
    EXPECT_EQ(check.get(), "");
}

} // namespace
} // namespace marquelo

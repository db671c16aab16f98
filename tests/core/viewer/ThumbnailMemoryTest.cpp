#include "core/viewer/ThumbnailMemory.h"

#include <gtest/gtest.h>

#include <QSet>

namespace marquelo {
namespace {

// 10 x 10 pixels of 4 bytes: 400 bytes a thumbnail.
ThumbnailMemory::Entry thumb(int side = 10)
{
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::gray);
    return {image, 1, side};
}

TEST(ThumbnailMemory, DropsTheLeastRecentlyUsedPastItsBudgetButNeverTheKeptOnes)
{
    ThumbnailMemory memory(1200); // three thumbnails
    for (const char* path : {"a", "b", "c", "d"})
        memory.insert(path, thumb());
    EXPECT_EQ(memory.bytes(), 1600);
    memory.touch("a"); // a is now the most recent, b the least
    EXPECT_TRUE(memory.trim({}));
    EXPECT_EQ(memory.size(), 3);
    EXPECT_EQ(memory.find("b"), nullptr);
    EXPECT_NE(memory.find("a"), nullptr);

    // Kept ones are passed over (the cells on screen), even when that leaves the memory above budget.
    memory.insert("e", thumb());
    const QSet<QByteArray> onScreen{"c", "d", "e"};
    memory.setBudget(800);
    memory.trim([&](const QByteArray& path) { return onScreen.contains(path); });
    EXPECT_EQ(memory.find("a"), nullptr);
    EXPECT_EQ(memory.size(), 3);
    EXPECT_EQ(memory.bytes(), 1200);
    EXPECT_FALSE(memory.trim([](const QByteArray&) { return true; }));

    // Replacing an entry counts its bytes once; a failure (null image) costs nothing.
    memory.insert("c", thumb(20));
    EXPECT_EQ(memory.bytes(), 1200);
    EXPECT_EQ(memory.find("c")->side, 20);
    memory.insert("broken", ThumbnailMemory::Entry{});
    EXPECT_EQ(memory.bytes(), 1200);
    memory.remove("d");
    memory.remove("never there");
    EXPECT_EQ(memory.bytes(), 800);
    memory.clear();
    EXPECT_EQ(memory.size(), 0);
    EXPECT_EQ(memory.bytes(), 0);
}

} // namespace
} // namespace marquelo

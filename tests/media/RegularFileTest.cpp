#include "media/RegularFile.h"

#include <QTemporaryDir>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

using marquelo::media::isRegularFile;
using marquelo::media::readRegularFile;
using marquelo::media::RegularFile;

namespace {

std::string writeFile(const QTemporaryDir& dir, const char* name, const std::string& bytes)
{
    const std::string path = dir.filePath(name).toStdString();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

} // namespace

TEST(RegularFile, ReadsFilesAndRefusesWhatIsNotOne)
{
    QTemporaryDir dir;
    const std::string photo = writeFile(dir, "a.jpg", "\xff\xd8\xff\xd9");
    marquelo::media::FileBytes read = readRegularFile(photo, 1024);
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(read.bytes.size(), 4u);

    EXPECT_FALSE(readRegularFile(photo, 3).ok) << "larger than the bound";
    EXPECT_FALSE(readRegularFile(dir.filePath("missing.jpg").toStdString(), 1024).ok);

    std::string why;
    EXPECT_FALSE(isRegularFile(dir.path().toStdString(), &why));
    EXPECT_FALSE(why.empty());
    EXPECT_TRUE(isRegularFile(photo));
}

TEST(RegularFile, AFifoNamedLikeAPhotoNeverBlocks)
{
    QTemporaryDir dir;
    const std::string fifo = dir.filePath("fifo.jpg").toStdString();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Without O_NONBLOCK this open would wait for a writer forever and the test would time out.
    RegularFile file(fifo);
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(file.error(), "not a regular file");
    EXPECT_FALSE(readRegularFile(fifo, 1024).ok);
    EXPECT_FALSE(isRegularFile(fifo));
}

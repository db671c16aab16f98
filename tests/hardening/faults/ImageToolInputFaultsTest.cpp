// marquelo-convert started on hostile inputs, as the viewer starts it: a file of gigabytes, a scan bomb,
// a FIFO and a device behind a .jpg name, a file that is no picture. Each ends at once with one line of
// reason and a non-zero status, writes nothing and never takes the memory or the minutes it asks for.
#include "support/HostilePictures.h"
#include "support/TestSupport.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

namespace fs = std::filesystem;

namespace marquelo::test {
namespace {

struct HostileInput {
    const char* name;
    std::function<void(const std::string& path)> make; // puts the input at `path`
    const char* reason;                                // part of the one line on standard error
};

void PrintTo(const HostileInput& input, std::ostream* out)
{
    *out << input.name;
}

void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A JPEG's first bytes and then 3 GiB of nothing (a sparse file: no disk space is used).
void hugeJpeg(const std::string& path)
{
    writeBytes(path, {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00});
    ASSERT_EQ(::truncate(path.c_str(), off_t(3) << 30), 0);
}

std::vector<HostileInput> hostileInputs()
{
    return {
        {"ThreeGigabytes", hugeJpeg, "file too large"},
        {"ScanBomb", [](const std::string& p) { writeBytes(p, progressiveJpeg(512, 512, 10)); }, "scans"},
        {"Fifo", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, "not a regular file"},
        {"DeviceSymlink", [](const std::string& p) { fs::create_symlink("/dev/zero", p); }, "not a regular file"},
        {"Text", [](const std::string& p) { std::ofstream(p) << "GIF is not what this is\n"; },
         "not a picture this tool can read"},
        {"PortablePixmap",
         [](const std::string& p) { std::ofstream(p, std::ios::binary) << "P6\n1 1\n255\n"
                                                                       << std::string(3, 'x'); },
         "not a picture this tool can read"},
    };
}

class ImageToolInputFaults : public ::testing::TestWithParam<HostileInput> {};

TEST_P(ImageToolInputFaults, RefusedAtOnceWithOneLineAndNoOutput)
{
    QTemporaryDir dir;
    const std::string input = dir.path().toStdString() + "/photo.jpg";
    GetParam().make(input);
    // Each way the viewer uses the tool: a page copy of a cut, a resampled favorite, a turn in place.
    const std::vector<QStringList> uses = {
        {QStringLiteral("/crop=(0,0,100,100)"), QStringLiteral("/resample=(50,50)"), QStringLiteral("/convert=OUT")},
        {QStringLiteral("/resample=(256,0)"), QStringLiteral("/aspectratio"), QStringLiteral("/convert=OUT")},
        {QStringLiteral("/rotate_l"), QStringLiteral("/jpgq=95"), QStringLiteral("/convert=OUT")},
    };
    for (QStringList args : uses) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const QString output = dir.filePath(QStringLiteral("copy.jpg"));
        args.replaceInStrings(QStringLiteral("OUT"), output);
        args.prepend(QString::fromStdString(input));
        QProcess tool;
        QElapsedTimer clock;
        clock.start();
        tool.start(QString::fromStdString(builtProgram("marquelo-convert")), args);
        const bool ended = tool.waitForFinished(60000);
        if (!ended) {
            tool.kill();
            tool.waitForFinished();
        }
        ASSERT_TRUE(ended) << "still running after a minute";
        const std::string err = tool.readAllStandardError().toStdString();
        EXPECT_EQ(tool.exitStatus(), QProcess::NormalExit) << err;
        EXPECT_EQ(tool.exitCode(), 1) << err;
        EXPECT_NE(err.find(GetParam().reason), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
        EXPECT_FALSE(fs::exists(output.toStdString()));
        // Refusing needs a glance at the file, not a read of it.
        EXPECT_LT(clock.elapsed(), 20000);
    }
    // Nothing else appeared beside the input (no temporary file either).
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path().toStdString()), fs::directory_iterator()), 1);
}

INSTANTIATE_TEST_SUITE_P(, ImageToolInputFaults, ::testing::ValuesIn(hostileInputs()),
                         [](const auto& row) { return std::string(row.param.name); });

} // namespace
} // namespace marquelo::test

// Movies on a Modern page: a tiny movie made by ffmpeg in the test becomes an MP4 and a poster, and its
// figure a player; without ffmpeg, with a movie it cannot read, or cancelled, the link stays and the
// notice says why. A Classic page never changes.
#include "PageFixture.h"

#include "core/page/MovieWebCopy.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>

namespace marquelo::test {
namespace {

QString ffmpeg()
{
    return QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
}

// One second of test picture and tone as an MPEG-4 Part 2 AVI, as older cameras write it.
bool makeMovie(const QString& path)
{
    QProcess p;
    p.start(ffmpeg(), {"-hide_banner", "-nostdin", "-y", "-f", "lavfi", "-i", "testsrc=duration=1:size=160x120:rate=10",
                       "-f", "lavfi", "-i", "sine=duration=1", "-c:v", "mpeg4", "-c:a", "pcm_s16le", path});
    return p.waitForFinished(20000) && p.exitCode() == 0;
}

class MovieTest : public PageTest {
protected:
    void SetUp() override
    {
        PageTest::SetUp();
        config.PageStyle = 1;
        confirmSetup("Walks");
    }

    // The movie `name` in the photo folder and the list, with `bytes` as its content, made current.
    void addMovie(const std::string& name, const QByteArray& bytes)
    {
        addPhoto(name, false, bytes.size());
        writeFile(photos + "/" + name, bytes.toStdString());
        images.setCurrent(int(entries.size()) - 1);
    }

    QByteArray movieBytes()
    {
        const QString path = tmp.filePath(QStringLiteral("made.avi"));
        if (!makeMovie(path))
            return {};
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    std::string page() { return readFile(session.pagePath()); }
    // Our temporary files left in the page's folder.
    int leftovers()
    {
        return int(QDir(QString::fromStdString(config.CurOutputDirectory))
                       .entryList({QStringLiteral(".marquelo-*")}, QDir::Files | QDir::Hidden)
                       .size());
    }
};

#define NEED_FFMPEG()                                                                                                  \
    do {                                                                                                               \
        if (ffmpeg().isEmpty())                                                                                        \
            GTEST_SKIP() << "ffmpeg is not installed";                                                                 \
    } while (false)

TEST_F(MovieTest, AMovieBecomesAPlayerWithAnMp4AndAPoster)
{
    NEED_FFMPEG();
    const QByteArray movie = movieBytes();
    ASSERT_FALSE(movie.isEmpty());
    addMovie("Walk 1.AVI", movie);
    add("Along the <river>");
    // At first the page holds the link, and the copy runs with its line.
    EXPECT_NE(page().find("<a href=\"walk_1.avi\">"), std::string::npos);
    ASSERT_EQ(session.movieCopies().running(), 1);
    ASSERT_EQ(host.progress.size(), 1u);
    EXPECT_EQ(host.progress.begin()->second.rfind("Making a web copy of Walk 1.AVI ...", 0), 0u);

    ASSERT_TRUE(spinUntil([&] { return !host.ended.empty(); }));
    EXPECT_EQ(host.ended[0].text, "Walk 1.AVI plays on the page now.");
    const std::string folder = config.CurOutputDirectory;
    // The MP4 is H.264 and AAC, the poster a JPEG of the movie's size.
    QProcess probe;
    probe.start(QStandardPaths::findExecutable(QStringLiteral("ffprobe")),
                {"-v", "error", "-show_entries", "stream=codec_name,pix_fmt", "-of", "csv=p=0",
                 QString::fromStdString(folder + "/walk_1-web.mp4")});
    ASSERT_TRUE(probe.waitForFinished(10000));
    const QString streams = QString::fromUtf8(probe.readAllStandardOutput());
    EXPECT_TRUE(streams.contains(QStringLiteral("h264,yuv420p"))) << streams.toStdString();
    EXPECT_TRUE(streams.contains(QStringLiteral("aac"))) << streams.toStdString();
    EXPECT_EQ(QImage(QString::fromStdString(folder + "/walk_1-poster.jpg")).size(), QSize(160, 120));
    // The original is still there to download, byte for byte.
    EXPECT_EQ(readFile(folder + "/walk_1.avi"), movie.toStdString());
    EXPECT_EQ(leftovers(), 0);

    const std::string text = page();
    EXPECT_NE(text.find("<figure id=\"2\" class=\"movie\">\r\n"
                        "<video controls preload=\"none\" poster=\"walk_1-poster.jpg\" width=\"160\" height=\"120\""),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<source src=\"walk_1-web.mp4\" type=\"video/mp4\">\r\n</video>\r\n"), std::string::npos);
    EXPECT_NE(text.find("<figcaption><a href=\"walk_1.avi\" download>Along the &lt;river&gt;"), std::string::npos);
    EXPECT_EQ(text.find("<a href=\"walk_1.avi\">"), std::string::npos) << "the plain link is replaced";
    EXPECT_EQ(pageImageCount(text), 1);
}

TEST_F(MovieTest, AMovieFfmpegCannotReadStaysALinkAndSaysWhy)
{
    NEED_FFMPEG();
    addMovie("broken.avi", QByteArray("RIFF\x10\0\0\0AVI LIST", 16) + QByteArray(3000, '\x7f'));
    add("");
    const std::string before = page();
    ASSERT_TRUE(spinUntil([&] { return !host.ended.empty(); }));
    const std::string& text = host.ended[0].text;
    EXPECT_EQ(text.rfind("broken.avi stays a link: ffmpeg could not read it (exit status ", 0), 0u) << text;
    EXPECT_TRUE(host.ended[0].lasting);
    EXPECT_EQ(page(), before);
    EXPECT_NE(before.find("<a href=\"broken.avi\">"), std::string::npos);
    // Neither the temporary files nor the reserved names are left behind.
    EXPECT_EQ(leftovers(), 0);
    EXPECT_FALSE(exists(config.CurOutputDirectory + "/broken-web.mp4"));
    EXPECT_FALSE(exists(config.CurOutputDirectory + "/broken-poster.jpg"));
}

TEST_F(MovieTest, WithoutFfmpegTheLinkStaysAndTheNoticeSaysWhy)
{
    session.setMovieConverter(tmp.filePath(QStringLiteral("no-ffmpeg-here")).toStdString());
    addMovie("clip.mov", QByteArray(500, 'm'));
    add("");
    EXPECT_EQ(session.movieCopies().running(), 0);
    EXPECT_NE(page().find("<a href=\"clip.mov\">"), std::string::npos);
    EXPECT_NE(std::find(host.passingNotices.begin(), host.passingNotices.end(),
                        "clip.mov stays a link: ffmpeg is not installed (Debian package ffmpeg), so it cannot play "
                        "on phones."),
              host.passingNotices.end());
    EXPECT_FALSE(exists(config.CurOutputDirectory + "/clip-web.mp4"));
}

TEST_F(MovieTest, ACancelledCopyLeavesTheLinkAndNoFiles)
{
    // An ffmpeg that never ends.
    const std::string slow = tmp.filePath(QStringLiteral("slow-ffmpeg")).toStdString();
    writeFile(slow, "#!/bin/sh\nsleep 30\n");
    QFile::setPermissions(QString::fromStdString(slow), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    session.setMovieConverter(slow);
    addMovie("clip.avi", QByteArray(500, 'm'));
    add("");
    ASSERT_EQ(host.cancels.size(), 1u);
    host.cancels.begin()->second();
    ASSERT_TRUE(spinUntil([&] { return !host.ended.empty(); }, 5000));
    EXPECT_EQ(host.ended[0].text, "clip.avi stays a link: its web copy was cancelled.");
    EXPECT_EQ(leftovers(), 0);
    EXPECT_NE(page().find("<a href=\"clip.avi\">"), std::string::npos);
}

TEST_F(MovieTest, AClassicPageKeepsItsLinkAndRunsNothing)
{
    config.PageStyle = 0;
    addMovie("clip.avi", QByteArray(500, 'm'));
    add("");
    EXPECT_EQ(session.movieCopies().running(), 0);
    EXPECT_TRUE(host.progress.empty());
    EXPECT_EQ(page().find("<video"), std::string::npos);
}

TEST(MovieWebCopy, FfmpegTimesAreRead)
{
    EXPECT_EQ(ffmpegSeconds("  Duration: 00:01:02.50, start: 0.000000, bitrate: 1 kb/s", "Duration: "), 62.5);
    EXPECT_EQ(ffmpegSeconds("frame=   10 fps=0.0 q=-1.0 size= 1kB time=01:00:00.25 bitrate=", "time="), 3600.25);
    EXPECT_FALSE(ffmpegSeconds("Duration: N/A, bitrate: N/A", "Duration: "));
    EXPECT_FALSE(ffmpegSeconds("nothing here", "time="));
}

} // namespace
} // namespace marquelo::test

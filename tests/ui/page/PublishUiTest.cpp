// The page's place and its long runs in the window: the close question's folder and publish buttons,
// the progress lines with Cancel and a failure that stays until closed, and a movie page's MP4 that
// headless Chromium actually plays (the camera's AVI it cannot).
#include "core/page/PageFixture.h"
#include "support/TestSupport.h"
#include "ui/page/ClosePageDialog.h"
#include "ui/page/ProgressNotices.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

namespace marquelo::test {
namespace {

TEST(ClosePageQuestion, OffersTheFolderAndPublishingOnlyWithACommand)
{
    int folders = 0;
    ClosePageDialog without(
        QStringLiteral("Close?"), [] {}, nullptr, [&folders] { ++folders; }, false);
    without.show();
    auto* folder = without.findChild<QPushButton*>(QStringLiteral("openFolder"));
    auto* publish = without.findChild<QPushButton*>(QStringLiteral("closeAndPublish"));
    ASSERT_TRUE(folder && publish);
    EXPECT_FALSE(publish->isEnabled());
    // The folder opens and the question stays. (Clicked: a mnemonic needs an active window, which the
    // offscreen platform gives only sometimes.)
    EXPECT_TRUE(folder->text().contains(QStringLiteral("&F")));
    folder->click();
    EXPECT_EQ(folders, 1);
    EXPECT_TRUE(without.isVisible());

    ClosePageDialog with(
        QStringLiteral("Close?"), [] {}, nullptr, [] {}, true);
    with.show();
    auto* publishNow = with.findChild<QPushButton*>(QStringLiteral("closeAndPublish"));
    ASSERT_TRUE(publishNow && publishNow->isEnabled());
    EXPECT_TRUE(publishNow->text().contains(QStringLiteral("&P")));
    publishNow->click();
    EXPECT_FALSE(with.isVisible());
    EXPECT_EQ(with.result(), ClosePageDialog::kCloseAndPublish);

    // Without the folder action it is the plain question it always was.
    ClosePageDialog plain(QStringLiteral("Close?"), [] {});
    EXPECT_EQ(plain.findChild<QPushButton*>(QStringLiteral("closeAndPublish")), nullptr);
}

TEST(ProgressLines, CancelRunsItsActionAndAFailureStaysUntilClosed)
{
    QWidget window;
    window.resize(800, 600);
    window.show();
    ProgressNotices lines(&window);
    int cancels = 0;
    lines.show("publish", QStringLiteral("Publishing '/p' ..."), [&cancels] { ++cancels; });
    lines.show("movie-1", QStringLiteral("Making a web copy of a.avi ... 10%"), [] {});
    lines.show("movie-1", QStringLiteral("Making a web copy of a.avi ... 40%"), [] {});
    EXPECT_EQ(lines.text("movie-1"), QStringLiteral("Making a web copy of a.avi ... 40%"));
    auto* cancel = window.findChild<QPushButton*>(QStringLiteral("cancel-publish"));
    ASSERT_NE(cancel, nullptr);
    // The viewer keeps its keys: no button takes the focus.
    EXPECT_EQ(cancel->focusPolicy(), Qt::NoFocus);
    cancel->click();
    EXPECT_EQ(cancels, 1);

    lines.end("publish", QStringLiteral("Publishing '/p' failed (exit status 5):\n@ERROR: module is read only"), true);
    auto* close = window.findChild<QPushButton*>(QStringLiteral("close-publish"));
    ASSERT_NE(close, nullptr);
    EXPECT_TRUE(lines.text("publish").contains(QStringLiteral("module is read only")));
    close->click();
    EXPECT_TRUE(lines.text("publish").isEmpty());
    lines.end("movie-1", QStringLiteral("a.avi plays on the page now."), false);
    EXPECT_TRUE(lines.text("movie-1").isEmpty());
    EXPECT_FALSE(window.findChild<QWidget*>(QStringLiteral("progressNotices"))->isVisible());
}

// Chromium's answer to the probe page for `movie` and `poster` in `folder`.
QString chromiumSays(const QString& folder, const QString& movie, const QString& poster, const QString& profile)
{
    QFile::copy(QString::fromStdString(sourceDir() + "/tests/ui/page/web/play-movie.html"),
                folder + QStringLiteral("/play-movie.html"));
    QProcess chromium;
    chromium.start(QStandardPaths::findExecutable(QStringLiteral("chromium")),
                   {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"), QStringLiteral("--disable-gpu"),
                    QStringLiteral("--no-first-run"), QStringLiteral("--disable-background-networking"),
                    QStringLiteral("--user-data-dir=") + profile,
                    QStringLiteral("--autoplay-policy=no-user-gesture-required"),
                    QStringLiteral("--virtual-time-budget=5000"), QStringLiteral("--dump-dom"),
                    QUrl::fromLocalFile(folder + QStringLiteral("/play-movie.html")).toString() + QLatin1Char('#') +
                        movie + QLatin1Char('|') + poster});
    if (!chromium.waitForFinished(90000))
        chromium.kill();
    const QString dom = QString::fromUtf8(chromium.readAllStandardOutput());
    const qsizetype at = dom.indexOf(QStringLiteral("<p id=\"result\">"));
    return at < 0 ? dom.left(200) : dom.mid(at + 15, dom.indexOf(QLatin1Char('<'), at + 15) - at - 15);
}

TEST_F(PageTest, ChromiumPlaysTheMovieOfAModernPage)
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "judges the page, not the program: run in the plain build only";
#endif
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    if (ffmpeg.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("chromium")).isEmpty())
        GTEST_SKIP() << "needs ffmpeg and chromium";
    const QString avi = tmp.filePath(QStringLiteral("made.avi"));
    QProcess make;
    make.start(ffmpeg,
               {"-hide_banner", "-nostdin", "-y", "-f", "lavfi", "-i", "testsrc=duration=1:size=160x120:rate=10", "-f",
                "lavfi", "-i", "sine=duration=1", "-c:v", "mpeg4", "-c:a", "pcm_s16le", avi});
    ASSERT_TRUE(make.waitForFinished(20000) && make.exitCode() == 0);
    QFile movie(avi);
    ASSERT_TRUE(movie.open(QIODevice::ReadOnly));
    const QByteArray bytes = movie.readAll();
    addPhoto("clip.avi", false, bytes.size());
    writeFile(photos + "/clip.avi", bytes.toStdString());
    images.setCurrent(int(entries.size()) - 1);
    config.PageStyle = 1;
    confirmSetup("Walks");
    add("");
    ASSERT_TRUE(spinUntil([&] { return !host.ended.empty(); }));
    ASSERT_EQ(host.ended[0].text, "clip.avi plays on the page now.");

    const QString folder = QString::fromStdString(config.CurOutputDirectory);
    const QString said = chromiumSays(folder, QStringLiteral("clip-web.mp4"), QStringLiteral("clip-poster.jpg"),
                                      tmp.filePath(QStringLiteral("profile")));
    EXPECT_EQ(said, QStringLiteral("played duration=1 size=160x120 poster=160")) << said.toStdString();
    // What the page would have offered before: the camera's AVI, which the browser cannot play.
    EXPECT_TRUE(chromiumSays(folder, QStringLiteral("clip.avi"), QStringLiteral("clip-poster.jpg"),
                             tmp.filePath(QStringLiteral("profile")))
                    .startsWith(QStringLiteral("play failed")));
}

} // namespace
} // namespace marquelo::test

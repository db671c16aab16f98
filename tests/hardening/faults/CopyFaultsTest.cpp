// Copies and tools under hostile files and bad timing: a link to an endless device, leftovers of a
// killed writer, two programs adding to one page, quick repeated turns. Nothing fills the disk, nothing
// is left behind, no copy replaces another and no turn is lost.
#include "harness/ProgramSession.h"
#include "harness/Programs.h"

#include "core/tools/OutputNames.h"
#include "core/tools/TurnQueue.h"
#include "core/viewer/ImageList.h"
#include "support/TestSupport.h"
#include "ui/viewer/ViewerWindow.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace marquelo::test {
namespace {

std::string contentOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool anyMessageHas(const ScriptedUserInterface& ui, const std::string& text)
{
    for (const std::string& m : ui.messages)
        if (m.find(text) != std::string::npos)
            return true;
    return false;
}

std::uintmax_t bytesBelow(const std::string& folder)
{
    std::uintmax_t total = 0;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (!entry.is_symlink() && entry.is_regular_file())
            total += entry.file_size();
    return total;
}

// Caps how much one file may grow while it lives, so that a copy of /dev/zero ends in an error instead
// of filling the machine's disk.
class FileSizeCap {
public:
    explicit FileSizeCap(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit capped = m_old;
        capped.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &capped);
    }
    ~FileSizeCap()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_previous);
    }

private:
    rlimit m_old{};
    void (*m_previous)(int) = nullptr;
};

// E on a photo that is a link to /dev/zero, and A on a movie linked the same way: both refused with a
// message that says why, and neither folder grows.
TEST(CopyFaults, LinkToAnEndlessDeviceIsRefused)
{
    ProgramSession session;
    ASSERT_EQ(copyCorpusPhotos(session.photos(), 1, 120).size(), 1u);
    fs::create_symlink("/dev/zero", session.photos() + "/x.jpg");
    fs::create_symlink("/dev/zero", session.photos() + "/y.mov");
    const std::uintmax_t photosBefore = bytesBelow(session.photos());

    const FileSizeCap cap(8 << 20);
    ASSERT_TRUE(session.run([&](ViewerWindow& window) {
        ImageList& images = window.images();
        images.setCurrent(images.findByName("x.jpg")->index);
        window.showCurrent();
        settle(30);
        window.runCommand(Command::Edit);
        settle(30);
        EXPECT_TRUE(anyMessageHas(session.ui, "'" + session.photos() + "/x.jpg' is not a regular file."));

        images.setCurrent(images.findByName("y.mov")->index);
        window.showCurrent();
        window.runCommand(Command::AddImage);
        typeCaption(window, QStringLiteral("Endless"));
        settle(30);
        EXPECT_TRUE(anyMessageHas(session.ui, "'" + session.photos() + "/y.mov' is not a regular file."));
    }));
    EXPECT_EQ(bytesBelow(session.photos()), photosBefore);
    fs::create_directories(session.output());
    EXPECT_LT(bytesBelow(session.output()), 64u << 10);
    for (const auto& entry : fs::recursive_directory_iterator(session.output()))
        EXPECT_NE(entry.path().filename(), "y.mov") << "an empty reserved name stayed behind";
}

// What a killed writer left (the program's or the image tool's) goes at the next start, and at the next
// write into that folder by either of them.
TEST(CopyFaults, LeftoversOfAKilledWriterAreRemoved)
{
    ProgramSession session;
    ASSERT_EQ(copyCorpusPhotos(session.photos(), 2, 120).size(), 2u);
    const std::string page = session.output() + "/page";
    fs::create_directories(page);
    std::ofstream(page + "/index.html", std::ios::binary) << "<html><body>\r\n";
    session.settings().CurOutputDirectory = page;
    session.settings().OutputFilename = "index.html";
    const std::string leftover = "/.marquelo-" + std::to_string(endedProcess()) + "-k1lled.tmp";
    std::ofstream(session.photos() + leftover) << "half a turned photo";
    std::ofstream(page + leftover) << "half a page";
    std::ofstream(session.photos() + "/.my-notes.tmp") << "the user's own";

    bool goneAtStart = false;
    ASSERT_TRUE(session.run([&](ViewerWindow& window) {
        goneAtStart = !fs::exists(session.photos() + leftover) && !fs::exists(page + leftover);
        // Left again while the program runs, then the next write to each folder clears it.
        std::ofstream(session.photos() + leftover) << "half a turned photo";
        std::ofstream(page + leftover) << "half a page";
        window.runCommand(Command::RotateRight);
        window.runCommand(Command::AddImage);
        typeCaption(window, QStringLiteral("Added"));
        settle(30);
        EXPECT_TRUE(waitForProgramsMentioning(session.work(), 30000));
    }));
    EXPECT_TRUE(goneAtStart);
    EXPECT_FALSE(fs::exists(session.photos() + leftover)) << "the image tool left the photo folder's leftover";
    EXPECT_FALSE(fs::exists(page + leftover)) << "the page's leftover stayed";
    EXPECT_TRUE(fs::exists(session.photos() + "/.my-notes.tmp"));
    for (const std::string& folder : {session.photos(), page})
        for (const auto& entry : fs::directory_iterator(folder))
            EXPECT_NE(entry.path().filename().string().rfind(".marquelo-", 0), 0u) << entry.path();
}

// Two running programs add IMG_0001.jpg from two folders to one page while the first one's copy is still
// being made. Each gets a copy of its own and an anchor of its own.
TEST(CopyFaults, TwoProgramsOnOnePageNeverShareACopy)
{
    ProgramSession first, second;
    const std::string page = first.work() + "/page";
    fs::create_directories(page);
    std::ofstream(page + "/index.html", std::ios::binary) << "<html><body>\r\n";
    // A compressor that takes its time, so that the second program adds while the first is busy.
    const std::string slow = first.work() + "/slow-compress";
    writeScript(slow, "sleep 1\nexec '" + first.settings().ImageCompressApp + "' \"$@\"");
    ProgramSession* sessions[] = {&first, &second};
    for (ProgramSession* s : sessions) {
        const auto photos = copyCorpusPhotos(s->photos(), s == &first ? 1 : 2, 120);
        ASSERT_FALSE(photos.empty());
        fs::rename(s->photos() + "/" + photos.back(), s->photos() + "/IMG_0001.jpg");
        s->settings().CurOutputDirectory = page;
        s->settings().OutputFilename = "index.html";
        s->settings().ImageCompressApp = slow;
    }
    for (ProgramSession* s : sessions) {
        // Each program has only its own memory of the names it handed out.
        OutputNames::instance().clear();
        ASSERT_TRUE(s->run(
            [&](ViewerWindow& window) {
                window.runCommand(Command::AddImage);
                typeCaption(window, QStringLiteral("Same name"));
                settle(30);
            },
            s->photos() + "/IMG_0001.jpg"));
    }
    EXPECT_TRUE(waitForProgramsMentioning(first.work(), 30000));
    const std::string text = contentOf(page + "/index.html");
    EXPECT_NE(text.find("<a name=2>"), std::string::npos) << text;
    EXPECT_NE(text.find("<a name=3>"), std::string::npos) << text;
    EXPECT_NE(text.find("src=\"img_0001.jpg\""), std::string::npos) << text;
    EXPECT_NE(text.find("src=\"img_0001-2.jpg\""), std::string::npos) << text;
    const std::string a = contentOf(page + "/img_0001.jpg"), b = contentOf(page + "/img_0001-2.jpg");
    EXPECT_FALSE(a.empty());
    EXPECT_FALSE(b.empty());
    EXPECT_NE(a, b);
}

// A camera-sized photo whose four corners tell its turn: red top left, green top right, blue bottom
// right, white bottom left (whole 16 x 16 blocks, so every turn is lossless). Large enough that the tool
// is still at work when the next press comes.
constexpr int kWidth = 3008, kHeight = 2000, kCorner = 256;

void writeCornerPhoto(const std::string& path)
{
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(Qt::gray);
    QPainter p(&image);
    p.fillRect(0, 0, kCorner, kCorner, Qt::red);
    p.fillRect(kWidth - kCorner, 0, kCorner, kCorner, Qt::green);
    p.fillRect(kWidth - kCorner, kHeight - kCorner, kCorner, kCorner, Qt::blue);
    p.fillRect(0, kHeight - kCorner, kCorner, kCorner, Qt::white);
    p.end();
    ASSERT_TRUE(image.save(QString::fromStdString(path), "JPG", 90));
}

// Which colour is at the top left: 'r', 'g', 'b' or 'w'.
char topLeft(const std::string& path)
{
    const QColor c = QImage(QString::fromStdString(path)).pixelColor(kCorner / 2, kCorner / 2);
    if (c.red() > 200 && c.green() > 200 && c.blue() > 200)
        return 'w';
    if (c.red() > 200)
        return 'r';
    if (c.green() > 200)
        return 'g';
    return c.blue() > 200 ? 'b' : '?';
}

struct QuickTurns {
    int presses;
    char topLeft; // a right turn brings the bottom-left corner to the top left
    int width;
};

class QuickRepeats : public ::testing::TestWithParam<QuickTurns> {};

// Ctrl+Right pressed quickly several times: every press counts.
TEST_P(QuickRepeats, EveryTurnCounts)
{
    ProgramSession session;
    const std::string photo = session.photos() + "/corners.jpg";
    writeCornerPhoto(photo);
    ASSERT_EQ(topLeft(photo), 'r');
    ASSERT_TRUE(session.run(
        [&](ViewerWindow& window) {
            for (int i = 0; i < GetParam().presses; ++i)
                window.runCommand(Command::RotateRight);
            auto* turns = window.findChild<TurnQueue*>();
            ASSERT_NE(turns, nullptr);
            for (int waited = 0; !turns->idle() && waited < 30000; waited += 20)
                settle(20);
            EXPECT_TRUE(waitForProgramsMentioning(session.work(), 30000));
        },
        photo));
    EXPECT_EQ(topLeft(photo), GetParam().topLeft);
    EXPECT_EQ(QImage(QString::fromStdString(photo)).width(), GetParam().width);
}

INSTANTIATE_TEST_SUITE_P(, QuickRepeats,
                         ::testing::Values(QuickTurns{2, 'b', kWidth}, QuickTurns{3, 'g', kHeight},
                                           QuickTurns{4, 'r', kWidth}),
                         [](const auto& row) { return std::to_string(row.param.presses) + "Presses"; });

} // namespace
} // namespace marquelo::test

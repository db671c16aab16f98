// A long scripted session over a folder of real photos: thousands of navigation, zoom, edit, turn, add,
// close, reopen, rename and delete commands in a seeded random order. At the end every page is valid
// HTML, every photo a page refers to is there, and memory did not grow with the number of commands.
#include "harness/FileSnapshot.h"
#include "harness/ProgramSession.h"
#include "harness/Programs.h"

#include "core/viewer/ImageList.h"
#include "ui/viewer/ViewerWindow.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>

namespace fs = std::filesystem;

namespace marquelo::test {
namespace {

constexpr int kDefaultCommands = 3000;

int commandCount()
{
    if (const char* text = std::getenv("MARQUELO_SOAK_COMMANDS"))
        return std::max(1, std::atoi(text));
    return kDefaultCommands;
}

// How often each kind of step comes up, out of 1000.
struct Step {
    enum Kind { Navigate, Zoom, Toggle, Info, Edit, Turn, Add, Close, Reopen, Rename, Delete, Reload } kind;
    int weight;
};
constexpr Step kSteps[] = {
    {Step::Navigate, 520}, {Step::Zoom, 170},  {Step::Toggle, 30}, {Step::Info, 10},
    {Step::Edit, 40},      {Step::Turn, 50},   {Step::Add, 120},   {Step::Close, 15},
    {Step::Reopen, 10},    {Step::Rename, 12}, {Step::Delete, 8},  {Step::Reload, 15},
};

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(Soak, ThousandsOfCommandsLeaveValidPagesAndFlatMemory)
{
    ProgramSession session;
    const int photoCount = 40;
    ASSERT_EQ(copyCorpusPhotos(session.photos(), photoCount, 160).size(), std::size_t(photoCount));
    session.settings().CacheDepth = 2;
    const int total = commandCount();

    std::mt19937 random(20261208);
    int weightSum = 0;
    for (const Step& s : kSteps)
        weightSum += s.weight;
    auto pick = [&] {
        int r = std::uniform_int_distribution<int>(0, weightSum - 1)(random);
        for (const Step& s : kSteps) {
            if (r < s.weight)
                return s.kind;
            r -= s.weight;
        }
        return Step::Navigate;
    };

    std::vector<long> rss;
    std::map<Step::Kind, int> done;
    int pages = 0;
    std::vector<std::string> closedPages;
    ASSERT_TRUE(session.run([&](ViewerWindow& window) {
        ImageList& images = window.images();
        auto pagePath = [&] { return window.config().CurOutputDirectory + "/" + window.config().OutputFilename; };
        for (int i = 0; i < total && images.count() > 0; ++i) {
            const Step::Kind kind = pick();
            switch (kind) {
            case Step::Navigate: {
                static const Command moves[] = {Command::Next,   Command::Next,  Command::Previous, Command::Forward5,
                                                Command::Back5,  Command::First, Command::Last,     Command::Forward10,
                                                Command::Back10, Command::Next};
                window.runCommand(moves[random() % std::size(moves)]);
                break;
            }
            case Step::Zoom: {
                static const Command zooms[] = {Command::Enlarge, Command::Enlarge, Command::Shrink, Command::Fit};
                window.runCommand(zooms[random() % std::size(zooms)]);
                break;
            }
            case Step::Toggle: window.runCommand(random() % 2 ? Command::ToggleInfo : Command::ToggleToolbar); break;
            case Step::Info: window.runCommand(Command::ImageInfo); break;
            case Step::Edit:
                session.ui.answers = {UserInterface::Answer::No}; // keep an existing edited copy
                window.runCommand(random() % 3 ? Command::Edit : Command::Swap);
                break;
            case Step::Turn: {
                static const Command turns[] = {Command::RotateLeft, Command::RotateRight, Command::Mirror,
                                                Command::Flip};
                window.runCommand(turns[random() % std::size(turns)]);
                break;
            }
            case Step::Add:
                if (!fs::exists(pagePath()))
                    session.pilot.pageTitle = QStringLiteral("Soak page %1").arg(++pages);
                window.runCommand(Command::AddImage);
                typeCaption(window, QStringLiteral("Photo %1 <b>&amp;</b> \"quoted\"").arg(i));
                break;
            case Step::Close:
                if (fs::exists(pagePath()))
                    closedPages.push_back(pagePath());
                window.runCommand(Command::ClosePage);
                break;
            case Step::Reopen:
                if (!closedPages.empty() && !fs::exists(pagePath())) {
                    session.pilot.chooseFile.push_back(QString::fromStdString(closedPages.back()));
                    window.runCommand(Command::OpenPage);
                }
                break;
            case Step::Rename:
                // A person pauses before renaming: the turns and copies started on the photo are done.
                waitForProgramsMentioning(session.work(), 20000);
                session.pilot.renameTo = {QStringLiteral("renamed-%1.jpg").arg(i)};
                window.runCommand(Command::Rename);
                break;
            case Step::Delete:
                waitForProgramsMentioning(session.work(), 20000);
                session.ui.answers = {UserInterface::Answer::Yes};
                window.runCommand(Command::Delete);
                break;
            case Step::Reload: window.runCommand(Command::Reload); break;
            }
            ++done[kind];
            // The change check runs between key presses, as its timer would.
            tickChangeCheck(window);
            settle(1);
            if (i % 50 == 0)
                rss.push_back(residentKib());
        }
        waitForProgramsMentioning(session.work(), 60000);
        if (fs::exists(pagePath())) {
            closedPages.push_back(pagePath());
            window.runCommand(Command::ClosePage);
        }
        settle(50);
    }));
    ASSERT_TRUE(waitForProgramsMentioning(session.work(), 60000));
    // What the user was told along the way (read when something below fails).
    std::set<std::string> told(session.ui.messages.begin(), session.ui.messages.end());
    for (const std::string& m : told)
        std::printf("[ soak     ] told: %s\n", m.c_str());

    int commands = 0;
    for (const auto& [kind, n] : done)
        commands += n;
    EXPECT_EQ(commands, total);
    EXPECT_GT(done[Step::Add], 0);

    // Every page is valid HTML and every photo it shows lies beside it.
    std::sort(closedPages.begin(), closedPages.end());
    closedPages.erase(std::unique(closedPages.begin(), closedPages.end()), closedPages.end());
    int referenced = 0;
    for (const std::string& page : closedPages) {
        ASSERT_TRUE(fs::exists(page)) << page;
        QProcess tidy;
        tidy.start(QStringLiteral("tidy"), {QStringLiteral("-e"), QStringLiteral("-q"), QString::fromStdString(page)});
        ASSERT_TRUE(tidy.waitForFinished(60000));
        const QString report = QString::fromUtf8(tidy.readAllStandardError());
        EXPECT_LT(tidy.exitCode(), 2) << page << "\n" << report.toStdString();
        EXPECT_FALSE(report.contains(QStringLiteral("Error:"))) << report.toStdString();

        const QString html = QString::fromStdString(readFile(page));
        static const QRegularExpression source(QStringLiteral("<img src=\"([^\"]+)\""));
        for (auto it = source.globalMatch(html); it.hasNext();) {
            const std::string name = it.next().captured(1).toStdString();
            ++referenced;
            EXPECT_TRUE(fs::exists(fs::path(page).parent_path() / name)) << name << " missing beside " << page;
        }
    }
    EXPECT_GT(referenced, 0);

    // Memory is flat: the last third of the session holds no more than the first third did, beyond
    // the slack of the allocator and the picture cache's working set.
    ASSERT_GE(rss.size(), 6u);
    const std::size_t third = rss.size() / 3;
    const long early = *std::max_element(rss.begin(), rss.begin() + long(third));
    const long late = *std::max_element(rss.end() - long(third), rss.end());
    EXPECT_LE(late, early + early / 4 + 16 * 1024) << "early " << early << " KiB, late " << late << " KiB";

    std::printf("[ soak     ] %d commands, %zu pages, %d images referenced, %zu files checked, "
                "RSS early %ld KiB late %ld KiB peak %ld KiB\n",
                commands, closedPages.size(), referenced, FileSnapshot::of(session.work()).size(), early, late,
                peakResidentKib());
    for (const auto& [kind, n] : done)
        std::printf("[ soak     ]   step %d: %d\n", int(kind), n);
}

} // namespace
} // namespace marquelo::test

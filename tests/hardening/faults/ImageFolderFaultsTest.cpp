// The folder of the photos taken away while one of them is shown (a memory card pulled out): every
// command still ends in a message or in nothing, and the photos themselves come back untouched.
#include "harness/FileSnapshot.h"
#include "harness/ProgramSession.h"
#include "harness/Programs.h"

#include "ui/viewer/ViewerWindow.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace marquelo::test {
namespace {

TEST(ImageFolderFaults, EveryCommandSurvivesThePhotoFolderGoingAway)
{
    ProgramSession session;
    ASSERT_EQ(copyCorpusPhotos(session.photos(), 5, 200).size(), 5u);
    const std::string away = session.work() + "/card";
    const FileSnapshot before = FileSnapshot::of(session.photos());
    session.pilot.renameTo = {QStringLiteral("renamed.jpg")};

    int commandsRun = 0;
    ASSERT_TRUE(session.run([&](ViewerWindow& window) {
        window.runCommand(Command::Next);
        settle(50);
        // The card is pulled: its folder is gone from where the program found it.
        fs::rename(session.photos(), away);
        const Command commands[] = {Command::Reload,  Command::Next,      Command::Previous,    Command::Last,
                                    Command::Enlarge, Command::Fit,       Command::RotateLeft,  Command::Mirror,
                                    Command::Edit,    Command::Swap,      Command::AddFavorite, Command::Tool1,
                                    Command::View,    Command::ImageInfo, Command::Rename,      Command::Delete,
                                    Command::First,   Command::Forward10, Command::Back5};
        for (Command c : commands) {
            window.runCommand(c);
            // The change check runs as its timer would between key presses.
            tickChangeCheck(window);
            settle(10);
            ++commandsRun;
        }
        session.ui.answers = {UserInterface::Answer::Yes};
        window.runCommand(Command::AddImage);
        typeCaption(window, QStringLiteral("A photo that is no longer there"));
        settle(50);
        window.runCommand(Command::ClosePage);
        settle(50);
    }));
    waitForProgramsMentioning(session.work(), 20000);
    EXPECT_EQ(commandsRun, 19);

    // Nothing the program did reached the photos on the card.
    EXPECT_TRUE(FileSnapshot::of(away).changedSince(before).empty());
    EXPECT_EQ(FileSnapshot::of(away).size(), before.size());
    EXPECT_FALSE(fs::exists(session.photos()));
}

} // namespace
} // namespace marquelo::test

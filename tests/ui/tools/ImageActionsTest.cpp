#include "ui/tools/ImageActions.h"

#include "core/tools/OutputNames.h"
#include "core/tools/ToolTemplates.h"
#include "support/ScriptedUserInterface.h"
#include "support/TestSupport.h"
#include "ui/viewer/ViewerWindow.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace marquelo {
namespace {

using Args = std::vector<std::string>;
using Answer = UserInterface::Answer;

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool waitFor(const std::string& path)
{
    for (int i = 0; i < 1500 && !fs::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return fs::exists(path);
}

// A photo folder with one camera photo, a viewer window on it with the image actions bound, and a
// program that records the arguments it is started with.
class ImageActionsTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    std::string photos, favorites, recorder, record;
    AppConfig config;
    ImageList list;
    test::ScriptedUserInterface ui;
    std::unique_ptr<ViewerWindow> window;

    void SetUp() override
    {
        const std::string base = root.path().toStdString();
        photos = base + "/My Photos";
        favorites = base + "/favorites";
        fs::create_directories(photos);
        fs::copy_file(test::photo("camera/canon_eos5d.jpg"), photos + "/IMG_0042.JPG");
        recorder = base + "/recorder";
        record = base + "/record";
        std::ofstream(recorder) << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > '" << record
                                << ".tmp'\nmv '" << record << ".tmp' '" << record << "'\n";
        fs::permissions(recorder, fs::perms::owner_all);

        config.EditFileSuffix = "_edit";
        config.ImageEditApp = recorder;
        config.ImageEditArg = R"("%1/%2")";
        config.ImageCompressApp = recorder;
        config.ImageCompressArg = R"("%1/%2" /crop=(%5) /resample=(%7,%6) /aspectratio /jpgq=85 /convert="%3/%4")";
        config.BestOfDirectory = favorites;
        config.CurOutputDirectory = base + "/out";
        config.OutputFilename = "index.html";
        config.PreviewBrowser = recorder;
        config.Tool2App = recorder;
        config.Tool2Arg = R"("%3")";
        ImageEntry entry;
        entry.isPicture = true;
        entry.files[kOriginal].name = "IMG_0042.JPG";
        list.assign(photos, {entry});
        window = std::make_unique<ViewerWindow>(config, list, ui);
        bindToolCommands(*window);
        OutputNames::instance().clear();
    }

    void TearDown() override { window.reset(); }

    // What the recorder was started with (and clears it for the next command).
    Args recorded()
    {
        Args args;
        if (!waitFor(record))
            return args;
        std::stringstream all(readAll(record));
        std::string one;
        while (std::getline(all, one, '\0'))
            args.push_back(one);
        fs::remove(record);
        return args;
    }

    void wholePictureShown()
    {
        window->geometry().source = {0, 0, 2911, 4367}; // the portrait photo, whole
        window->geometry().destination = {0, 0, 1023, 681};
    }

    ImageEntry& entry() { return list.current(); }
};

TEST_F(ImageActionsTest, EditCopiesOnceThenReusesTheCopy)
{
    window->runCommand(Command::Edit);
    const std::string copy = photos + "/IMG_0042_edit.JPG";
    EXPECT_EQ(readAll(copy), readAll(photos + "/IMG_0042.JPG"));
    EXPECT_TRUE(entry().hasEdited);
    EXPECT_FALSE(entry().editedKept);
    EXPECT_EQ(entry().shown, kEdited);
    EXPECT_EQ(recorded(), Args{copy}); // the original is never handed to the editor

    std::ofstream(copy) << "edited by the user";
    window->runCommand(Command::Swap);
    EXPECT_EQ(entry().shown, kOriginal);
    window->runCommand(Command::Edit);
    EXPECT_EQ(entry().shown, kEdited);
    EXPECT_EQ(readAll(copy), "edited by the user");
    EXPECT_EQ(recorded(), Args{copy});
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ImageActionsTest, EditAsksBeforeReplacingAFileWithTheEditedName)
{
    const std::string copy = photos + "/IMG_0042_edit.JPG";
    std::ofstream(copy) << "an earlier edit";
    ui.answers = {Answer::No};
    window->runCommand(Command::Edit);
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_NE(ui.questions[0].find("IMG_0042_edit.JPG"), std::string::npos);
    EXPECT_EQ(readAll(copy), "an earlier edit");
    EXPECT_TRUE(entry().hasEdited);
    EXPECT_TRUE(entry().editedKept); // not made by us: never offered for deletion at exit
    EXPECT_EQ(entry().shown, kEdited);
    EXPECT_EQ(recorded(), Args{copy});
}

TEST_F(ImageActionsTest, EditReplacesWhenTheUserSaysYes)
{
    const std::string copy = photos + "/IMG_0042_edit.JPG";
    std::ofstream(copy) << "stale";
    ui.answers = {Answer::Yes};
    window->runCommand(Command::Edit);
    EXPECT_EQ(readAll(copy), readAll(photos + "/IMG_0042.JPG"));
    EXPECT_FALSE(entry().editedKept);
    EXPECT_EQ(recorded(), Args{copy});
}

TEST_F(ImageActionsTest, EditWithoutEditorSaysSoAndCopiesNothing)
{
    config.ImageEditApp.clear();
    window->runCommand(Command::Edit);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"No image editing application configured"});
    EXPECT_FALSE(fs::exists(photos + "/IMG_0042_edit.JPG"));
    EXPECT_FALSE(entry().hasEdited);
}

TEST_F(ImageActionsTest, EditOfAVanishedPhotoReportsTheCopy)
{
    fs::remove(photos + "/IMG_0042.JPG");
    window->runCommand(Command::Edit);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "Failed to copy '" + photos + "/IMG_0042.JPG' to '" + photos + "/IMG_0042_edit.JPG'");
    EXPECT_FALSE(entry().hasEdited);
    EXPECT_EQ(entry().shown, kOriginal);
}

TEST_F(ImageActionsTest, FavoriteUsesItsOwnSizeAndANewName)
{
    fs::create_directories(favorites);
    std::ofstream(favorites + "/img_0042.jpg") << "another trip's IMG_0042";
    setImageSizeChoice(kSizeLarge);
    wholePictureShown();
    window->runCommand(Command::AddFavorite);
    EXPECT_EQ(imageSizeChoice(), kSizeLarge);
    EXPECT_EQ(recorded(), (Args{photos + "/IMG_0042.JPG", "/crop=(0,0,2912,4368)", "/resample=(341,512)",
                                "/aspectratio", "/jpgq=85", "/convert=" + favorites + "/img_0042-2.jpg"}));
    EXPECT_EQ(readAll(favorites + "/img_0042.jpg"), "another trip's IMG_0042");
    setImageSizeChoice(kSizeSmall);
}

TEST_F(ImageActionsTest, FavoriteWithoutFolderSaysSo)
{
    config.BestOfDirectory.clear();
    window->runCommand(Command::AddFavorite);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"No favorites directory configured"});
    config.ImageCompressApp.clear();
    window->runCommand(Command::AddFavorite);
    EXPECT_EQ(ui.messages.back(), "No compression application specified");
}

TEST_F(ImageActionsTest, FavoriteIsWrittenByTheBundledTool)
{
    config.ImageCompressApp = test::builtProgram("marquelo-convert");
    config.FavoriteSize = 0;
    wholePictureShown();
    window->runCommand(Command::AddFavorite);
    const std::string made = favorites + "/img_0042.jpg";
    ASSERT_TRUE(waitFor(made));
    // The name is reserved on disk at once; the picture comes when the tool has written it.
    for (int i = 0; i < 750 && QImageReader(QString::fromStdString(made)).size().isEmpty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(QImageReader(QString::fromStdString(made)).size(), QSize(170, 256));
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ImageActionsTest, PreviewNeedsAPageButTheCloseQuestionDoesNot)
{
    window->runCommand(Command::PreviewPage);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"No current output file to view"});
    window->runCommand(Command::EditHtml); // HtmlEditor empty: nothing at all
    EXPECT_EQ(ui.messages.size(), 1u);
    config.HtmlEditor = recorder;
    window->runCommand(Command::EditHtml);
    EXPECT_EQ(ui.messages.back(), "No current output file to open");

    previewPage(config, ui);
    EXPECT_EQ(recorded(), Args{config.CurOutputDirectory + "/index.html"});
    config.PreviewBrowser.clear();
    previewPage(config, ui);
    EXPECT_EQ(ui.messages.back(), "No preview browser configured");
}

TEST_F(ImageActionsTest, UserToolTwoGetsTheOutputFolder)
{
    window->runCommand(Command::Tool2);
    EXPECT_EQ(recorded(), Args{config.CurOutputDirectory});
}

TEST_F(ImageActionsTest, UnconfiguredToolsDoNothing)
{
    for (Command c : {Command::RotateLeft, Command::RotateRight, Command::Flip, Command::Mirror, Command::Tool1,
                      Command::Tool3, Command::Tool4})
        window->runCommand(c);
    EXPECT_TRUE(ui.messages.empty());
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(fs::exists(record));
}

TEST_F(ImageActionsTest, RotateTurnsTheShownFileInPlace)
{
    config.RotateLeftApp = test::builtProgram("marquelo-convert");
    config.RotateLeftArg = R"("%1/%2" /rotate_l /jpgq=95 /convert="%1/%2")";
    const std::string photo = photos + "/IMG_0042.JPG";
    window->runCommand(Command::RotateLeft);
    for (int i = 0; i < 500 && QImageReader(QString::fromStdString(photo)).size() != QSize(4368, 2912); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(QImageReader(QString::fromStdString(photo)).size(), QSize(4368, 2912));
}

} // namespace
} // namespace marquelo

namespace marquelo {
namespace {

// Runs the event loop (the window keeps working) until `done` or ten seconds passed.
bool spinUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 500 && !done(); ++i)
        QTest::qWait(20);
    return done();
}

TEST_F(ImageActionsTest, FavoriteSaysItWasAddedOrWhyItsCopyFailedWhileTheViewerStepsOn)
{
    fs::copy_file(test::photo("camera/nikon_coolpix_p6000_gps.jpg"), photos + "/IMG_0043.JPG");
    ImageEntry second = entry();
    second.files[kOriginal].name = "IMG_0043.JPG";
    list.assign(photos, {entry(), second});
    window->resize(400, 300);
    window->show();
    window->showCurrent();
    auto* notice = window->findChild<QLabel*>(QStringLiteral("notice"));
    ASSERT_NE(notice, nullptr);

    const std::string failing = root.path().toStdString() + "/failing";
    std::ofstream(failing) << "#!/bin/sh\nsleep 0.3\necho 'disk full' >&2\nexit 1\n";
    fs::permissions(failing, fs::perms::owner_all);
    config.ImageCompressApp = failing;
    window->runCommand(Command::AddFavorite);
    // The program is still running; the viewer does not wait for it.
    EXPECT_FALSE(notice->isVisible());
    window->runCommand(Command::Next);
    EXPECT_EQ(list.currentIndex(), 1);
    ASSERT_TRUE(spinUntil([&] { return notice->isVisible(); }));
    EXPECT_EQ(notice->text(), QStringLiteral("Copy of IMG_0042.JPG failed: disk full"));
    window->runCommand(Command::Previous);
    EXPECT_EQ(list.currentIndex(), 0);
    EXPECT_TRUE(ui.messages.empty());

    config.ImageCompressApp = recorder;
    window->runCommand(Command::AddFavorite);
    ASSERT_TRUE(spinUntil([&] { return notice->text() == QStringLiteral("Added to favorites: IMG_0042.JPG"); }));
    EXPECT_FALSE(recorded().empty());
}

TEST_F(ImageActionsTest, FavoriteOfAPairTakesTheRawAndSidecarsAlongAndNamesBoth)
{
    std::ofstream(photos + "/IMG_0042.CR2") << "the raw";
    std::ofstream(photos + "/IMG_0042.JPG.xmp") << "<x:xmpmeta/>";
    entry().rawCompanion = "IMG_0042.CR2";
    fs::create_directories(favorites);
    std::ofstream(favorites + "/img_0042.CR2") << "another trip's raw";
    window->resize(400, 300);
    window->show();
    window->showCurrent();
    auto* notice = window->findChild<QLabel*>(QStringLiteral("notice"));
    ASSERT_NE(notice, nullptr);

    window->runCommand(Command::AddFavorite);
    ASSERT_TRUE(spinUntil([&] { return notice->text().startsWith(QStringLiteral("Added to favorites")); }));
    EXPECT_EQ(notice->text(), QStringLiteral("Added to favorites: IMG_0042.JPG and IMG_0042.CR2 (as img_0042-1.CR2: "
                                             "the name was taken)"));
    EXPECT_EQ(readAll(favorites + "/img_0042.CR2"), "another trip's raw");
    EXPECT_EQ(readAll(favorites + "/img_0042-1.CR2"), "the raw");
    EXPECT_EQ(readAll(favorites + "/img_0042-1.JPG.xmp"), "<x:xmpmeta/>");
    EXPECT_EQ(readAll(photos + "/IMG_0042.CR2"), "the raw");
}

} // namespace
} // namespace marquelo

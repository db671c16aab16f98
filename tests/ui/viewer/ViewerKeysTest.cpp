// Keys reaching the real window: navigation, swallowed chords, the caption box and modal dialogs.
#include "ViewerFixture.h"

#include "core/viewer/PictureCache.h"

#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace marquelo::test {
namespace {

struct StepCase {
    const char* name;
    int count;
    int start;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int expected;
};

class ViewerSteps : public ViewerFixture, public ::testing::WithParamInterface<StepCase> {};

TEST_P(ViewerSteps, KeyMovesToPosition)
{
    const StepCase& c = GetParam();
    makePhotos(c.count);
    open(c.start);
    QTest::keyClick(window.get(), c.key, c.modifiers);
    EXPECT_EQ(images.currentIndex(), c.expected) << c.name;
    EXPECT_EQ(infoText(), QStringLiteral("%1/%2").arg(c.expected + 1).arg(c.count)) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ViewerSteps,
    ::testing::Values(StepCase{"ShiftPageDownToLast", 4, 1, Qt::Key_PageDown, Qt::ShiftModifier, 3},
                      StepCase{"CtrlPageUpToFirst", 4, 3, Qt::Key_PageUp, Qt::ControlModifier, 0},
                      StepCase{"CtrlPageDownByTen", 12, 1, Qt::Key_PageDown, Qt::ControlModifier, 11},
                      StepCase{"ShiftPageUpByFive", 12, 11, Qt::Key_PageUp, Qt::ShiftModifier, 6},
                      StepCase{"ShiftLeftSwallowed", 4, 2, Qt::Key_Left, Qt::ShiftModifier, 2},
                      StepCase{"AltUpSwallowed", 4, 2, Qt::Key_Up, Qt::AltModifier, 2},
                      StepCase{"XSwallowed", 4, 2, Qt::Key_X, Qt::NoModifier, 2},
                      StepCase{"AltLeftBack", 4, 2, Qt::Key_Left, Qt::AltModifier, 1},
                      StepCase{"DownNext", 4, 2, Qt::Key_Down, Qt::NoModifier, 3},
                      StepCase{"NextOnLastStays", 4, 3, Qt::Key_Right, Qt::NoModifier, 3},
                      StepCase{"PreviousOnFirstStays", 4, 0, Qt::Key_PageUp, Qt::NoModifier, 0},
                      StepCase{"End", 4, 0, Qt::Key_End, Qt::NoModifier, 3},
                      StepCase{"CtrlHome", 4, 3, Qt::Key_Home, Qt::ControlModifier, 0},
                      StepCase{"SpacePressesNext", 4, 0, Qt::Key_Space, Qt::NoModifier, 1},
                      StepCase{"EnterPressesNext", 4, 0, Qt::Key_Return, Qt::NoModifier, 1},
                      // Next is disabled on the last photo: Enter is OK there and keeps the position.
                      StepCase{"EnterOnLastStays", 4, 3, Qt::Key_Return, Qt::NoModifier, 3}),
    [](const ::testing::TestParamInfo<StepCase>& row) { return std::string(row.param.name); });

TEST_F(ViewerFixture, ShowCurrentLabelsButtonsAndTitle)
{
    makePhotos(3);
    open(0);
    EXPECT_EQ(window->windowTitle(), dir.path() + QStringLiteral("/a.jpg - Marquelo"));
    EXPECT_EQ(fileNameText(), QStringLiteral("a.jpg"));
    EXPECT_FALSE(window->toolbarButton(Command::Previous)->isEnabled());
    EXPECT_TRUE(window->toolbarButton(Command::Next)->isEnabled());
    EXPECT_FALSE(window->toolbarButton(Command::Swap)->isEnabled());
    EXPECT_TRUE(window->toolbarButton(Command::Edit)->isEnabled());
    EXPECT_FALSE(window->toolbarButton(Command::Tool1)->isEnabled()) << "no Tool1App configured";
    EXPECT_EQ(window->toolbarButton(Command::Next)->toolTip(), QStringLiteral("Next (PgDn, Down, Space)"));
}

TEST_F(ViewerFixture, SpaceKeepsSteppingAfterTheLastPhotoComesBack)
{
    makePhotos(3);
    open(1);
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_EQ(images.currentIndex(), 2);
    QTest::keyClick(window.get(), Qt::Key_Space); // Next is disabled: nothing else is pressed instead
    EXPECT_EQ(images.currentIndex(), 2);
    QTest::keyClick(window.get(), Qt::Key_Home);
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_EQ(images.currentIndex(), 1);
}

TEST_F(ViewerFixture, CaptionBoxTakesLettersAndEscapeOnlyClosesIt)
{
    makePhotos(3);
    open(1);
    QSignalSpy exits(window.get(), &ViewerWindow::exitRequested);
    bool escaped = false;
    window->setCaptionHandlers([](bool) {},
                               [&] {
                                   escaped = true;
                                   window->endCaptionInput();
                               });
    window->startCaptionInput();
    auto* box = window->findChild<QLineEdit*>(QStringLiteral("caption"));
    QTest::keyClicks(box, QStringLiteral("EA x"));
    QTest::keyClick(box, Qt::Key_PageDown);
    EXPECT_EQ(window->captionText(), QStringLiteral("EA x"));
    EXPECT_EQ(images.currentIndex(), 1);
    EXPECT_FALSE(window->toolbarButton(Command::Next)->isVisible()) << "the box covers the toolbar";

    QTest::keyClick(box, Qt::Key_Escape);
    EXPECT_TRUE(escaped);
    EXPECT_FALSE(window->captionActive());
    EXPECT_EQ(exits.count(), 0);
    EXPECT_TRUE(window->toolbarButton(Command::Next)->isVisible());
    QTest::keyClick(window.get(), Qt::Key_PageDown);
    EXPECT_EQ(images.currentIndex(), 2) << "the key table is on again";
}

TEST_F(ViewerFixture, CaptionEnterReportsShift)
{
    makePhotos(2);
    open(0);
    std::vector<bool> enters;
    window->setCaptionHandlers([&](bool shift) { enters.push_back(shift); }, [] {});
    window->startCaptionInput();
    auto* box = window->findChild<QLineEdit*>(QStringLiteral("caption"));
    QTest::keyClick(box, Qt::Key_Return);
    QTest::keyClick(box, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(enters, (std::vector<bool>{false, true}));
    EXPECT_EQ(images.currentIndex(), 0);
}

TEST_F(ViewerFixture, AnOfferedCaptionIsSelectedSoTypingReplacesIt)
{
    makePhotos(1);
    open(0);
    window->setCaptionHandlers([](bool) {}, [] {});
    window->offerCaptionText(QStringLiteral("ignored while closed"));
    window->startCaptionInput();
    auto* box = window->findChild<QLineEdit*>(QStringLiteral("caption"));
    EXPECT_EQ(box->text(), QString());
    window->offerCaptionText(QStringLiteral("Tram 28 at dusk"));
    EXPECT_EQ(box->selectedText(), QStringLiteral("Tram 28 at dusk"));
    QTest::keyClicks(box, QStringLiteral("Ana"));
    EXPECT_EQ(window->captionText(), QStringLiteral("Ana"));
    // Opened again on another photo, the box starts empty: nothing of the last description stays.
    window->endCaptionInput();
    window->startCaptionInput();
    EXPECT_EQ(window->captionText(), QString());
}

TEST_F(ViewerFixture, KeysDoNothingWhileAModalDialogIsOpen)
{
    makePhotos(3);
    open(0);
    QDialog dialog(window.get());
    dialog.setModal(true);
    dialog.show();
    QTest::keyClick(window.get(), Qt::Key_PageDown);
    EXPECT_EQ(images.currentIndex(), 0);
    dialog.hide();
    QTest::keyClick(window.get(), Qt::Key_PageDown);
    EXPECT_EQ(images.currentIndex(), 1);
}

TEST_F(ViewerFixture, OtherRoomsCommandsReachTheirHandlers)
{
    makePhotos(2);
    open(0);
    std::vector<Command> ran;
    for (Command c : {Command::Help, Command::ClosePage, Command::AddImage, Command::Preferences})
        window->setCommandHandler(c, [&ran, c] { ran.push_back(c); });
    QTest::keyClick(window.get(), Qt::Key_Question, Qt::ShiftModifier);
    QTest::keyClick(window.get(), Qt::Key_Slash);
    QTest::keyClick(window.get(), Qt::Key_Exclam, Qt::ShiftModifier);
    QTest::keyClick(window.get(), Qt::Key_A);
    window->toolbarButton(Command::Preferences)->click();
    QTest::keyClick(window.get(), Qt::Key_H); // no handler: nothing happens
    EXPECT_EQ(ran, (std::vector<Command>{Command::Help, Command::Help, Command::ClosePage, Command::AddImage,
                                         Command::Preferences}));
}

TEST_F(ViewerFixture, KeypadDigitsMinusAndSlashAreNotTheTablesKeys)
{
    writePhoto(path("a.jpg"), QSize(400, 300), Qt::red);
    open(0);
    std::vector<Command> ran;
    for (Command c : {Command::Tool1, Command::Tool4, Command::Help})
        window->setCommandHandler(c, [&ran, c] { ran.push_back(c); });
    QTest::keyClick(window.get(), Qt::Key_1, Qt::KeypadModifier);
    QTest::keyClick(window.get(), Qt::Key_4, Qt::KeypadModifier);
    QTest::keyClick(window.get(), Qt::Key_Slash, Qt::KeypadModifier);
    EXPECT_TRUE(ran.empty());
    QTest::keyClick(window.get(), Qt::Key_1);
    QTest::keyClick(window.get(), Qt::Key_4);
    QTest::keyClick(window.get(), Qt::Key_Slash);
    EXPECT_EQ(ran, (std::vector<Command>{Command::Tool1, Command::Tool4, Command::Help}));

    // The keypad plus enlarges; the keypad minus and zero leave the view alone.
    const Rect fitted = window->geometry().destination;
    QTest::keyClick(window.get(), Qt::Key_Plus, Qt::KeypadModifier);
    const Rect enlarged = window->geometry().destination;
    ASSERT_NE(enlarged, fitted);
    QTest::keyClick(window.get(), Qt::Key_Minus, Qt::KeypadModifier);
    QTest::keyClick(window.get(), Qt::Key_0, Qt::KeypadModifier);
    EXPECT_EQ(window->geometry().destination, enlarged);
    QTest::keyClick(window.get(), Qt::Key_0);
    EXPECT_EQ(window->geometry().destination, fitted);
}

TEST_F(ViewerFixture, ClickedToolbarButtonTakesTheFocusForSpaceAndEnter)
{
    makePhotos(5);
    open(4);
    int helps = 0;
    window->setCommandHandler(Command::Help, [&helps] { ++helps; });
    QTest::mouseClick(window->toolbarButton(Command::Previous), Qt::LeftButton);
    EXPECT_EQ(images.currentIndex(), 3);
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_EQ(images.currentIndex(), 2) << "Space repeats the clicked button";
    QTest::keyClick(window.get(), Qt::Key_Return);
    EXPECT_EQ(images.currentIndex(), 1) << "Enter repeats the clicked button";

    QTest::mouseClick(window->toolbarButton(Command::Help), Qt::LeftButton);
    QTest::keyClick(window.get(), Qt::Key_Space);
    EXPECT_EQ(helps, 2);
    EXPECT_EQ(images.currentIndex(), 1);
}

TEST_F(ViewerFixture, EnterKeepsTheShownEditedCopy)
{
    makePhotos(2);
    writePhoto(path("a_edit.jpg"), QSize(160, 120), Qt::white);
    open(0);
    ASSERT_TRUE(images.current().hasEdited);
    images.current().editedKept = false; // as if made in this run
    window->setFocus();                  // no button focused: Enter is OK
    QTest::keyClick(window.get(), Qt::Key_Enter);
    EXPECT_TRUE(images.at(0).editedKept);
    EXPECT_EQ(images.currentIndex(), 1);
}

TEST_F(ViewerFixture, ToggleToolbarAndInfo)
{
    makePhotos(2);
    open(0);
    auto* info = window->findChild<QLabel*>(QStringLiteral("info"));
    QTest::keyClick(window.get(), Qt::Key_I); // only while the toolbar is hidden
    EXPECT_TRUE(config.ShowImageInfo);
    QTest::keyClick(window.get(), Qt::Key_T);
    EXPECT_FALSE(config.ShowToolbar);
    EXPECT_FALSE(window->toolbarButton(Command::Delete)->isVisible());
    EXPECT_TRUE(info->isVisible());
    QTest::keyClick(window.get(), Qt::Key_I);
    EXPECT_FALSE(config.ShowImageInfo);
    EXPECT_FALSE(info->isVisible());
    QTest::keyClick(window.get(), Qt::Key_T);
    EXPECT_TRUE(window->toolbarButton(Command::Delete)->isVisible());
    EXPECT_TRUE(info->isVisible());
}

TEST_F(ViewerFixture, ExitAsksOnceAboutUnusedEditedCopies)
{
    writePhoto(path("a.jpg"), QSize(64, 48), Qt::red);
    writePhoto(path("a_edit.jpg"), QSize(64, 48), Qt::red);
    writePhoto(path("b.jpg"), QSize(64, 48), Qt::green);
    writePhoto(path("b_edit.jpg"), QSize(64, 48), Qt::green);
    writePhoto(path("c.jpg"), QSize(64, 48), Qt::blue);
    writePhoto(path("c_edit.jpg"), QSize(64, 48), Qt::blue);
    open(0);
    images.at(0).editedKept = false;
    images.at(1).editedKept = false; // c_edit.jpg was found by the scan: kept
    QSignalSpy exits(window.get(), &ViewerWindow::exitRequested);

    ui.answers = {UserInterface::Answer::Cancel};
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_EQ(exits.count(), 0);
    EXPECT_TRUE(window->changeTimer().isActive()) << "the change check goes on";
    EXPECT_EQ(ui.questions.size(), 1u);

    ui.answers = {UserInterface::Answer::Yes};
    QTest::keyClick(window.get(), Qt::Key_Escape);
    EXPECT_EQ(exits.count(), 1);
    EXPECT_EQ(ui.questions, (std::vector<std::string>{"Ok to delete unused copies of edited images?",
                                                      "Ok to delete unused copies of edited images?"}));
    EXPECT_FALSE(QFile::exists(path("a_edit.jpg")));
    EXPECT_FALSE(QFile::exists(path("b_edit.jpg")));
    EXPECT_TRUE(QFile::exists(path("c_edit.jpg")));
    EXPECT_FALSE(window->changeTimer().isActive());
}

TEST_F(ViewerFixture, ExitWithoutEditedCopiesAsksNothing)
{
    makePhotos(2);
    open(0);
    QSignalSpy exits(window.get(), &ViewerWindow::exitRequested);
    window->close();
    EXPECT_EQ(exits.count(), 1);
    EXPECT_TRUE(ui.questions.empty());
}

} // namespace
} // namespace marquelo::test

// The disclaimer, the help window and the message boxes, driven with keys and clicks offscreen.
#include "ModalDriver.h"
#include "core/settings/Startup.h"
#include "ui/settings/DisclaimerDialog.h"
#include "ui/settings/HelpWindow.h"
#include "ui/settings/QtUserInterface.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>

namespace marquelo {
namespace {

using test::whenModal;

QAbstractButton* buttonWithText(QWidget* parent, const QString& text)
{
    for (auto* b : parent->findChildren<QAbstractButton*>()) {
        if (b->text().remove(u'&') == text)
            return b;
    }
    return nullptr;
}

TEST(DisclaimerTest, CaptionButtonsAndText)
{
    DisclaimerDialog dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("DISCLAIMER"));
    EXPECT_TRUE(dlg.declineButton()->isDefault());
    EXPECT_FALSE(dlg.acceptButton()->isDefault());
    EXPECT_EQ(dlg.declineButton()->text(), QStringLiteral("DECLINE"));
    EXPECT_EQ(dlg.acceptButton()->text(), QStringLiteral("ACCEPT"));
    EXPECT_TRUE(DisclaimerDialog::disclaimerText().contains(QStringLiteral("without warranty")));
}

enum class Act { Enter, Escape, ClickAccept, ClickDecline, Close, TabToAcceptThenEnter, EnterInTheText };
struct DisclaimerCase {
    Act act;
    bool accepted;
};
class DisclaimerAnswerTest : public ::testing::TestWithParam<DisclaimerCase> {};

TEST_P(DisclaimerAnswerTest, OnlyAcceptAccepts)
{
    whenModal([act = GetParam().act](QWidget* modal) {
        switch (act) {
        case Act::Enter: QTest::keyClick(modal, Qt::Key_Return); break;
        case Act::Escape: QTest::keyClick(modal, Qt::Key_Escape); break;
        case Act::ClickAccept:
            QTest::mouseClick(buttonWithText(modal, QStringLiteral("ACCEPT")), Qt::LeftButton);
            break;
        case Act::ClickDecline:
            QTest::mouseClick(buttonWithText(modal, QStringLiteral("DECLINE")), Qt::LeftButton);
            break;
        case Act::Close: modal->close(); break;
        case Act::TabToAcceptThenEnter:
            QTest::keyClick(modal, Qt::Key_Tab);
            QTest::keyClick(modal->focusWidget(), Qt::Key_Return);
            break;
        case Act::EnterInTheText: {
            auto* text = modal->findChild<QPlainTextEdit*>();
            text->setFocus();
            QTest::keyClick(text, Qt::Key_Return);
            break;
        }
        }
    });
    EXPECT_EQ(runDisclaimer(), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(Rows, DisclaimerAnswerTest,
                         ::testing::Values(DisclaimerCase{Act::Enter, false}, // the default button is DECLINE
                                           DisclaimerCase{Act::Escape, false}, DisclaimerCase{Act::Close, false},
                                           DisclaimerCase{Act::ClickDecline, false},
                                           DisclaimerCase{Act::ClickAccept, true},
                                           // Enter presses the focused button, the default elsewhere.
                                           DisclaimerCase{Act::TabToAcceptThenEnter, true},
                                           DisclaimerCase{Act::EnterInTheText, false}));

TEST(HelpWindowTest, ShortcutPageFromTheProgramsResources)
{
    HelpWindow dlg(kShortcutsPage);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Marquelo v1.16"));
    const QString text = dlg.browser()->toPlainText();
    for (const char* expected :
         {"Shortcut Keys", "Previous image", "Step 10 images", "Deflate image display size",
          "Swap images (edited vs. original)", "Compress and add image to web page (crop if zoomed in)", "Close Page",
          "Abort caption input, or exit", "Show detailed image information", "Hints:", "Basic steps:"})
        EXPECT_TRUE(text.contains(QLatin1String(expected))) << expected;
}

TEST(HelpWindowTest, KeyHelpFitsTheScreenWithRoomForItsTitleBarAndScrolls)
{
    // 800 x 600 offscreen: the classic 590 pixels would leave the title bar or the bottom off screen.
    HelpWindow dlg(kShortcutsPage);
    dlg.show();
    const QRect room = dlg.screen()->availableGeometry();
    EXPECT_LE(dlg.height(), room.height() - 40);
    EXPECT_LE(dlg.width(), room.width());
    QCoreApplication::processEvents();
    EXPECT_GT(dlg.browser()->verticalScrollBar()->maximum(), 0) << "the rest of the keys is a scroll away";
}

TEST(HelpWindowTest, NoticeNamesTheBundledToolAndWhereToSetIt)
{
    HelpWindow dlg(kNoticePage);
    const QString text = dlg.browser()->toPlainText();
    EXPECT_TRUE(text.contains(QStringLiteral("marquelo-convert")));
    EXPECT_TRUE(text.contains(QStringLiteral("preferences")));
    EXPECT_TRUE(text.contains(QStringLiteral("Edit/Compress")));
}

TEST(HelpWindowTest, UnknownPageOpensEmpty)
{
    HelpWindow dlg(12345);
    EXPECT_TRUE(dlg.browser()->toPlainText().isEmpty());
    EXPECT_TRUE(HelpWindow::pagePath(12345).isEmpty());
}

struct HelpCloseCase {
    int page;
    const char* how; // "keys": Tab to the OK link, Enter; "escape"; "cancel": the ButtonCancel link
    int result;
};
class HelpCloseTest : public ::testing::TestWithParam<HelpCloseCase> {};

TEST_P(HelpCloseTest, ButtonsCloseAsOkOrCancel)
{
    const std::string how = GetParam().how;
    whenModal([how](QWidget* modal) {
        auto* browser = modal->findChild<QTextBrowser*>();
        if (how == "keys") {
            // The OK link is the last link of both pages: Shift+Tab from the top reaches it.
            browser->setFocus();
            QTest::keyClick(browser, Qt::Key_Tab, Qt::ShiftModifier);
            QTest::keyClick(browser, Qt::Key_Return);
        } else if (how == "escape") {
            QTest::keyClick(modal, Qt::Key_Escape);
        } else {
            Q_EMIT browser->anchorClicked(QUrl(QStringLiteral("#ButtonCancel")));
        }
        // Whatever happened, never leave the test hanging on an open window.
        QTimer::singleShot(2000, modal, [modal] {
            if (modal->isVisible())
                static_cast<QDialog*>(modal)->done(-1);
        });
    });
    EXPECT_EQ(showHelpPage(nullptr, GetParam().page), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Rows, HelpCloseTest,
                         ::testing::Values(HelpCloseCase{kShortcutsPage, "keys", QDialog::Accepted},
                                           HelpCloseCase{kNoticePage, "keys", QDialog::Accepted},
                                           HelpCloseCase{kNoticePage, "escape", QDialog::Rejected},
                                           HelpCloseCase{kShortcutsPage, "cancel", QDialog::Rejected}));

struct AskCase {
    UserInterface::Buttons buttons;
    const char* press; // button text, or "" for Escape
    UserInterface::Answer answer;
};
class QtUserInterfaceTest : public ::testing::TestWithParam<AskCase> {};

TEST_P(QtUserInterfaceTest, AnswersByTheButtonPressed)
{
    const QString press = QString::fromLatin1(GetParam().press);
    QString caption, text;
    whenModal([&](QWidget* modal) {
        caption = modal->windowTitle();
        if (auto* label = modal->findChild<QLabel*>(QStringLiteral("qt_msgbox_label")))
            text = label->text();
        if (press.isEmpty())
            QTest::keyClick(modal, Qt::Key_Escape);
        else
            QTest::mouseClick(buttonWithText(modal, press), Qt::LeftButton);
    });
    QtUserInterface ui;
    EXPECT_EQ(ui.ask("Ok to go on?", GetParam().buttons), GetParam().answer);
    EXPECT_EQ(caption, QStringLiteral("Marquelo"));
    EXPECT_EQ(text, QStringLiteral("Ok to go on?"));
}

using B = UserInterface::Buttons;
using A = UserInterface::Answer;
INSTANTIATE_TEST_SUITE_P(Rows, QtUserInterfaceTest,
                         ::testing::Values(AskCase{B::YesNoCancel, "Yes", A::Yes}, AskCase{B::YesNoCancel, "No", A::No},
                                           AskCase{B::YesNoCancel, "Cancel", A::Cancel},
                                           AskCase{B::YesNoCancel, "", A::Cancel}, AskCase{B::YesNo, "", A::No},
                                           AskCase{B::YesNo, "Yes", A::Yes}, AskCase{B::Ok, "OK", A::Ok}));

// Enter on a question whose Yes cannot be taken back must not be that Yes.
TEST(QtUserInterfaceDefaultTest, EnterAnswersNoWhereNoIsTheDefault)
{
    const auto pressEnter = [] { whenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Return); }); };
    QtUserInterface ui;
    pressEnter();
    EXPECT_EQ(ui.ask("Cannot move to the trash: x. Delete for good?", B::YesNoDefaultNo), A::No);
    pressEnter();
    EXPECT_EQ(ui.ask("Ok to go on?", B::YesNo), A::Yes);
}

TEST(QtUserInterfaceMessageTest, MessageHasTheProgramsCaptionAndIsOwnedByTheActiveWindow)
{
    QWidget owner;
    owner.show();
    QApplication::setActiveWindow(&owner);
    QWidget* parent = nullptr;
    QString caption;
    whenModal([&](QWidget* modal) {
        parent = modal->parentWidget();
        caption = modal->windowTitle();
        QTest::keyClick(modal, Qt::Key_Return);
    });
    QtUserInterface ui;
    ui.message("Failed to store configuration");
    EXPECT_EQ(caption, QStringLiteral("Marquelo"));
    EXPECT_EQ(parent, &owner);
}

// A name is shown as it is: a file called like markup must never become a heading or another picture.
TEST(QtUserInterfaceMessageTest, EveryBoxShowsNamesAsPlainTextWithItsIcon)
{
    const std::string name = "Ok to delete '<h1>x<img src=other.jpg>.jpg'?";
    struct Seen {
        Qt::TextFormat format = Qt::AutoText;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString text;
    };
    auto watch = [](Seen& seen) {
        whenModal([&seen](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            seen = {box->textFormat(), box->icon(), box->text()};
            QTest::keyClick(modal, Qt::Key_Escape);
        });
    };
    QtUserInterface ui;
    Seen asked, told, informed;
    watch(asked);
    ui.ask(name, UserInterface::Buttons::YesNoCancel);
    watch(told);
    ui.message(name);
    watch(informed);
    ui.information("You are running the latest version (16).");

    for (const Seen* seen : {&asked, &told, &informed})
        EXPECT_EQ(seen->format, Qt::PlainText);
    EXPECT_EQ(asked.text, QString::fromStdString(name));
    EXPECT_EQ(asked.icon, QMessageBox::Question);
    EXPECT_EQ(told.icon, QMessageBox::NoIcon);
    EXPECT_EQ(informed.icon, QMessageBox::Information);
}

} // namespace
} // namespace marquelo

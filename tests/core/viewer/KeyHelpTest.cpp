// The key help is written from the key table: every key a user can press is on it, by its real name.
#include "core/viewer/KeyHelp.h"

#include <QTextDocument>

#include <gtest/gtest.h>

namespace marquelo {
namespace {

TEST(KeyHelp, ListsEveryKeyOfTheTableWithWhatItDoes)
{
    QTextDocument page;
    page.setHtml(QString::fromStdString(keyHelpPage()));
    const QString text = page.toPlainText();
    for (const KeyBinding& binding : kKeyTable) {
        EXPECT_TRUE(text.contains(QString::fromStdString(keyName(binding)))) << binding.label;
        EXPECT_FALSE(commandDescription(binding.command).empty()) << binding.label;
    }
    // Symbols typed with Shift are named with it, the others are not.
    EXPECT_TRUE(text.contains(QStringLiteral("Shift+!")));
    EXPECT_TRUE(text.contains(QStringLiteral("Shift+?")));
    EXPECT_FALSE(text.contains(QStringLiteral("Shift+Shift")));
    // Keys of one command share its line, in table order.
    EXPECT_TRUE(text.contains(QStringLiteral("Shift+?, /, F1")));
    // Still closes like the other help pages.
    EXPECT_NE(keyHelpPage().find("href=\"#ButtonOK\""), std::string::npos);
}

TEST(KeyHelp, ModernSaysTheSameOnTheDarkGround)
{
    QTextDocument classic, modern;
    classic.setHtml(QString::fromStdString(keyHelpPage(KeyHelpLook::Classic)));
    modern.setHtml(QString::fromStdString(keyHelpPage(KeyHelpLook::Modern)));
    EXPECT_EQ(modern.toPlainText(), classic.toPlainText());
    const std::string page = keyHelpPage(KeyHelpLook::Modern);
    EXPECT_EQ(page.find("#cccc99"), std::string::npos);
    EXPECT_NE(page.find("bgcolor=\"#242424\""), std::string::npos);
    EXPECT_NE(page.find("href=\"#ButtonOK\""), std::string::npos);
    // Classic is the page as it always was.
    EXPECT_EQ(keyHelpPage(), keyHelpPage(KeyHelpLook::Classic));
    EXPECT_NE(keyHelpPage().find("bgcolor=\"#cccc99\""), std::string::npos);
    // M brings the faded toolbar back, and says so.
    EXPECT_TRUE(classic.toPlainText().contains(QStringLiteral("Show the toolbar again")));
}

TEST(KeyHelp, EveryCommandHasADescription)
{
    for (int c = 0; c < kCommandCount; ++c)
        EXPECT_FALSE(commandDescription(Command(c)).empty()) << c;
}

} // namespace
} // namespace marquelo

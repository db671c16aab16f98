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

TEST(KeyHelp, EveryCommandHasADescription)
{
    for (int c = 0; c < kCommandCount; ++c)
        EXPECT_FALSE(commandDescription(Command(c)).empty()) << c;
}

} // namespace
} // namespace marquelo

// Keys typed into the early window become the key events Qt would have made of them.
#include "ui/viewer/EarlyWindow.h"

#include <gtest/gtest.h>

#include <xkbcommon/xkbcommon-keysyms.h>

namespace marquelo {
namespace {

TEST(EarlyKeysTest, KeysymsBecomeQtKeys)
{
    // Letters are named by their capital, with or without Shift; Latin-1 beyond ASCII too.
    EXPECT_EQ(qtKeyForKeysym(XKB_KEY_a, QStringLiteral("a")), Qt::Key_A);
    EXPECT_EQ(qtKeyForKeysym(XKB_KEY_A, QStringLiteral("A")), Qt::Key_A);
    EXPECT_EQ(qtKeyForKeysym(XKB_KEY_udiaeresis, QStringLiteral("\u00fc")), Qt::Key_Udiaeresis);
    EXPECT_EQ(qtKeyForKeysym(XKB_KEY_question, QStringLiteral("?")), Qt::Key_Question);
    EXPECT_EQ(qtKeyForKeysym(XKB_KEY_space, QStringLiteral(" ")), Qt::Key_Space);
    // The viewer's own keys.
    EXPECT_EQ(qtKeyForKeysym(XKB_KEY_Right, {}), Qt::Key_Right);
    EXPECT_EQ(qtKeyForKeysym(XKB_KEY_Next, {}), Qt::Key_PageDown);
    EXPECT_EQ(qtKeyForKeysym(XKB_KEY_Prior, {}), Qt::Key_PageUp);
    EXPECT_EQ(qtKeyForKeysym(XKB_KEY_End, {}), Qt::Key_End);
    EXPECT_EQ(qtKeyForKeysym(XKB_KEY_Return, QStringLiteral("\r")), Qt::Key_Return);
    EXPECT_EQ(qtKeyForKeysym(XKB_KEY_Escape, QStringLiteral("\x1b")), Qt::Key_Escape);
    EXPECT_EQ(qtKeyForKeysym(XKB_KEY_BackSpace, QStringLiteral("\b")), Qt::Key_Backspace);
    EXPECT_EQ(qtKeyForKeysym(XKB_KEY_F1, {}), Qt::Key_F1);
    EXPECT_EQ(qtKeyForKeysym(XKB_KEY_F11, {}), Qt::Key_F11);
    EXPECT_EQ(qtKeyForKeysym(XKB_KEY_ISO_Left_Tab, {}), Qt::Key_Backtab);
    // The keypad's keys are the main keys' (with the keypad modifier).
    EXPECT_EQ(qtKeyForKeysym(XKB_KEY_KP_Add, QStringLiteral("+")), Qt::Key_Plus);
    EXPECT_EQ(qtKeyForKeysym(XKB_KEY_KP_Enter, QStringLiteral("\r")), Qt::Key_Enter);
    EXPECT_EQ(qtKeyForKeysym(XKB_KEY_KP_7, QStringLiteral("7")), Qt::Key_7);
    EXPECT_EQ(qtKeyForKeysym(XKB_KEY_KP_Home, {}), Qt::Key_Home);
    // Other scripts by what they type.
    EXPECT_EQ(qtKeyForKeysym(XKB_KEY_Cyrillic_a, QStringLiteral("\u0430")), 0x410);
    EXPECT_EQ(qtKeyForKeysym(0x1234567, {}), Qt::Key_unknown);
}

TEST(EarlyKeysTest, StateBecomesQtModifiers)
{
    EXPECT_EQ(qtModifiersForState(0, XKB_KEY_a), Qt::NoModifier);
    EXPECT_EQ(qtModifiersForState(0x1 | 0x4, XKB_KEY_A), Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(qtModifiersForState(0x8, XKB_KEY_a), Qt::AltModifier);
    EXPECT_EQ(qtModifiersForState(0x40, XKB_KEY_a), Qt::MetaModifier);
    // Caps Lock and Num Lock are no modifiers to Qt.
    EXPECT_EQ(qtModifiersForState(0x2 | 0x10, XKB_KEY_A), Qt::NoModifier);
    EXPECT_EQ(qtModifiersForState(0x10, XKB_KEY_KP_1), Qt::KeypadModifier);
    EXPECT_EQ(qtModifiersForState(0x1, XKB_KEY_KP_Add), Qt::ShiftModifier | Qt::KeypadModifier);
}

} // namespace
} // namespace marquelo

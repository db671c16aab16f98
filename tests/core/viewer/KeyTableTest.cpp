// The key table as a user meets it: which chord reaches which command, and which keys are swallowed.
#include "core/viewer/KeyTable.h"
#include "core/viewer/Toolbar.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace marquelo {
namespace {

struct KeyCase {
    const char* name;
    int key;
    Qt::KeyboardModifiers modifiers;
    std::optional<Command> expected;
};

class KeyLookup : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyLookup, ReachesItsCommand)
{
    const KeyCase& c = GetParam();
    EXPECT_EQ(lookupKey(c.key, c.modifiers), c.expected) << c.name;
}

const Qt::KeyboardModifiers kNone = Qt::NoModifier;
const Qt::KeyboardModifiers kShift = Qt::ShiftModifier;
const Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;
const Qt::KeyboardModifiers kAlt = Qt::AltModifier;
const Qt::KeyboardModifiers kPad = Qt::KeypadModifier;

INSTANTIATE_TEST_SUITE_P(
    Table, KeyLookup,
    ::testing::Values(
        KeyCase{"PageDown", Qt::Key_PageDown, kNone, Command::Next},
        KeyCase{"ShiftPageDown", Qt::Key_PageDown, kShift, Command::Forward5},
        KeyCase{"CtrlPageDown", Qt::Key_PageDown, kCtrl, Command::Forward10},
        KeyCase{"ShiftPageUp", Qt::Key_PageUp, kShift, Command::Back5},
        KeyCase{"CtrlPageUp", Qt::Key_PageUp, kCtrl, Command::Back10},
        // Modifier-arrow combinations that must not step.
        KeyCase{"ShiftLeft", Qt::Key_Left, kShift, Command::Nothing},
        KeyCase{"ShiftRight", Qt::Key_Right, kShift, Command::Nothing},
        KeyCase{"ShiftUp", Qt::Key_Up, kShift, Command::Nothing}, KeyCase{"AltUp", Qt::Key_Up, kAlt, Command::Nothing},
        KeyCase{"AltDown", Qt::Key_Down, kAlt, Command::Nothing},
        KeyCase{"AltLeft", Qt::Key_Left, kAlt, Command::Previous}, KeyCase{"X", Qt::Key_X, kNone, Command::Nothing},
        KeyCase{"AltZero", Qt::Key_0, kAlt, Command::Nothing}, KeyCase{"CtrlUpFlips", Qt::Key_Up, kCtrl, Command::Flip},
        KeyCase{"CtrlDownMirrors", Qt::Key_Down, kCtrl, Command::Mirror},
        KeyCase{"CtrlLeftRotates", Qt::Key_Left, kCtrl, Command::RotateLeft},
        // "+" is the =/+ key with or without Shift, and the keypad plus.
        KeyCase{"EqualKey", Qt::Key_Equal, kNone, Command::Enlarge},
        KeyCase{"ShiftPlus", Qt::Key_Plus, kShift, Command::Enlarge},
        KeyCase{"KeypadPlus", Qt::Key_Plus, kPad, Command::Enlarge},
        KeyCase{"Minus", Qt::Key_Minus, kNone, Command::Shrink}, KeyCase{"Zero", Qt::Key_0, kNone, Command::Fit},
        KeyCase{"KeypadArrow", Qt::Key_Right, kPad, Command::Next},
        KeyCase{"KeypadPageDown", Qt::Key_PageDown, kPad, Command::Next},
        KeyCase{"KeypadDelete", Qt::Key_Delete, kPad, Command::Delete},
        // The keypad's digits, minus and slash are keys of their own: only the main keyboard's count.
        KeyCase{"KeypadZeroIsNotFit", Qt::Key_0, kPad, std::nullopt},
        KeyCase{"KeypadOneIsNotTool1", Qt::Key_1, kPad, std::nullopt},
        KeyCase{"KeypadFourIsNotTool4", Qt::Key_4, kPad, std::nullopt},
        KeyCase{"KeypadMinusIsNotShrink", Qt::Key_Minus, kPad, std::nullopt},
        KeyCase{"KeypadSlashIsNotHelp", Qt::Key_Slash, kPad, std::nullopt},
        KeyCase{"One", Qt::Key_1, kNone, Command::Tool1},
        // Shifted symbols arrive as their own key with the Shift flag.
        KeyCase{"Question", Qt::Key_Question, kShift, Command::Help},
        KeyCase{"Slash", Qt::Key_Slash, kNone, Command::Help},
        KeyCase{"Exclam", Qt::Key_Exclam, kShift, Command::ClosePage},
        KeyCase{"CtrlB", Qt::Key_B, kCtrl, Command::AddFavorite}, KeyCase{"B", Qt::Key_B, kNone, Command::PreviewPage},
        KeyCase{"AltEnter", Qt::Key_Return, kAlt, Command::ImageInfo},
        KeyCase{"AltKeypadEnter", Qt::Key_Enter, kAlt | kPad, Command::ImageInfo},
        KeyCase{"F2", Qt::Key_F2, kNone, Command::Rename}, KeyCase{"CtrlHome", Qt::Key_Home, kCtrl, Command::First},
        KeyCase{"Escape", Qt::Key_Escape, kNone, Command::Cancel},
        // Not in the table: left to the window (buttons, OK) or to nobody.
        KeyCase{"Space", Qt::Key_Space, kNone, std::nullopt}, KeyCase{"Enter", Qt::Key_Return, kNone, std::nullopt},
        KeyCase{"ShiftT", Qt::Key_T, kShift, std::nullopt},
        KeyCase{"CtrlShiftDown", Qt::Key_Down, kCtrl | kShift, std::nullopt},
        KeyCase{"AltShiftLeft", Qt::Key_Left, kAlt | kShift, std::nullopt},
        KeyCase{"Z", Qt::Key_Z, kNone, std::nullopt},
        // The desktop's own keys, after the others.
        KeyCase{"F1", Qt::Key_F1, kNone, Command::Help}, KeyCase{"F11", Qt::Key_F11, kNone, Command::ToggleFullScreen},
        KeyCase{"CtrlZ", Qt::Key_Z, kCtrl, Command::UndoDelete},
        // The cull: Ctrl rates and Alt labels, while the digits alone stay the tools and 0 stays Fit.
        KeyCase{"CtrlOne", Qt::Key_1, kCtrl, Command::Rate1}, KeyCase{"CtrlFive", Qt::Key_5, kCtrl, Command::Rate5},
        KeyCase{"CtrlZero", Qt::Key_0, kCtrl, Command::RateClear}, KeyCase{"CtrlX", Qt::Key_X, kCtrl, Command::Reject},
        KeyCase{"AltOne", Qt::Key_1, kAlt, Command::LabelRed},
        KeyCase{"AltFive", Qt::Key_5, kAlt, Command::LabelPurple},
        KeyCase{"CtrlF", Qt::Key_F, kCtrl, Command::NextFilter},
        KeyCase{"CtrlShiftF", Qt::Key_F, kCtrl | kShift, Command::FilterMenu},
        KeyCase{"CtrlShiftOne", Qt::Key_1, kCtrl | kShift, Command::SendTo1},
        // With Shift a US layout reports the digit's symbol: "!", "@", "#", "$".
        KeyCase{"CtrlShiftExclam", Qt::Key_Exclam, kCtrl | kShift, Command::SendTo1},
        KeyCase{"CtrlShiftAt", Qt::Key_At, kCtrl | kShift, Command::SendTo2},
        KeyCase{"CtrlShiftNumberSign", Qt::Key_NumberSign, kCtrl | kShift, Command::SendTo3},
        KeyCase{"CtrlShiftDollar", Qt::Key_Dollar, kCtrl | kShift, Command::SendTo4},
        // The page's place: Shift+P publishes, Shift+F opens its folder; Ctrl+Shift+F stays the filter menu.
        KeyCase{"ShiftP", Qt::Key_P, kShift, Command::PublishPage}, KeyCase{"P", Qt::Key_P, kNone, std::nullopt},
        KeyCase{"ShiftF", Qt::Key_F, kShift, Command::OpenPageFolder},
        KeyCase{"KeypadCtrlOneIsNotARating", Qt::Key_1, kCtrl | kPad, std::nullopt},
        // The Modern toolbar comes back with M; Shift+M stays free.
        KeyCase{"M", Qt::Key_M, kNone, Command::ShowControls}, KeyCase{"ShiftM", Qt::Key_M, kShift, std::nullopt}),
    [](const ::testing::TestParamInfo<KeyCase>& row) { return std::string(row.param.name); });

TEST(KeyTable, NoChordIsListedTwice)
{
    std::set<std::pair<int, int>> seen;
    for (const KeyBinding& binding : kKeyTable) {
        for (int i = 0; i < binding.chordCount; ++i) {
            const QKeyCombination c = binding.chords[std::size_t(i)];
            EXPECT_TRUE(seen.insert({int(c.key()), int(c.keyboardModifiers())}).second) << binding.label;
        }
    }
}

TEST(KeyTable, EveryButtonCommandHasAKeyExceptNone)
{
    // Each toolbar command can also be reached from the keyboard, so no function is mouse-only.
    for (const ToolbarButton& button : kToolbar) {
        bool found = false;
        for (const KeyBinding& binding : kKeyTable)
            found = found || binding.command == button.command;
        EXPECT_TRUE(found) << button.tooltip;
    }
}

TEST(Toolbar, ToolButtonsFollowTheirSettings)
{
    AppConfig config;
    EXPECT_FALSE(toolAvailable(ToolRequirement::Tool3App, config));
    config.Tool3App = "xdg-open";
    EXPECT_TRUE(toolAvailable(ToolRequirement::Tool3App, config));
    config.BestOfDirectory = "/tmp/favorites";
    EXPECT_FALSE(toolAvailable(ToolRequirement::Favorites, config)) << "needs the compress program too";
    config.ImageCompressApp = "marquelo-convert";
    EXPECT_TRUE(toolAvailable(ToolRequirement::Favorites, config));
    EXPECT_TRUE(toolAvailable(ToolRequirement::None, AppConfig{}));
}

TEST(Toolbar, RowRunsLeftToRightWithoutOverlap)
{
    for (std::size_t i = 1; i < kToolbar.size(); ++i)
        EXPECT_GE(kToolbar[i].x, kToolbar[i - 1].x + 16) << kToolbar[i].tooltip;
}

} // namespace
} // namespace marquelo

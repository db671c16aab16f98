#include "core/viewer/KeyTable.h"

namespace marquelo {

namespace {

constexpr QKeyCombination chord(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    return QKeyCombination(mods, key);
}

constexpr KeyBinding row(std::string_view label, Command command, QKeyCombination a)
{
    return KeyBinding{label, command, {a, QKeyCombination(), QKeyCombination()}, 1};
}

constexpr KeyBinding row(std::string_view label, Command command, QKeyCombination a, QKeyCombination b)
{
    return KeyBinding{label, command, {a, b, QKeyCombination()}, 2};
}

constexpr KeyBinding row(std::string_view label, Command command, QKeyCombination a, QKeyCombination b,
                         QKeyCombination c)
{
    return KeyBinding{label, command, {a, b, c}, 3};
}

constexpr Qt::KeyboardModifiers kShift = Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;
constexpr Qt::KeyboardModifiers kAlt = Qt::AltModifier;

} // namespace

// "?" and "!" are typed with Shift, and Qt reports the shifted symbol together with the Shift flag.
// "+" is the =/+ key (with or without Shift, depending on the layout) or the keypad plus.
const std::array<KeyBinding, kKeyTableSize> kKeyTable = {{
    row("Home", Command::First, chord(Qt::Key_Home)),
    row("End", Command::Last, chord(Qt::Key_End)),
    row("Alt+Left", Command::Previous, chord(Qt::Key_Left, kAlt)),
    row("Alt+Right", Command::Next, chord(Qt::Key_Right, kAlt)),
    row("Alt+Up", Command::Nothing, chord(Qt::Key_Up, kAlt)),
    row("Alt+Down", Command::Nothing, chord(Qt::Key_Down, kAlt)),
    row("Page Up", Command::Previous, chord(Qt::Key_PageUp)),
    row("Page Down", Command::Next, chord(Qt::Key_PageDown)),
    row("Down", Command::Next, chord(Qt::Key_Down)),
    row("Up", Command::Previous, chord(Qt::Key_Up)),
    row("T", Command::ToggleToolbar, chord(Qt::Key_T)),
    row("I", Command::ToggleInfo, chord(Qt::Key_I)),
    row("Delete", Command::Delete, chord(Qt::Key_Delete)),
    row("F5", Command::Reload, chord(Qt::Key_F5)),
    row("?", Command::Help, chord(Qt::Key_Question, kShift)),
    row("/", Command::Help, chord(Qt::Key_Slash)),
    row("!", Command::ClosePage, chord(Qt::Key_Exclam, kShift)),
    row("Ctrl+B", Command::AddFavorite, chord(Qt::Key_B, kCtrl)),
    row("Shift+Down", Command::Nothing, chord(Qt::Key_Down, kShift)),
    row("Shift+Up", Command::Nothing, chord(Qt::Key_Up, kShift)),
    row("Ctrl+Down", Command::Mirror, chord(Qt::Key_Down, kCtrl)),
    row("Ctrl+Up", Command::Flip, chord(Qt::Key_Up, kCtrl)),
    row("Ctrl+Page Down", Command::Forward10, chord(Qt::Key_PageDown, kCtrl)),
    row("Ctrl+Page Up", Command::Back10, chord(Qt::Key_PageUp, kCtrl)),
    row("Shift+Page Down", Command::Forward5, chord(Qt::Key_PageDown, kShift)),
    row("Shift+Page Up", Command::Back5, chord(Qt::Key_PageUp, kShift)),
    row("+", Command::Enlarge, chord(Qt::Key_Equal), chord(Qt::Key_Plus), chord(Qt::Key_Plus, kShift)),
    row("-", Command::Shrink, chord(Qt::Key_Minus)),
    row("0", Command::Fit, chord(Qt::Key_0)),
    row("Alt+0", Command::Nothing, chord(Qt::Key_0, kAlt)),
    row("Left", Command::Previous, chord(Qt::Key_Left)),
    row("Right", Command::Next, chord(Qt::Key_Right)),
    row("Shift+Left", Command::Nothing, chord(Qt::Key_Left, kShift)),
    row("Shift+Right", Command::Nothing, chord(Qt::Key_Right, kShift)),
    row("Ctrl+Left", Command::RotateLeft, chord(Qt::Key_Left, kCtrl)),
    row("Ctrl+Right", Command::RotateRight, chord(Qt::Key_Right, kCtrl)),
    row("O", Command::OpenPage, chord(Qt::Key_O)),
    row("X", Command::Nothing, chord(Qt::Key_X)),
    row("E", Command::Edit, chord(Qt::Key_E)),
    row("S", Command::Swap, chord(Qt::Key_S)),
    row("A", Command::AddImage, chord(Qt::Key_A)),
    row("B", Command::PreviewPage, chord(Qt::Key_B)),
    row("H", Command::EditHtml, chord(Qt::Key_H)),
    row("V", Command::View, chord(Qt::Key_V)),
    row("1", Command::Tool1, chord(Qt::Key_1)),
    row("2", Command::Tool2, chord(Qt::Key_2)),
    row("3", Command::Tool3, chord(Qt::Key_3)),
    row("4", Command::Tool4, chord(Qt::Key_4)),
    row("C", Command::Preferences, chord(Qt::Key_C)),
    row("Escape", Command::Cancel, chord(Qt::Key_Escape)),
    row("Ctrl+Home", Command::First, chord(Qt::Key_Home, kCtrl)),
    row("Ctrl+End", Command::Last, chord(Qt::Key_End, kCtrl)),
    // Enter and the keypad's Enter are separate Qt keys; both are the one Enter key of the table.
    row("Alt+Enter", Command::ImageInfo, chord(Qt::Key_Return, kAlt), chord(Qt::Key_Enter, kAlt)),
    row("F2", Command::Rename, chord(Qt::Key_F2)),
    // Keys every desktop program answers to; added after the others so that no earlier row changes.
    row("F1", Command::Help, chord(Qt::Key_F1)),
    row("F11", Command::ToggleFullScreen, chord(Qt::Key_F11)),
    row("Ctrl+Z", Command::UndoDelete, chord(Qt::Key_Z, kCtrl)),
    row("G", Command::ToggleGrid, chord(Qt::Key_G)),
    // The cull. The digits alone stay the tools and 0 stays Fit; with Ctrl they rate, with Alt they label.
    row("Ctrl+1", Command::Rate1, chord(Qt::Key_1, kCtrl)),
    row("Ctrl+2", Command::Rate2, chord(Qt::Key_2, kCtrl)),
    row("Ctrl+3", Command::Rate3, chord(Qt::Key_3, kCtrl)),
    row("Ctrl+4", Command::Rate4, chord(Qt::Key_4, kCtrl)),
    row("Ctrl+5", Command::Rate5, chord(Qt::Key_5, kCtrl)),
    row("Ctrl+0", Command::RateClear, chord(Qt::Key_0, kCtrl)),
    row("Ctrl+X", Command::Reject, chord(Qt::Key_X, kCtrl)),
    row("Alt+1", Command::LabelRed, chord(Qt::Key_1, kAlt)),
    row("Alt+2", Command::LabelYellow, chord(Qt::Key_2, kAlt)),
    row("Alt+3", Command::LabelGreen, chord(Qt::Key_3, kAlt)),
    row("Alt+4", Command::LabelBlue, chord(Qt::Key_4, kAlt)),
    row("Alt+5", Command::LabelPurple, chord(Qt::Key_5, kAlt)),
    row("Ctrl+F", Command::NextFilter, chord(Qt::Key_F, kCtrl)),
    // With Shift held most layouts report the digit's symbol instead of the digit; both are the key.
    row("Ctrl+Shift+1", Command::SendTo1, chord(Qt::Key_1, kCtrl | kShift), chord(Qt::Key_Exclam, kCtrl | kShift)),
    row("Ctrl+Shift+2", Command::SendTo2, chord(Qt::Key_2, kCtrl | kShift), chord(Qt::Key_At, kCtrl | kShift)),
    row("Ctrl+Shift+3", Command::SendTo3, chord(Qt::Key_3, kCtrl | kShift), chord(Qt::Key_NumberSign, kCtrl | kShift)),
    row("Ctrl+Shift+4", Command::SendTo4, chord(Qt::Key_4, kCtrl | kShift), chord(Qt::Key_Dollar, kCtrl | kShift)),
    row("Ctrl+Shift+F", Command::FilterMenu, chord(Qt::Key_F, kCtrl | kShift)),
    row("Shift+P", Command::PublishPage, chord(Qt::Key_P, kShift)),
    row("Shift+F", Command::OpenPageFolder, chord(Qt::Key_F, kShift)),
    row("Shift+C", Command::Compare, chord(Qt::Key_C, kShift)),
    row("Ctrl+Shift+C", Command::ComparePanes, chord(Qt::Key_C, kCtrl | kShift)),
    row("M", Command::ShowControls, chord(Qt::Key_M)),
}};

namespace {

// The keypad's digits, "-", "/", "*" and decimal key are keys of their own, not the main keyboard's
// characters, so the table's "0" to "4", "-" and "/" do not answer to them. The keypad plus is the one
// exception: it is a "+" of the table. The keypad's arrows, Home, End, Page Up/Down, Delete and Enter
// are the same keys as the main block's and keep their rows.
bool isKeypadCharacter(int key, Qt::KeyboardModifiers modifiers)
{
    if (!(modifiers & Qt::KeypadModifier))
        return false;
    return (key >= Qt::Key_0 && key <= Qt::Key_9) || key == Qt::Key_Minus || key == Qt::Key_Slash ||
           key == Qt::Key_Asterisk || key == Qt::Key_Period || key == Qt::Key_Comma;
}

} // namespace

const KeyBinding* findKeyBinding(int key, Qt::KeyboardModifiers modifiers)
{
    if (isKeypadCharacter(key, modifiers))
        return nullptr;
    const Qt::KeyboardModifiers mods =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const QKeyCombination pressed(mods, Qt::Key(key));
    for (const KeyBinding& binding : kKeyTable) {
        for (int i = 0; i < binding.chordCount; ++i) {
            if (binding.chords[std::size_t(i)] == pressed)
                return &binding;
        }
    }
    return nullptr;
}

std::optional<Command> lookupKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (const KeyBinding* binding = findKeyBinding(key, modifiers))
        return binding->command;
    return std::nullopt;
}

} // namespace marquelo

#pragma once
// The viewer's key table: every key chord the viewer answers to, in table order, with its command.
// The key router, the help text and the tests all read this one table; a key that is not in it goes
// on to the window's normal handling (Space and Enter press the focused button, Escape cancels).

#include "core/Command.h"

#include <QKeyCombination>

#include <array>
#include <optional>
#include <string_view>

namespace marquelo {

// One row of the table. A row names one key as the user thinks of it ("+"); on a real keyboard that
// key can arrive as more than one Qt chord (the =/+ key and the keypad plus), hence up to three chords.
struct KeyBinding {
    std::string_view label; // as a person writes the key: "Shift+Page Down"
    Command command;        // Command::Nothing: the key is swallowed
    std::array<QKeyCombination, 3> chords;
    int chordCount;
};

inline constexpr int kKeyTableSize = 81;

// The rows in table order. Earlier rows win when two rows share a chord (none do today).
extern const std::array<KeyBinding, kKeyTableSize> kKeyTable;

// The command of a key press, or nothing when the key is not in the table. The keypad's arrows, page
// keys, Enter and plus count as their main-keyboard keys; its digits, "-" and "/" are not in the table.
std::optional<Command> lookupKey(int key, Qt::KeyboardModifiers modifiers);

// The row of a key press, or nullptr when the key is not in the table.
const KeyBinding* findKeyBinding(int key, Qt::KeyboardModifiers modifiers);

} // namespace marquelo

#pragma once
// The key help page, written from the key table itself so that it lists exactly the keys the viewer
// answers to, by the names a person presses them with.

#include "core/Command.h"
#include "core/viewer/KeyTable.h"

#include <string>
#include <string_view>

namespace marquelo {

// What a command does, as the help says it ("Next image").
std::string_view commandDescription(Command command);

// The key as it is pressed: the table's label, with "Shift+" in front of a symbol typed with Shift
// ("Shift+!").
std::string keyName(const KeyBinding& binding);

// Classic: the page on its own light ground; Modern: the dark ground of the viewer's overlays.
enum class KeyHelpLook { Classic, Modern };

// The whole help page (HTML): every row of the key table, keys of one command on one line in table
// order, then the mouse and caption keys and the hints.
std::string keyHelpPage(KeyHelpLook look = KeyHelpLook::Classic);

} // namespace marquelo

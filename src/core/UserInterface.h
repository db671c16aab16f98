#pragma once
// The one way the core floor reaches the user: messages and questions. The ui floor implements it with
// Qt message boxes (caption "Marquelo"); tests implement it with a script (tests/support).
// Texts are shown as they are, never as markup: they carry file names.
// A room whose logic needs a dialog of its own mid-flow declares a small interface for it beside that
// logic (for example the download progress of the update check) and the ui floor implements that too.

#include <string>
#include <string_view>

namespace marquelo {

class UserInterface {
public:
    // YesNoDefaultNo: Yes and No with No preselected, for a question whose Yes cannot be taken back.
    enum class Buttons { Ok, YesNo, YesNoCancel, YesNoDefaultNo };
    enum class Answer { Ok, Yes, No, Cancel };

    virtual ~UserInterface() = default;

    // A message box with an OK button; the program carries on afterwards.
    virtual void message(std::string_view text) = 0;

    // The same box with the information icon, for news that is no failure.
    virtual void information(std::string_view text) { message(text); }

    // A question with a question icon; closing the box counts as the last button (No or Cancel).
    virtual Answer ask(std::string_view text, Buttons buttons) = 0;
};

} // namespace marquelo

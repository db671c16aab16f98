#pragma once
// A UserInterface for tests: records every message and question and answers from a script.

#include "core/UserInterface.h"

#include <deque>
#include <string>
#include <vector>

namespace marquelo::test {

class ScriptedUserInterface : public UserInterface {
public:
    std::vector<std::string> messages;  // every message() and information() text, in order
    std::vector<std::string> informed;  // the information() texts among them
    std::vector<std::string> questions; // every ask() text, in order
    std::deque<Answer> answers;         // answers handed out in order; when empty, the last button

    void message(std::string_view text) override { messages.emplace_back(text); }
    void information(std::string_view text) override
    {
        messages.emplace_back(text);
        informed.emplace_back(text);
    }

    Answer ask(std::string_view text, Buttons buttons) override
    {
        questions.emplace_back(text);
        if (!answers.empty()) {
            Answer a = answers.front();
            answers.pop_front();
            return a;
        }
        switch (buttons) {
        case Buttons::Ok: return Answer::Ok;
        case Buttons::YesNo:
        case Buttons::YesNoDefaultNo: return Answer::No;
        case Buttons::YesNoCancel: return Answer::Cancel;
        }
        return Answer::Cancel;
    }
};

} // namespace marquelo::test

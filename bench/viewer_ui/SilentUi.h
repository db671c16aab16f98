#pragma once
// The benchmarks' user: never shown a message, declines every question.

#include "core/UserInterface.h"

namespace marquelo::bench {

class SilentUi : public UserInterface {
public:
    void message(std::string_view) override {}
    Answer ask(std::string_view, Buttons) override { return Answer::No; }
};

} // namespace marquelo::bench

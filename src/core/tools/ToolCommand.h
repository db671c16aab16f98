#pragma once
// One configured outside program: its application, its argument template and its hide flag, taken from
// the settings at the moment of use so that a change in the preferences counts for the next command.

#include <string>

namespace marquelo {

struct ToolCommand {
    std::string application; // a path, a program found on PATH, or a document; empty: not configured
    std::string argumentTemplate;
    bool hide = false;
};

} // namespace marquelo

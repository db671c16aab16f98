#pragma once

// What a caught exception says, for the places that must catch everything (a worker thread that may not
// let anything escape, a library that throws on every kind of damage) yet still keep the reason.

#include <string>

namespace marquelo::media {

// The message of the exception being handled: what() of a std::exception (libexiv2's errors are
// ones) on one line without a closing full stop, "not enough memory" for std::bad_alloc, "an unknown
// error" for anything else. Call it only inside a catch block.
std::string currentExceptionText();

} // namespace marquelo::media

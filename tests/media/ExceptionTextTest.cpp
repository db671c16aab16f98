#include "media/ExceptionText.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace marquelo::media {
namespace {

template <typename Thrown> std::string caught(Thrown thrown)
{
    try {
        throw thrown;
    } catch (...) {
        return currentExceptionText();
    }
}

// What a catch-all handler logs or shows: one line, whatever was thrown.
TEST(ExceptionText, EveryThrownThingGivesOneLine)
{
    EXPECT_EQ(caught(std::bad_alloc()), "not enough memory");
    EXPECT_EQ(caught(std::runtime_error("tag 0x0112 has\ninvalid type.\n")), "tag 0x0112 has invalid type");
    EXPECT_EQ(caught(std::runtime_error("")), "an unknown error");
    EXPECT_EQ(caught(42), "an unknown error");
    EXPECT_EQ(currentExceptionText(), "an unknown error") << "outside a handler";
}

} // namespace
} // namespace marquelo::media

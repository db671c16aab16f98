#pragma once
// The image tool run in the test's own process: what `marquelo-convert ARGS` does, without starting a
// program, so a failed check points at the line that failed. Include only in tests that link the
// convert library.

#include "convert/ConvertOptions.h"
#include "convert/Converter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace marquelo::test {

// Converts as the command line `args` asks (which must parse as a conversion); `error` is the tool's
// message, cleared first.
inline bool convert(const std::vector<std::string>& args, std::string& error)
{
    const ::marquelo::convert::ParseResult parsed = ::marquelo::convert::parseArguments(args);
    EXPECT_EQ(parsed.action, ::marquelo::convert::ParseResult::Convert) << parsed.error;
    error.clear();
    return ::marquelo::convert::convertImage(parsed.options, error);
}

// The same, for a test that looks at the message only sometimes.
inline bool convert(const std::vector<std::string>& args, std::string* error = nullptr)
{
    std::string message;
    const bool ok = convert(args, message);
    if (error)
        *error = message;
    return ok;
}

} // namespace marquelo::test

#pragma once
// The image tool run in the test's own process: what `marquelo-convert ARGS` does, without starting a
// program, so a failed check points at the line that failed. Include only in tests that link the
// convert library.

#include "convert/ConvertOptions.h"
#include "convert/Converter.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <filesystem>
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

// A fixture with the image library started and a folder of its own for the test's files.
class ConvertFolder : public ::testing::Test {
protected:
    void SetUp() override { ::marquelo::convert::startImageLibrary(); }
    QTemporaryDir dir;
    std::string out(const std::string& name) const { return dir.path().toStdString() + "/" + name; }
    // `source` copied in as `name`, writable by its owner only (as a camera card's copy).
    std::string copyIn(const std::string& source, const std::string& name)
    {
        std::filesystem::copy_file(source, out(name));
        std::filesystem::permissions(out(name),
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        return out(name);
    }
};

} // namespace marquelo::test

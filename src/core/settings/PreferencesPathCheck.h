#pragma once
// The check the preferences dialog runs on a path entry before it accepts the dialog: what the entry must
// be (blank or not, a file, a directory) and the message that explains a rejection.

#include <optional>
#include <string>

namespace marquelo {

// Requirement bits of a path entry; they combine.
enum PathRequirement : unsigned {
    PathMustBeFile = 2,      // an existing file (a bare program name counts when the launcher would find it)
    PathMustBeDirectory = 4, // an existing directory
    PathNotBlank = 8,        // not the empty string
    PathNotDirectory = 16,   // anything but an existing directory
};

// Accepts or rejects path under the requirement bits. Returns nothing when accepted, else the message to
// show, with the path as entered. A blank path passes unless PathNotBlank is set. A bare name (no '/')
// under PathMustBeFile is looked for as the launcher does: in programDirectory first, then on PATH.
std::optional<std::string> checkPreferencePath(const std::string& path, unsigned requirements,
                                               const std::string& programDirectory = {});

// Accepts or rejects the web address pages are published under (PageBaseUrl). Blank passes; anything
// else must be an absolute http or https address with a server and neither user name, query nor fragment
// (they would be published on every page, or break the addresses built from it). Returns the message to
// show when rejected.
std::optional<std::string> checkPageBaseUrl(const std::string& address);

// The file a bare program name or a path stands for, resolved as the launcher does; empty when there is none.
std::string resolveProgramFile(const std::string& program, const std::string& programDirectory);

} // namespace marquelo

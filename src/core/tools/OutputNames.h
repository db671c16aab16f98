#pragma once
// Names of output copies (page images, favorites) that never replace another picture's copy.
// Cameras reuse names, so a second IMG_0001.JPG must not overwrite the first one's copy, and two running
// programs adding to one page must not pick the same name either: a name is reserved by creating an
// empty file of that name exclusively, which the copy or the outside tool then replaces.

#include <mutex>
#include <set>
#include <string>
#include <string_view>

namespace marquelo {

class OutputNames {
public:
    // The one registry of the running program.
    static OutputNames& instance();

    // Reserves and returns the first name that is neither on disk in `directory` nor handed out earlier
    // by this registry for it: `normalizedName` itself, then "-2", "-3", ... before the extension (the
    // stem shortened so that the name stays within 64 characters). A name with nothing before its
    // extension ("" or ".jpg") first gets "image" in front. The name is created in `directory` as an
    // empty file; where nothing can be created (a read-only or missing folder) it is only handed out.
    std::string reserve(const std::string& directory, std::string_view normalizedName);

    // Gives a reserved name back when its copy was never made: the empty file goes, a file that
    // something has written to meanwhile stays.
    void release(const std::string& directory, const std::string& name);

    // Forgets every name handed out (tests; a second running program knows none of them either).
    void clear();

private:
    std::mutex m_mutex;
    std::set<std::string> m_handedOut; // directory + "/" + name
};

} // namespace marquelo

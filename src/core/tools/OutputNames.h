#pragma once
// Names of output copies (page images, favorites) that never replace another picture's copy.
// Cameras reuse names, so a second IMG_0001.JPG must not overwrite the first one's copy.

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
    // by this registry for it: `normalizedName` itself, then "-2", "-3", ... before the extension.
    // A name with nothing before its extension ("" or ".jpg") first gets "image" in front.
    std::string reserve(const std::string& directory, std::string_view normalizedName);

    // Forgets every name handed out (tests).
    void clear();

private:
    std::mutex m_mutex;
    std::set<std::string> m_handedOut; // directory + "/" + name
};

} // namespace marquelo

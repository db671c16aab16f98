#pragma once
// Writing a whole file so that readers see either the old file or the complete new one, never half of
// it: the content goes into one of the program's temporary files beside its final name (see
// TemporaryFiles.h) and is renamed over it at the end. Every writer of the user's files (copies, pages,
// converted pictures) and of the thumbnail cache goes through here.

#include <cstddef>
#include <string>

namespace marquelo::media {

struct AtomicWriteOptions {
    // Clear the leftovers of interrupted writers in the folder first. Folders the user sees want it; a
    // cache folder of thousands of entries is not read through on every write.
    bool clearLeftovers = true;
    // Flush to disk before the rename, so that a crash leaves the old file rather than an empty one.
    // Only what can be made again (thumbnails) skips it.
    bool sync = true;
    // The new file gets the permissions of the file it replaces (a page the user made read-only for
    // others stays so); otherwise those of a new file.
    bool keepPermissions = false;
    // Owner-only (0600) whatever the umask: cache entries tell which files the user looked at.
    bool ownerOnly = false;
    // Replace a file of that name. When false the rename refuses atomically if anything took the
    // name meanwhile ("file exists"), and the temporary file goes.
    bool replace = true;
};

// One file being written. Nothing exists under the final name until commit(); a writer destroyed
// without a successful commit() removes its temporary file.
class AtomicFile {
public:
    explicit AtomicFile(std::string destination, AtomicWriteOptions options = {});
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // False when the temporary file could not be created; error() says why.
    bool isOpen() const { return fd_ >= 0; }
    // The temporary file's descriptor, for libraries that write through one themselves.
    int fd() const { return fd_; }
    const std::string& temporaryPath() const { return temporary_; }

    // Appends all of `data`; false (and every later call fails) when the disk refuses it.
    bool write(const void* data, std::size_t size);

    // Finishes the file and gives it its final name. False with error() set when anything failed
    // before or here; the temporary file is then gone and the final name untouched.
    bool commit();

    // Why the last step failed, in the system's words ("No space left on device").
    const std::string& error() const { return error_; }

private:
    bool fail(int code);
    void abandon();

    std::string destination_;
    AtomicWriteOptions options_;
    std::string temporary_;
    int fd_ = -1;
    std::string error_;
};

// Writes `size` bytes as `path` through an AtomicFile. On failure nothing has changed and `error` says why.
bool writeFileAtomically(const std::string& path, const void* data, std::size_t size, std::string& error,
                         const AtomicWriteOptions& options = {});

} // namespace marquelo::media

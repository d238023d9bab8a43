#pragma once
// A file that replaces an earlier one only when it is complete: it is
// written through one handle to a temporary file beside its place and
// renamed over the earlier file by Commit, so a run that fails half way (a
// full disk, a listing that is not valid) leaves the earlier file as it was
// and no half-written one. A place that is not a regular file (a device, a
// pipe) is written directly, as is "-", standard output: neither can be
// replaced, and renaming over a device would destroy it.
#include <cerrno>
#include <cstddef>
#include <memory>
#include <string>

namespace tf::platform {

// Error code of a Commit refused because another program holds the earlier
// file open in a way that forbids replacing it.
inline constexpr int kErrorFileInUse = EBUSY;

class ReplacingFile {
public:
    explicit ReplacingFile(std::string path);
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    // Without Commit the temporary file is removed.
    ~ReplacingFile();

    // Opens the temporary file (or the place itself, when written
    // directly); 0 or the error code.
    int Open();
    // Writes all of `size` bytes; 0 or the error code.
    int Write(const char* data, std::size_t size);
    // Closes the file and puts it in place of the earlier one.
    int Commit();
    // Closes and removes the temporary file; the earlier file stays.
    void Discard();

    const std::string& Path() const { return path_; }
    // The temporary file while one is open, else empty.
    const std::string& TemporaryPath() const { return temporary_; }

private:
    struct Handle;
    std::string path_;
    std::string target_;     // the regular file the rename replaces (links followed)
    std::string temporary_;  // empty when written directly
    std::unique_ptr<Handle> handle_;
};

// A few words for an error code of the calls above, for messages.
std::string WriteErrorText(int error);

}  // namespace tf::platform

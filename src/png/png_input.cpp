#include "png/png_input.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <vector>

#include <sys/stat.h>

namespace tf::png {

std::size_t MemoryInput::Read(std::uint8_t* out, std::size_t count) {
    const std::size_t n = std::min(count, size_ - pos_);
    if (n != 0) std::memcpy(out, data_ + pos_, n);
    pos_ += n;
    return n;
}

std::size_t MemoryInput::Skip(std::size_t count) {
    const std::size_t n = std::min(count, size_ - pos_);
    pos_ += n;
    return n;
}

FileInput::FileInput(const std::string& filename) : file_(filename, std::ios::binary) {
    if (!file_) return;
    // Only a regular file has a size worth trusting; a folder or a device is
    // read until it runs dry or the budget is spent.
    struct stat info {};
    if (::stat(filename.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
    file_.seekg(0, std::ios::end);
    const std::streamoff end = file_.tellg();
    file_.seekg(0, std::ios::beg);
    if (end >= 0 && file_) {
        size_ = static_cast<std::uint64_t>(end);
    } else {
        file_.clear();
        file_.seekg(0, std::ios::beg);
    }
}

std::size_t FileInput::Read(std::uint8_t* out, std::size_t count) {
    if (!file_) return 0;
    file_.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(count));
    const auto n = static_cast<std::size_t>(file_.gcount());
    pos_ += n;
    return n;
}

std::size_t FileInput::Skip(std::size_t count) {
    std::vector<std::uint8_t> scratch(std::min<std::size_t>(count, 1 << 16));
    std::size_t skipped = 0;
    while (skipped < count) {
        const std::size_t n = Read(scratch.data(), std::min(scratch.size(), count - skipped));
        if (n == 0) break;
        skipped += n;
    }
    return skipped;
}

std::optional<std::uint64_t> FileInput::Remaining() {
    if (!size_) return std::nullopt;
    return *size_ > pos_ ? *size_ - pos_ : 0;
}

}  // namespace tf::png

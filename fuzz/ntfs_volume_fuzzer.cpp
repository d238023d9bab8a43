// The NTFS reader on any bytes: a volume's start (boot sector and file
// table), the rest of a 2 MiB volume reading as zeros. Whatever it accepts
// must list as a tree: every folder reached once, every name found again
// by its text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "listing/volume/ntfs_volume.h"
#include "listing/volume/volume_file_system.h"

namespace {

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

class ZeroExtendedVolume final : public tf::platform::VolumeFile {
public:
    ZeroExtendedVolume(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint64_t Size() const override { return kSize; }
    bool ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
        if (offset > kSize || size > kSize - offset) return false;
        auto* out = static_cast<std::uint8_t*>(buffer);
        std::memset(out, 0, size);
        if (offset < size_) std::memcpy(out, data_ + offset, std::min<std::uint64_t>(size, size_ - offset));
        return true;
    }

private:
    static constexpr std::uint64_t kSize = 2 << 20;
    const std::uint8_t* data_;
    std::size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tf::listing::volume;
    ZeroExtendedVolume file(data, size);
    auto tree = std::make_shared<NtfsTree>();
    NtfsError error;
    if (!tree->Read(file, error)) {
        Require(!error.what.empty());
        return 0;
    }
    VolumeFileSystem fs(tree, "v", NtfsTree::kRoot);
    std::vector<std::string> folders{"v"};
    std::size_t entered = 0;
    while (!folders.empty()) {
        const std::string folder = folders.back();
        folders.pop_back();
        Require(++entered <= tree->RecordCount());
        std::uint32_t record = 0;
        Require(FindFolder(*tree, folder.substr(1), record));
        fs.ReadFolder(folder, "*", true, [&](const tf::platform::FindData& entry, tf::platform::SearchDetail role) {
            Require(!entry.name.empty());
            std::uint32_t found = 0;
            Require(tree->Find(record, entry.name, found));
            if (role == tf::platform::SearchDetail::kFolders) folders.push_back(folder + "/" + entry.name);
            return true;
        });
    }
    return 0;
}

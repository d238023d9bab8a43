#include "platform/volume_file.h"

#include <cstring>

namespace tf::platform {

bool MemoryVolumeFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) {
    if (offset > bytes_.size() || size > bytes_.size() - offset) return false;
    if (size) std::memcpy(buffer, bytes_.data() + offset, size);
    return true;
}

}  // namespace tf::platform

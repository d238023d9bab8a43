#include "platform/content_hash.h"

#include <algorithm>
#include <new>
#include <vector>

// The library is used header-only, so the Windows programs carry it inside.
#define XXH_INLINE_ALL
#include <xxhash.h>

namespace tf::platform {
namespace {

// Small enough to stay in a core's cache between the copy and the hash.
constexpr std::size_t kBlock = 1 << 16;

std::string Hex(const unsigned char* bytes, std::size_t size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex(size * 2, '0');
    for (std::size_t i = 0; i < size; ++i) {
        hex[2 * i] = kDigits[bytes[i] >> 4];
        hex[2 * i + 1] = kDigits[bytes[i] & 15];
    }
    return hex;
}

class Xxh128Hasher final : public Hasher {
public:
    Xxh128Hasher() : state_(XXH3_createState()) {
        if (!state_) throw std::bad_alloc();
        XXH3_128bits_reset(state_);
    }
    ~Xxh128Hasher() override { XXH3_freeState(state_); }
    Xxh128Hasher(const Xxh128Hasher&) = delete;
    Xxh128Hasher& operator=(const Xxh128Hasher&) = delete;

    void Update(const void* data, std::size_t size) override { XXH3_128bits_update(state_, data, size); }
    std::string Finish() override {
        // The canonical (big-endian) form, as other tools print it.
        XXH128_canonical_t canonical;
        XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(state_));
        return Hex(canonical.digest, sizeof canonical.digest);
    }

private:
    XXH3_state_t* state_;
};

// Reads [offset, offset + size) into the hasher; kChanged when the file
// ends sooner.
ContentStatus HashRange(ContentFile& file, Hasher& hasher, std::uint64_t offset, std::uint64_t size,
                        std::vector<unsigned char>& buffer) {
    while (size > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size, buffer.size()));
        const std::int64_t got = file.ReadAt(offset, buffer.data(), want);
        if (got < 0) return ContentStatus::kFailed;
        if (got == 0) return ContentStatus::kChanged;  // shorter than when opened
        hasher.Update(buffer.data(), static_cast<std::size_t>(got));
        offset += static_cast<std::uint64_t>(got);
        size -= static_cast<std::uint64_t>(got);
    }
    return ContentStatus::kRead;
}

}  // namespace

std::string_view HashName(HashAlgorithm algorithm) {
    switch (algorithm) {
        case HashAlgorithm::kXxh128: return "xxh128";
        case HashAlgorithm::kSha256: return "sha256";
        case HashAlgorithm::kNone: break;
    }
    return {};
}

HashAlgorithm HashByName(std::string_view name) {
    if (name == "xxh128") return HashAlgorithm::kXxh128;
    if (name == "sha256") return HashAlgorithm::kSha256;
    return HashAlgorithm::kNone;
}

std::size_t HashHexLength(HashAlgorithm algorithm) {
    switch (algorithm) {
        case HashAlgorithm::kXxh128: return 32;
        case HashAlgorithm::kSha256: return 64;
        case HashAlgorithm::kNone: break;
    }
    return 0;
}

std::unique_ptr<Hasher> CreateHasher(HashAlgorithm algorithm) {
    switch (algorithm) {
        case HashAlgorithm::kXxh128: return std::make_unique<Xxh128Hasher>();
        case HashAlgorithm::kSha256: return CreateSha256Hasher();
        case HashAlgorithm::kNone: break;
    }
    return nullptr;
}

const char* ContentStatusText(ContentStatus status) {
    switch (status) {
        case ContentStatus::kRead: return "read";
        case ContentStatus::kNotRegular: return "not a regular file";
        case ContentStatus::kDenied: return "permission denied";
        case ContentStatus::kVanished: return "vanished";
        case ContentStatus::kChanged: return "changed while read";
        case ContentStatus::kFailed: return "read error";
        case ContentStatus::kStopped: return "stopped";
    }
    return "read error";
}

ContentStatus HashWhole(ContentFile& file, HashAlgorithm algorithm, const ReadProgress& progress,
                        std::string& digest) {
    std::unique_ptr<Hasher> hasher = CreateHasher(algorithm);
    if (!hasher) return ContentStatus::kFailed;
    const std::uint64_t size = file.Size();
    // A file read in one call needs no advice.
    if (size >= kBlock) file.ExpectSequential();
    std::vector<unsigned char> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(size, kBlock)) + 1);
    // The last read asks for a byte past the end: a file that grew while it
    // was read says so in the same call.
    std::uint64_t offset = 0;
    for (;;) {
        // Whole blocks keep the reads aligned to pages; only the last asks
        // past the end.
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size - offset + 1, kBlock));
        const std::int64_t got = file.ReadAt(offset, buffer.data(), want);
        if (got < 0) return ContentStatus::kFailed;
        if (static_cast<std::uint64_t>(got) > size - offset) return ContentStatus::kChanged;  // grew
        if (got == 0) {
            if (offset < size) return ContentStatus::kChanged;  // shorter than when opened
            break;
        }
        hasher->Update(buffer.data(), static_cast<std::size_t>(got));
        offset += static_cast<std::uint64_t>(got);
        if (progress && !progress(static_cast<std::uint64_t>(got))) return ContentStatus::kStopped;
        if (offset == size && static_cast<std::size_t>(got) < want) break;  // the end, read past
    }
    if (file.CurrentSize() != size) return ContentStatus::kChanged;
    digest = hasher->Finish();
    return ContentStatus::kRead;
}

ContentStatus HashEdges(ContentFile& file, HashAlgorithm algorithm, std::size_t edge, std::string& digest) {
    const std::uint64_t size = file.Size();
    if (size <= 2 * static_cast<std::uint64_t>(edge)) return HashWhole(file, algorithm, nullptr, digest);
    std::unique_ptr<Hasher> hasher = CreateHasher(algorithm);
    if (!hasher) return ContentStatus::kFailed;
    std::vector<unsigned char> buffer(edge);
    ContentStatus status = HashRange(file, *hasher, 0, edge, buffer);
    if (status == ContentStatus::kRead) status = HashRange(file, *hasher, size - edge, edge, buffer);
    if (status != ContentStatus::kRead) return status;
    if (file.CurrentSize() != size) return ContentStatus::kChanged;
    digest = hasher->Finish();
    return ContentStatus::kRead;
}

ContentStatus HashFile(const std::string& path, HashAlgorithm algorithm, std::uint64_t expectedSize,
                       const ReadProgress& progress, std::string& digest) {
    std::unique_ptr<ContentFile> file;
    const ContentStatus opened = OpenContentFile(path, file);
    if (opened != ContentStatus::kRead) return opened;
    if (file->Size() != expectedSize) return ContentStatus::kChanged;
    return HashWhole(*file, algorithm, progress, digest);
}

}  // namespace tf::platform

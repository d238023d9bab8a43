#include "platform/content_hash.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
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

// Room for bytes about to be read over it: not cleared first, as every
// file hashed would otherwise clear up to a block for nothing.
class ReadBuffer {
public:
    explicit ReadBuffer(std::size_t size) : data_(size ? new unsigned char[size] : nullptr), size_(size) {}
    unsigned char* data() { return data_.get(); }
    std::size_t size() const { return size_; }

private:
    std::unique_ptr<unsigned char[]> data_;
    std::size_t size_;
};

// Reads [offset, offset + size) into the hasher; kChanged when the file
// ends sooner.
ContentStatus HashRange(ContentFile& file, Hasher& hasher, std::uint64_t offset, std::uint64_t size,
                        ReadBuffer& buffer) {
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

namespace {

// Large files are read by a second thread while this one hashes: the copy
// from the system and the hash then run on two cores side by side rather
// than one after the other. Smaller files are not worth a thread.
constexpr std::size_t kOverlapBlock = 1u << 19;
constexpr std::uint64_t kOverlapSlots = 4;

// Where a reading of `size` bytes ends: an error, the end found sooner, more
// than there should be, or the last read (which asks one byte past the end)
// coming back short.
bool LastRead(std::uint64_t size, std::uint64_t offset, std::int64_t got, std::size_t want) {
    return got <= 0 || static_cast<std::uint64_t>(got) > size - offset ||
           (offset + static_cast<std::uint64_t>(got) == size && static_cast<std::size_t>(got) < want);
}

std::size_t WantAt(std::uint64_t size, std::uint64_t offset, std::size_t block) {
    // Whole blocks keep the reads aligned to pages; only the last asks past
    // the end, so that a file that grew while it was read says so there.
    return static_cast<std::size_t>(std::min<std::uint64_t>(size - offset + 1, block));
}

// The blocks of a file, read in order by a thread of its own into a ring of
// buffers, up to kOverlapSlots ahead of the caller.
class BlockReadAhead {
public:
    struct Block {
        const unsigned char* data;
        std::int64_t got;
        std::size_t want;
    };

    BlockReadAhead(ContentFile& file, std::uint64_t size)
        : file_(file), size_(size), buffers_(kOverlapSlots * kOverlapBlock), thread_([this] { Read(); }) {}
    ~BlockReadAhead() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }
    BlockReadAhead(const BlockReadAhead&) = delete;
    BlockReadAhead& operator=(const BlockReadAhead&) = delete;

    // The next block; the one before it is given back.
    Block Next() {
        std::unique_lock<std::mutex> lock(mutex_);
        if (holding_) {
            holding_ = false;
            ++consumed_;
            changed_.notify_all();
        }
        changed_.wait(lock, [this] { return produced_ > consumed_; });
        holding_ = true;
        const std::size_t slot = static_cast<std::size_t>(consumed_ % kOverlapSlots);
        return Block{buffers_.data() + slot * kOverlapBlock, got_[slot], want_[slot]};
    }

private:
    void Read() {
        std::uint64_t offset = 0;
        for (std::uint64_t block = 0;; ++block) {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return stop_ || block - consumed_ < kOverlapSlots; });
                if (stop_) return;
            }
            const std::size_t slot = static_cast<std::size_t>(block % kOverlapSlots);
            const std::size_t want = WantAt(size_, offset, kOverlapBlock);
            const std::int64_t got = file_.ReadAt(offset, buffers_.data() + slot * kOverlapBlock, want);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                got_[slot] = got;
                want_[slot] = want;
                ++produced_;
            }
            changed_.notify_all();
            if (LastRead(size_, offset, got, want)) return;
            offset += static_cast<std::uint64_t>(got);
        }
    }

    ContentFile& file_;
    const std::uint64_t size_;
    ReadBuffer buffers_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::int64_t got_[kOverlapSlots] = {};
    std::size_t want_[kOverlapSlots] = {};
    std::uint64_t produced_ = 0, consumed_ = 0;  // blocks
    bool holding_ = false;  // the caller is hashing block `consumed_`
    bool stop_ = false;
    std::thread thread_;  // last: it starts once the rest is ready
};

}  // namespace

ContentStatus HashWhole(ContentFile& file, HashAlgorithm algorithm, const ReadProgress& progress,
                        std::string& digest) {
    std::unique_ptr<Hasher> hasher = CreateHasher(algorithm);
    if (!hasher) return ContentStatus::kFailed;
    const std::uint64_t size = file.Size();
    // A file read in one call needs no advice.
    if (size >= kBlock) file.ExpectSequential();
    std::unique_ptr<BlockReadAhead> ahead;
    if (size >= kOverlappedFrom) {
        try {
            ahead = std::make_unique<BlockReadAhead>(file, size);
        } catch (const std::system_error&) {
            // No thread to spare: read in turn.
        }
    }
    ReadBuffer buffer(ahead ? 0 : static_cast<std::size_t>(std::min<std::uint64_t>(size, kBlock)) + 1);
    std::uint64_t offset = 0;
    for (;;) {
        const unsigned char* data = buffer.data();
        std::int64_t got;
        std::size_t want;
        if (ahead) {
            const BlockReadAhead::Block block = ahead->Next();
            data = block.data;
            got = block.got;
            want = block.want;
        } else {
            want = WantAt(size, offset, kBlock);
            got = file.ReadAt(offset, buffer.data(), want);
        }
        if (got < 0) return ContentStatus::kFailed;
        if (static_cast<std::uint64_t>(got) > size - offset) return ContentStatus::kChanged;  // grew
        if (got == 0) {
            if (offset < size) return ContentStatus::kChanged;  // shorter than when opened
            break;
        }
        hasher->Update(data, static_cast<std::size_t>(got));
        offset += static_cast<std::uint64_t>(got);
        if (progress && !progress(static_cast<std::uint64_t>(got))) return ContentStatus::kStopped;
        if (LastRead(size, offset - static_cast<std::uint64_t>(got), got, want)) break;  // the end, read past
    }
    ahead.reset();
    if (file.CurrentSize() != size) return ContentStatus::kChanged;
    digest = hasher->Finish();
    return ContentStatus::kRead;
}

ContentStatus HashEdges(ContentFile& file, HashAlgorithm algorithm, std::size_t edge, std::string& digest) {
    const std::uint64_t size = file.Size();
    if (size <= 2 * static_cast<std::uint64_t>(edge)) return HashWhole(file, algorithm, nullptr, digest);
    std::unique_ptr<Hasher> hasher = CreateHasher(algorithm);
    if (!hasher) return ContentStatus::kFailed;
    ReadBuffer buffer(edge);
    ContentStatus status = HashRange(file, *hasher, 0, edge, buffer);
    if (status == ContentStatus::kRead) status = HashRange(file, *hasher, size - edge, edge, buffer);
    if (status != ContentStatus::kRead) return status;
    if (file.CurrentSize() != size) return ContentStatus::kChanged;
    digest = hasher->Finish();
    return ContentStatus::kRead;
}

}  // namespace tf::platform

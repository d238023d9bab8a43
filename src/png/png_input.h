#pragma once
// Where the loader's bytes come from: a file read as it is needed, or a
// buffer already in memory. Reading on demand lets a hostile file be refused
// after its first bytes instead of after all of them.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>

namespace tf::png {

class PngInput {
public:
    virtual ~PngInput() = default;
    // Copies up to `count` bytes into `out`; returns how many there were.
    virtual std::size_t Read(std::uint8_t* out, std::size_t count) = 0;
    // Passes over up to `count` bytes; returns how many there were.
    virtual std::size_t Skip(std::size_t count) = 0;
    // Bytes left, when the source can tell (a device or pipe cannot).
    virtual std::optional<std::uint64_t> Remaining() = 0;
};

class MemoryInput final : public PngInput {
public:
    MemoryInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t Read(std::uint8_t* out, std::size_t count) override;
    std::size_t Skip(std::size_t count) override;
    std::optional<std::uint64_t> Remaining() override { return size_ - pos_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

class FileInput final : public PngInput {
public:
    explicit FileInput(const std::string& filename);
    bool IsOpen() const { return static_cast<bool>(file_); }
    std::size_t Read(std::uint8_t* out, std::size_t count) override;
    std::size_t Skip(std::size_t count) override;
    std::optional<std::uint64_t> Remaining() override;

private:
    std::ifstream file_;
    std::optional<std::uint64_t> size_;  // known for regular files only
    std::uint64_t pos_ = 0;
};

}  // namespace tf::png

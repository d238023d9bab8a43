#pragma once
// Little-endian reading and writing of byte buffers. The reader never reads
// past its end: a read beyond it yields zero and marks the reader failed, so
// a parser can read a whole record and check once.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tf::skin {

class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::size_t position() const { return pos_; }
    std::size_t remaining() const { return size_ - pos_; }
    bool failed() const { return failed_; }
    // Pointer to the next byte; valid for remaining() bytes.
    const std::uint8_t* here() const { return data_ + pos_; }

    std::uint8_t U8() { return static_cast<std::uint8_t>(Take(1)); }
    std::uint16_t U16() { return static_cast<std::uint16_t>(Take(2)); }
    std::uint32_t U32() { return static_cast<std::uint32_t>(Take(4)); }
    std::int32_t I32() { return static_cast<std::int32_t>(U32()); }

    // Copies `count` bytes, or zeros and fails when fewer are left.
    void Bytes(void* out, std::size_t count) {
        if (remaining() < count) {
            std::memset(out, 0, count);
            Fail();
            return;
        }
        std::memcpy(out, here(), count);
        pos_ += count;
    }
    bool Skip(std::size_t count) {
        if (remaining() < count) {
            Fail();
            return false;
        }
        pos_ += count;
        return true;
    }

private:
    std::uint32_t Take(std::size_t count) {
        if (remaining() < count) {
            Fail();
            return 0;
        }
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < count; ++i) value |= static_cast<std::uint32_t>(data_[pos_ + i]) << (8 * i);
        pos_ += count;
        return value;
    }
    void Fail() {
        failed_ = true;
        pos_ = size_;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    bool failed_ = false;
};

class ByteWriter {
public:
    explicit ByteWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    void U8(std::uint8_t value) { out_.push_back(value); }
    void U16(std::uint16_t value) { Put(value, 2); }
    void U32(std::uint32_t value) { Put(value, 4); }
    void I32(std::int32_t value) { U32(static_cast<std::uint32_t>(value)); }
    void Bytes(const void* data, std::size_t count) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        out_.insert(out_.end(), bytes, bytes + count);
    }

private:
    void Put(std::uint32_t value, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) out_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }

    std::vector<std::uint8_t>& out_;
};

}  // namespace tf::skin

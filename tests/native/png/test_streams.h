#pragma once
// Test-only builders: a deflate bit writer and a PNG file writer.
#include <cstdint>
#include <string>
#include <vector>

namespace tf::png::test {

// Writes deflate bit fields, least significant bit first.
class BitWriter {
public:
    void Put(std::uint32_t value, int bits) {
        for (int i = 0; i < bits; ++i) PutBit((value >> i) & 1);
    }
    // Huffman codes go most significant bit first.
    void PutCode(std::uint32_t code, int bits) {
        for (int i = bits - 1; i >= 0; --i) PutBit((code >> i) & 1);
    }
    void AlignToByte() {
        while (count_ != 0) PutBit(0);
    }
    void PutByte(std::uint8_t b) {
        AlignToByte();
        bytes_.push_back(b);
    }
    std::vector<std::uint8_t> Finish() {
        AlignToByte();
        return bytes_;
    }

private:
    void PutBit(std::uint32_t bit) {
        if (count_ == 0) bytes_.push_back(0);
        bytes_.back() |= static_cast<std::uint8_t>(bit << count_);
        count_ = (count_ + 1) % 8;
    }
    std::vector<std::uint8_t> bytes_;
    int count_ = 0;
};

// Fixed-code literal/length symbols and distance codes.
inline void PutFixedSymbol(BitWriter& w, int symbol) {
    if (symbol < 144) {
        w.PutCode(0x30 + symbol, 8);
    } else if (symbol < 256) {
        w.PutCode(0x190 + symbol - 144, 9);
    } else if (symbol < 280) {
        w.PutCode(symbol - 256, 7);
    } else {
        w.PutCode(0xC0 + symbol - 280, 8);
    }
}
inline void PutFixedDistance(BitWriter& w, int code) { w.PutCode(static_cast<std::uint32_t>(code), 5); }

// A deflate stream of stored blocks holding `data` (at most 65535 bytes per block).
inline std::vector<std::uint8_t> StoredDeflate(const std::vector<std::uint8_t>& data) {
    BitWriter w;
    std::size_t at = 0;
    do {
        const std::size_t n = std::min<std::size_t>(65535, data.size() - at);
        w.Put(at + n == data.size() ? 1 : 0, 1);  // BFINAL
        w.Put(0, 2);                               // BTYPE stored
        w.AlignToByte();
        w.PutByte(static_cast<std::uint8_t>(n));
        w.PutByte(static_cast<std::uint8_t>(n >> 8));
        w.PutByte(static_cast<std::uint8_t>(~n));
        w.PutByte(static_cast<std::uint8_t>(~n >> 8));
        for (std::size_t i = 0; i < n; ++i) w.PutByte(data[at + i]);
        at += n;
    } while (at < data.size());
    return w.Finish();
}

// zlib header + stored deflate + a 4-byte trailer (never checked by the loader).
inline std::vector<std::uint8_t> ZlibStored(const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> out = {0x78, 0x01};
    const std::vector<std::uint8_t> deflate = StoredDeflate(data);
    out.insert(out.end(), deflate.begin(), deflate.end());
    out.insert(out.end(), {0, 0, 0, 0});
    return out;
}

// zlib header + one fixed-code block of `n` zero bytes (a literal, then
// 258-byte copies at distance 1) + a trailer: a large image in a small file.
inline std::vector<std::uint8_t> ZlibZeros(std::size_t n) {
    BitWriter w;
    w.Put(1, 1);  // BFINAL
    w.Put(1, 2);  // BTYPE fixed
    std::size_t left = n;
    if (left > 0) {
        PutFixedSymbol(w, 0);
        --left;
    }
    for (; left >= 258; left -= 258) {
        PutFixedSymbol(w, 285);
        PutFixedDistance(w, 0);
    }
    for (; left > 0; --left) PutFixedSymbol(w, 0);
    PutFixedSymbol(w, 256);
    std::vector<std::uint8_t> out = {0x78, 0x01};
    const std::vector<std::uint8_t> deflate = w.Finish();
    out.insert(out.end(), deflate.begin(), deflate.end());
    out.insert(out.end(), {0, 0, 0, 0});
    return out;
}

inline std::uint32_t Crc32(const std::uint8_t* p, std::size_t n, std::uint32_t crc = 0) {
    crc = ~crc;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

class PngWriter {
public:
    PngWriter() { bytes_ = {137, 80, 78, 71, 13, 10, 26, 10}; }
    PngWriter& Chunk(const std::string& type, const std::vector<std::uint8_t>& data, bool goodCrc = true) {
        PutBe32(static_cast<std::uint32_t>(data.size()));
        const std::size_t typeAt = bytes_.size();
        bytes_.insert(bytes_.end(), type.begin(), type.end());
        bytes_.insert(bytes_.end(), data.begin(), data.end());
        std::uint32_t crc = Crc32(bytes_.data() + typeAt, 4 + data.size());
        PutBe32(goodCrc ? crc : crc ^ 1);
        return *this;
    }
    PngWriter& Header(std::uint32_t width, std::uint32_t height, int depth, int colourType,
                      int interlace = 0, int compression = 0) {
        std::vector<std::uint8_t> d;
        for (std::uint32_t v : {width, height}) {
            for (int s = 24; s >= 0; s -= 8) d.push_back(static_cast<std::uint8_t>(v >> s));
        }
        d.insert(d.end(), {static_cast<std::uint8_t>(depth), static_cast<std::uint8_t>(colourType),
                           static_cast<std::uint8_t>(compression), 0, static_cast<std::uint8_t>(interlace)});
        return Chunk("IHDR", d);
    }
    // Filtered scanlines (each starting with its filter byte), stored-compressed.
    PngWriter& ImageData(const std::vector<std::uint8_t>& scanlines) {
        return Chunk("IDAT", ZlibStored(scanlines));
    }
    PngWriter& End() { return Chunk("IEND", {}); }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    void PutBe32(std::uint32_t v) {
        for (int s = 24; s >= 0; s -= 8) bytes_.push_back(static_cast<std::uint8_t>(v >> s));
    }
    std::vector<std::uint8_t> bytes_;
};

}  // namespace tf::png::test

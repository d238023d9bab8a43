#include "png/inflate.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "png/limits.h"

namespace tf::png {

const char* const kTreeCreationMessage = "Error in tree creation (Static)";

namespace {

// Table entry layout:
//   bits 0-4   bits to consume for this entry (bit 5 stays 0)
//   bits 8-12  extra bits of a length or distance, or the bits of a sub-table
//   bits 13-15 kind
//   bits 16-31 literal, length base, distance base, symbol or sub-table offset;
//              in the literal/length table bit 31 flags a literal and bit 30
//              a length, so the hot loop can test them directly
enum EntryKind : std::uint32_t {
    kLiteral = 0,   // also plain symbols of the code-length code and distances
    kLength = 1,
    kEndBlock = 2,
    kSubTable = 3,
    kBadSymbol = 4,
};

// Set on literal entries of the literal/length code, so that the hot path
// tests one sign bit; the literal itself is bits 16-23.
constexpr std::uint32_t kLiteralFlag = 0x80000000u;
// Set on length entries, for the same reason; their base is bits 16-29.
constexpr std::uint32_t kLengthFlag = 0x40000000u;

constexpr std::uint32_t MakeEntry(EntryKind kind, std::uint32_t value, std::uint32_t extra) {
    return (value << 16) | (static_cast<std::uint32_t>(kind) << 13) | (extra << 8);
}
inline std::uint32_t EntryBits(std::uint32_t e) { return e & 63; }  // bit 5 is always 0
inline std::uint32_t EntryExtra(std::uint32_t e) { return (e >> 8) & 31; }
inline std::uint32_t EntryKindOf(std::uint32_t e) { return (e >> 13) & 7; }
inline std::uint32_t EntryValue(std::uint32_t e) { return e >> 16; }
inline std::uint32_t LengthBase(std::uint32_t e) { return (e >> 16) & 0x3FFF; }

constexpr int kLitLenPrimaryBits = 11;
constexpr int kDistPrimaryBits = 8;
constexpr int kCodeLengthPrimaryBits = 7;

constexpr std::array<std::uint16_t, kNumLengthCodes> kLengthBase = {
    3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27, 31,
    35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, kNumLengthCodes> kLengthExtra = {
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// Codes 30 and 31 are the 64 KiB-window extension; the table always has them.
constexpr std::array<std::uint16_t, kNumDistSymbols> kDistBase = {
    1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193,
    257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577,
    32769, 49153};
constexpr std::array<std::uint8_t, kNumDistSymbols> kDistExtra = {
    0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6,
    7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
constexpr std::array<std::uint8_t, kNumCodeLengthSymbols> kCodeLengthOrder = {
    16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

struct SymbolEntries {
    std::array<std::uint32_t, kNumLitLenSymbols> litLen{};
    std::array<std::uint32_t, kNumDistSymbols> dist{};
    std::array<std::uint32_t, kNumCodeLengthSymbols> codeLength{};
};

const SymbolEntries& Entries() {
    static const SymbolEntries entries = [] {
        SymbolEntries e;
        for (int s = 0; s < kNumLitLenSymbols; ++s) {
            if (s < kEndOfBlock) {
                e.litLen[s] = MakeEntry(kLiteral, static_cast<std::uint32_t>(s), 0) | kLiteralFlag;
            } else if (s == kEndOfBlock) {
                e.litLen[s] = MakeEntry(kEndBlock, 0, 0);
            } else if (s - kFirstLengthSymbol < kNumLengthCodes) {
                const int i = s - kFirstLengthSymbol;
                e.litLen[s] = MakeEntry(kLength, kLengthBase[i], kLengthExtra[i]) | kLengthFlag;
            } else {
                e.litLen[s] = MakeEntry(kBadSymbol, 0, 0);
            }
        }
        for (int s = 0; s < kNumDistSymbols; ++s) {
            e.dist[s] = MakeEntry(kLiteral, kDistBase[s], kDistExtra[s]);
        }
        for (int s = 0; s < kNumCodeLengthSymbols; ++s) {
            e.codeLength[s] = MakeEntry(kLiteral, static_cast<std::uint32_t>(s), 0);
        }
        return e;
    }();
    return entries;
}

inline std::uint64_t LoadLe64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    return v;
}

inline std::uint32_t LowBits(std::uint64_t v, std::uint32_t n) {
    return static_cast<std::uint32_t>(v & ((std::uint64_t{1} << n) - 1));
}

// The low `len` bits of `code` in reverse order (len <= 16).
inline std::uint32_t Reverse(std::uint32_t code, int len) {
    static const std::array<std::uint8_t, 256> kByteReversed = [] {
        std::array<std::uint8_t, 256> t{};
        for (int b = 0; b < 256; ++b) {
            int r = 0;
            for (int i = 0; i < 8; ++i) r |= ((b >> i) & 1) << (7 - i);
            t[b] = static_cast<std::uint8_t>(r);
        }
        return t;
    }();
    const std::uint32_t r16 = (std::uint32_t{kByteReversed[code & 0xFF]} << 8) | kByteReversed[(code >> 8) & 0xFF];
    return r16 >> (16 - len);
}

}  // namespace

// Decoder position. Bits are counted from the start of the input; positions
// past its end read as zeros, as the lookahead of a Huffman lookup allows.
struct Inflater::Stream {
    const std::uint8_t* in;
    std::uint64_t inBits;       // 8 * input size
    std::uint64_t pos = 0;      // bits consumed
    // Input bytes a byte-at-a-time reader with the same lookahead would have
    // loaded; the stored-block check is made against it.
    std::uint64_t loadedBytes = 0;
    std::uint8_t* out;
    std::size_t outPos = 0;
    std::size_t outSize;        // sizeHint + 1
    PngError fault = PngError::kNone;
    int result = 0;
    bool finished = false;      // decode ended early (hint cut or -1)
    bool deflate64;

    std::uint32_t Peek(int n) const {
        const std::uint64_t byte = pos >> 3;
        const std::uint64_t size = inBits >> 3;
        std::uint64_t v = 0;
        if (byte + 8 <= size) {
            v = LoadLe64(in + byte);
        } else {
            for (std::uint64_t i = 0; i < 5 && byte + i < size; ++i) v |= std::uint64_t{in[byte + i]} << (8 * i);
        }
        return LowBits(v >> (pos & 7), static_cast<std::uint32_t>(n));
    }
    void NoteLookahead(int n) {
        const std::uint64_t want = (pos + static_cast<std::uint64_t>(n) + 7) >> 3;
        loadedBytes = std::max(loadedBytes, std::min(want, inBits >> 3));
    }
    // Reads a plain field; fails past the end of the input.
    bool GetBits(int n, std::uint32_t& value) {
        if (pos + static_cast<std::uint64_t>(n) > inBits) {
            fault = PngError::kInputExhausted;
            return false;
        }
        loadedBytes = std::max(loadedBytes, (pos + n + 7) >> 3);
        value = Peek(n);
        pos += static_cast<std::uint64_t>(n);
        return true;
    }
    // One Huffman symbol; `lookahead` is the code's longest length.
    std::uint32_t Decode(const DecodeTable& t, int lookahead) {
        NoteLookahead(lookahead);
        const std::uint32_t bits = Peek(kMaxCodeLength);
        std::uint32_t e = t.entries[bits & ((1u << t.primaryBits) - 1)];
        if (EntryKindOf(e) == kSubTable) {
            pos += EntryBits(e);
            e = t.entries[EntryValue(e) + LowBits(bits >> t.primaryBits, EntryExtra(e))];
        }
        pos += EntryBits(e);
        return e;
    }
};


// Builds `table` from code lengths, with the canonical code assignment. The
// return value is the count of unused code space: 0 for a complete code, > 0
// for an incomplete one, < 0 for an over-subscribed one. Only complete codes
// are built, so every bit pattern decodes to a symbol.
int Inflater::BuildCodeTable(const std::uint8_t* lengths, int count,
                             const std::uint32_t* symbolEntries, int primaryBits, int& maxLen,
                             int& minLen, DecodeTable& table) {
    std::array<int, kMaxCodeLength + 2> lenCount{};
    minLen = 16;
    for (int s = 0; s < count; ++s) {
        const int len = lengths[s];
        ++lenCount[len];
        if (len > maxLen) maxLen = len;
        if (len != 0 && len < minLen) minLen = len;
    }
    int left = 1;
    for (int len = 1; len <= maxLen; ++len) {
        left = 2 * left - lenCount[len];
        if (left < 0) return left;
    }
    if (left != 0) return left;

    // Symbols sorted by (length, symbol) and their canonical codes.
    std::array<int, kMaxCodeLength + 2> offset{};
    for (int len = 1; len <= kMaxCodeLength; ++len) offset[len + 1] = offset[len] + lenCount[len];
    std::array<std::uint16_t, kNumLitLenSymbols> sorted{};
    for (int s = 0; s < count; ++s) {
        if (lengths[s] != 0) sorted[offset[lengths[s]]++] = static_cast<std::uint16_t>(s);
    }
    const int used = offset[kMaxCodeLength];  // offsets now point past each length
    std::array<std::uint32_t, kNumLitLenSymbols> codes{};
    std::array<std::uint8_t, kNumLitLenSymbols> lens{};
    {
        std::uint32_t code = 0;
        int prevLen = 0;
        for (int i = 0; i < used; ++i) {
            const int len = lengths[sorted[i]];
            code <<= (len - prevLen);
            codes[i] = code++;
            lens[i] = static_cast<std::uint8_t>(len);
            prevLen = len;
        }
    }

    const std::uint32_t primarySize = 1u << primaryBits;
    table.primaryBits = primaryBits;
    table.entries.assign(primarySize, 0);
    int i = 0;
    for (; i < used && lens[i] <= primaryBits; ++i) {
        const std::uint32_t e = symbolEntries[sorted[i]] | lens[i];
        for (std::uint32_t j = Reverse(codes[i], lens[i]); j < primarySize; j += 1u << lens[i]) {
            table.entries[j] = e;
        }
    }
    // Longer codes sharing their first primaryBits bits are adjacent in
    // canonical order; each such group gets a sub-table as wide as its
    // longest code needs.
    while (i < used) {
        const std::uint32_t prefix = Reverse(codes[i] >> (lens[i] - primaryBits), primaryBits);
        int end = i;
        while (end < used &&
               Reverse(codes[end] >> (lens[end] - primaryBits), primaryBits) == prefix) {
            ++end;
        }
        const std::uint32_t subBits = static_cast<std::uint32_t>(lens[end - 1] - primaryBits);
        const std::uint32_t subOffset = static_cast<std::uint32_t>(table.entries.size());
        table.entries.resize(subOffset + (1u << subBits), 0);
        table.entries[prefix] =
            MakeEntry(kSubTable, subOffset, subBits) | static_cast<std::uint32_t>(primaryBits);
        for (; i < end; ++i) {
            const std::uint32_t rest = static_cast<std::uint32_t>(lens[i] - primaryBits);
            const std::uint32_t e = symbolEntries[sorted[i]] | rest;
            for (std::uint32_t j = Reverse(codes[i], lens[i]) >> primaryBits; j < (1u << subBits);
                 j += 1u << rest) {
                table.entries[subOffset + j] = e;
            }
        }
    }
    return 0;
}

bool Inflater::SetUpFixedCodes(Stream&) {
    if (!fixedTablesBuilt_) {
        std::array<std::uint8_t, kNumLitLenSymbols> lit{};
        std::fill(lit.begin(), lit.begin() + 144, 8);
        std::fill(lit.begin() + 144, lit.begin() + 256, 9);
        std::fill(lit.begin() + 256, lit.begin() + 280, 7);
        std::fill(lit.begin() + 280, lit.end(), 8);
        std::array<std::uint8_t, kNumDistSymbols> dist{};
        dist.fill(5);
        if (BuildCodeTable(lit.data(), kNumLitLenSymbols, Entries().litLen.data(),
                           kLitLenPrimaryBits, maxLitLen_, minLitLen_, fixedLitLen_) != 0) {
            return false;
        }
        if (BuildCodeTable(dist.data(), kNumDistSymbols, Entries().dist.data(), kDistPrimaryBits,
                           maxDistLen_, minDistLen_, fixedDist_) != 0) {
            return false;
        }
        fixedTablesBuilt_ = true;
    } else {
        minLitLen_ = 7;
        maxLitLen_ = 9;
        minDistLen_ = 5;
        maxDistLen_ = 5;
    }
    curLitLen_ = &fixedLitLen_;
    curDist_ = &fixedDist_;
    return true;
}

// Returns 0 on success, a failure status otherwise; a fault leaves
// s.fault set (the status is then irrelevant).
int Inflater::ReadDynamicHeader(Stream& s) {
    std::uint32_t hlit, hdist, hclen;
    if (!s.GetBits(5, hlit) || !s.GetBits(5, hdist) || !s.GetBits(4, hclen)) return -1;
    hlit += 257;
    hdist += 1;
    hclen += 4;

    std::array<std::uint8_t, kNumCodeLengthSymbols> clLengths{};
    for (std::uint32_t i = 0; i < hclen; ++i) {
        std::uint32_t v;
        if (!s.GetBits(3, v)) return -1;
        clLengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(v);
    }
    int clMax = 0, clMin = 0;
    if (BuildCodeTable(clLengths.data(), kNumCodeLengthSymbols, Entries().codeLength.data(),
                       kCodeLengthPrimaryBits, clMax, clMin, codeLengths_) != 0) {
        return -1;
    }

    const std::uint32_t total = hlit + hdist;
    std::array<std::uint8_t, kNumLitLenSymbols + kNumDistSymbols + 1> lengths{};
    std::uint32_t pos = 0;
    while (pos < total) {
        const std::uint32_t sym = EntryValue(s.Decode(codeLengths_, clMax));
        if (sym < 16) {
            lengths[pos++] = static_cast<std::uint8_t>(sym);
            continue;
        }
        std::uint8_t value = 0;
        std::uint32_t repeat;
        if (sym == 16) {
            if (pos == 0) return -5;
            if (!s.GetBits(2, repeat)) return -1;
            repeat += 3;
            value = lengths[pos - 1];
        } else if (sym == 17) {
            if (!s.GetBits(3, repeat)) return -1;
            repeat += 3;
        } else {
            if (!s.GetBits(7, repeat)) return -1;
            repeat += 11;
        }
        if (pos + repeat > total) return -6;
        std::fill(lengths.begin() + pos, lengths.begin() + pos + repeat, value);
        pos += repeat;
    }

    if (BuildCodeTable(lengths.data(), static_cast<int>(hlit), Entries().litLen.data(),
                       kLitLenPrimaryBits, maxLitLen_, minLitLen_, litLen_) != 0) {
        return -1;
    }
    const int status = BuildCodeTable(lengths.data() + hlit, static_cast<int>(hdist),
                                      Entries().dist.data(), kDistPrimaryBits, maxDistLen_,
                                      minDistLen_, dist_);
    curLitLen_ = &litLen_;
    curDist_ = &dist_;
    return status;
}

// Runs while at least 16 input bytes and 16 output bytes remain, so that a
// refill never reads past the input and literals always fit. A match that
// would come within 16 bytes of the end of the output (word copies overshoot)
// is copied byte by byte, with the hint cut if it does not fit. The rules
// for the end of the input cannot apply here. Its lookahead never comes near the end of the input, so it
// does not need to track `loadedBytes` either.
//
// After a refill all 64 bits of the bit buffer are input bits; an iteration
// consumes at most 49 (44 for four literals), so the next entry can be looked up before the refill
// that makes its bits official.
bool Inflater::FastLoop(Stream& s, bool& endOfBlock) {
    constexpr std::ptrdiff_t kInMargin = 16;
    // Room for four literals; matches check their own length against the
    // room left, with slack for the word copies.
    constexpr std::ptrdiff_t kOutMargin = 16;
    constexpr std::size_t kCopySlack = 16;
    const std::uint8_t* const inBegin = s.in;
    const std::uint8_t* const inEnd = s.in + (s.inBits >> 3);
    const std::uint8_t* in = inBegin + (s.pos >> 3);
    std::uint8_t* const outBegin = s.out;
    std::uint8_t* const outEnd = s.out + s.outSize;
    std::uint8_t* out = s.out + s.outPos;
    if (inEnd - in < kInMargin || outEnd - out < kOutMargin) return true;

    // Both tables always have these primary widths; as constants they leave
    // registers free for the loop.
    constexpr std::uint32_t litPrimary = kLitLenPrimaryBits;
    constexpr std::uint32_t litMask = (1u << litPrimary) - 1;
    constexpr std::uint32_t distPrimary = kDistPrimaryBits;
    constexpr std::uint32_t distMask = (1u << distPrimary) - 1;
    const std::uint32_t* const lit = curLitLen_->entries.data();
    const std::uint32_t* const dist = curDist_->entries.data();

    std::uint64_t bitbuf = 0;
    std::uint32_t bitsleft = 0;
    auto refill = [&] {
        bitbuf |= LoadLe64(in) << bitsleft;
        in += (63 - bitsleft) >> 3;
        bitsleft |= 56;
    };
    auto consume = [&](std::uint32_t n) {
        bitbuf >>= n;
        bitsleft -= n;
    };
    auto isLiteral = [](std::uint32_t e) { return static_cast<std::int32_t>(e) < 0; };
    refill();
    consume(static_cast<std::uint32_t>(s.pos & 7));

    bool ok = true;
    const std::uint8_t* const inLimit = inEnd - kInMargin;
    std::uint8_t* const outLimit = outEnd - kOutMargin;
    std::uint32_t e = lit[bitbuf & litMask];
    while (in <= inLimit && out <= outLimit) {
        refill();
        if (isLiteral(e)) {
            // Up to four literals per refill (11 bits each at most, plus the
            // 11 looked up ahead).
            consume(EntryBits(e));
            out[0] = static_cast<std::uint8_t>(e >> 16);
            e = lit[bitbuf & litMask];
            if (!isLiteral(e)) {
                out += 1;
                continue;
            }
            consume(EntryBits(e));
            out[1] = static_cast<std::uint8_t>(e >> 16);
            e = lit[bitbuf & litMask];
            if (!isLiteral(e)) {
                out += 2;
                continue;
            }
            consume(EntryBits(e));
            out[2] = static_cast<std::uint8_t>(e >> 16);
            e = lit[bitbuf & litMask];
            if (!isLiteral(e)) {
                out += 3;
                continue;
            }
            consume(EntryBits(e));
            out[3] = static_cast<std::uint8_t>(e >> 16);
            out += 4;
            e = lit[bitbuf & litMask];
            continue;
        }
        if ((e & kLengthFlag) == 0) {
            // Rare cases: a code longer than the primary table, the end of
            // the block, or symbols 286 and 287.
            if (EntryKindOf(e) == kSubTable) {
                consume(litPrimary);
                e = lit[EntryValue(e) + LowBits(bitbuf, EntryExtra(e))];
                if (isLiteral(e)) {
                    consume(EntryBits(e));
                    *out++ = static_cast<std::uint8_t>(e >> 16);
                    e = lit[bitbuf & litMask];
                    continue;
                }
            }
            if ((e & kLengthFlag) == 0) {
                consume(EntryBits(e));
                if (EntryKindOf(e) == kEndBlock) {
                    endOfBlock = true;
                } else {
                    s.fault = PngError::kInvalidSymbol;
                    ok = false;
                }
                break;
            }
        }
        // Code and extra bits are taken in one step.
        const std::uint32_t length = LengthBase(e) + LowBits(bitbuf >> EntryBits(e), EntryExtra(e));
        consume(EntryBits(e) + EntryExtra(e));
        std::uint32_t d = dist[bitbuf & distMask];
        if (EntryKindOf(d) == kSubTable) {
            consume(distPrimary);
            d = dist[EntryValue(d) + LowBits(bitbuf, EntryExtra(d))];
        }
        const std::uint32_t distance = EntryValue(d) + LowBits(bitbuf >> EntryBits(d), EntryExtra(d));
        consume(EntryBits(d) + EntryExtra(d));
        e = lit[bitbuf & litMask];
        if (distance > static_cast<std::uint64_t>(out - outBegin)) {
            s.fault = PngError::kDistanceTooFar;
            ok = false;
            break;
        }
        const std::uint8_t* src = out - distance;
        std::uint8_t* const end = out + length;
        const std::size_t room = static_cast<std::size_t>(outEnd - out);
        if (room < length + kCopySlack) {
            // Near the end of the buffer: exact byte copy, and the hint cut
            // when the match does not fit.
            const std::size_t n = std::min<std::size_t>(length, room);
            for (std::size_t k = 0; k < n; ++k) out[k] = src[k];
            if (length > room) {
                out = outEnd - 1;
                s.finished = true;
                ok = false;
                break;
            }
            out = end;
            continue;
        }
        if (distance >= 8) {
            // Most matches are short: two words cover them without a loop.
            std::memcpy(out, src, 8);
            std::memcpy(out + 8, src + 8, 8);
            if (length > 16) {
                std::uint8_t* o = out + 16;
                src += 16;
                do {
                    std::memcpy(o, src, 8);
                    o += 8;
                    src += 8;
                } while (o < end);
            }
        } else if (distance == 1) {
            std::memset(out, *src, length);
        } else {
            // Lay down 8 bytes of the repeating pattern, then copy words from
            // a whole number of periods back (at least 8, so they never overlap).
            for (int k = 0; k < 8; ++k) out[k] = src[k];
            const std::uint32_t step = distance * ((8 + distance - 1) / distance);
            for (std::uint8_t* o = out + 8; o < end; o += 8) std::memcpy(o, o - step, 8);
        }
        out = end;
    }
    s.pos = 8 * static_cast<std::uint64_t>(in - inBegin) - bitsleft;
    s.outPos = static_cast<std::size_t>(out - outBegin);
    return ok;
}

// Decodes symbols up to the end of the block. Returns false on a fault or
// when the decode ended early (s.finished).
bool Inflater::DecodeHuffmanBlock(Stream& s) {
    for (;;) {
        if (!s.deflate64) {
            bool endOfBlock = false;
            if (!FastLoop(s, endOfBlock)) return false;
            if (endOfBlock) return true;
        }
        const bool pastInput = s.pos >= s.inBits;
        const std::uint32_t e = s.Decode(*curLitLen_, maxLitLen_);
        const std::uint32_t kind = EntryKindOf(e);
        if (kind == kLiteral) {
            // Past the input every lookup sees zero bits, so a literal here
            // repeats until the buffer overflows: skip straight to that end.
            if (s.outPos >= s.outSize || pastInput) {
                s.fault = PngError::kOutputOverflow;
                return false;
            }
            s.out[s.outPos++] = static_cast<std::uint8_t>(EntryValue(e));
            continue;
        }
        if (kind == kEndBlock) return true;
        if (kind != kLength) {
            s.fault = PngError::kInvalidSymbol;
            return false;
        }
        std::uint32_t extra;
        if (!s.GetBits(static_cast<int>(EntryExtra(e)), extra)) return false;
        std::uint32_t length = LengthBase(e) + extra;
        if (s.deflate64 && length == kDeflate64LongLength) {
            if (!s.GetBits(kDeflate64LengthBits, length)) return false;
            length += kDeflate64LengthBase;
        }
        const std::uint32_t d = s.Decode(*curDist_, maxDistLen_);
        if (!s.GetBits(static_cast<int>(EntryExtra(d)), extra)) return false;
        const std::size_t distance = EntryValue(d) + extra;

        // The hint cut is checked before each byte; only the first byte can
        // meet a distance reaching before the output.
        if (s.outPos >= s.outSize) {
            s.outPos = s.outSize - 1;
            s.finished = true;
            return false;
        }
        if (distance > s.outPos) {
            s.fault = PngError::kDistanceTooFar;
            return false;
        }
        const std::size_t room = s.outSize - s.outPos;
        const std::size_t n = std::min<std::size_t>(length, room);
        for (std::size_t k = 0; k < n; ++k) {
            s.out[s.outPos] = s.out[s.outPos - distance];
            ++s.outPos;
        }
        if (length > room) {
            s.outPos = s.outSize - 1;
            s.finished = true;
            return false;
        }
    }
}

InflateOutcome Inflater::Inflate(Bytes& data, std::int32_t& sizeHint, bool deflate64) {
    sizeHint = static_cast<std::int32_t>(std::min<std::int64_t>(
        std::int64_t{sizeHint} + kInflateHintSlack, std::numeric_limits<std::int32_t>::max()));
    Bytes out;
    const InflateOutcome outcome = Inflate(data.data(), data.size(), sizeHint, deflate64, out);
    if (outcome.ok()) data.swap(out);
    return outcome;
}

InflateOutcome Inflater::Inflate(const std::uint8_t* in, std::size_t inSize,
                                 std::int64_t sizeHint, bool deflate64, Bytes& out) {
    InflateOutcome outcome;
    if (sizeHint < 0) sizeHint = -1;  // nothing fits; any output is a fault or a cut
    // Decoded straight into `out`, reusing its memory; cleared on failure.
    Bytes& buffer = out;
    buffer.resize(static_cast<std::size_t>(sizeHint + 1));

    static const std::uint8_t kNoInput = 0;
    Stream s{};
    s.in = inSize ? in : &kNoInput;
    s.inBits = 8 * static_cast<std::uint64_t>(inSize);
    s.out = buffer.data();
    s.outSize = buffer.size();
    s.deflate64 = deflate64;

    for (;;) {
        std::uint32_t final, type;
        if (!s.GetBits(1, final) || !s.GetBits(2, type)) break;
        if (type == 0) {
            const std::uint64_t inSize64 = s.inBits >> 3;
            // A byte-at-a-time reader checks for the 4-byte header before
            // giving back the whole bytes it had loaded ahead.
            if (inSize64 == 0 || inSize64 - 1 < s.loadedBytes + 4) {
                s.result = -1;
                break;
            }
            std::uint64_t byte = (s.pos + 7) >> 3;
            const std::uint32_t len = s.in[byte] | (s.in[byte + 1] << 8);
            const std::uint32_t nlen = s.in[byte + 2] | (s.in[byte + 3] << 8);
            byte += 4;
            if (len != (~nlen & 0xFFFF)) s.result = -2;
            if (inSize64 - byte < len || s.outSize - s.outPos < len) {
                s.result = -1;
                break;
            }
            std::memcpy(s.out + s.outPos, s.in + byte, len);
            s.outPos += len;
            byte += len;
            s.pos = 8 * byte;
            s.loadedBytes = byte;
        } else if (type == 3) {
            s.result = -1;
            break;
        } else {
            bool built;
            if (type == 1) {
                built = SetUpFixedCodes(s);
            } else {
                built = ReadDynamicHeader(s) == 0;
            }
            if (s.fault != PngError::kNone) break;
            if (!built) {
                outcome.result = s.result;
                outcome.error = PngError::kTreeCreation;
                buffer.clear();
                return outcome;
            }
            if (!DecodeHuffmanBlock(s)) break;
        }
        if (final) break;
    }
    outcome.result = s.result;
    if (s.fault != PngError::kNone) {
        outcome.error = s.fault;
        buffer.clear();
        return outcome;
    }
    buffer.resize(s.outPos);
    return outcome;
}

}  // namespace tf::png

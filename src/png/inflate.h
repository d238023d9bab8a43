#pragma once
// The loader's own DEFLATE decoder (RFC 1951, no zlib wrapper).
//
// Observable behaviour, which the loader and its files depend on:
//  * Result 0 when the final block was decoded, -1 for block type 3 or a
//    stored block that runs past the input or does not fit the output, -2 when
//    a stored block's LEN and NLEN disagree (its LEN bytes are still copied).
//    -1 and -2 keep the bytes decoded so far.
//  * The output can never exceed sizeHint + 100 (+1) bytes: a back-reference
//    that would pass that point quietly ends the decode, cut to sizeHint + 100.
//  * A code table that cannot be built (over-subscribed or incomplete code, a
//    repeat with nothing to repeat, a repeat past the end of the lengths) is
//    reported as kTreeCreation (the caller shows kTreeCreationMessage) and
//    leaves the data as it came in.
//  * Running out of input inside a field, a distance before the start of the
//    output, a literal past the output buffer and length symbols 286/287 are
//    faults: the decode ends with an error and the data is left as it came in.
//  * Huffman codes are looked up with zero bits past the end of the input;
//    only fields read as plain bits (headers, extra bits) fail there.
//
// Speed: a 64-bit bit buffer refilled eight bytes at a time, one-lookup
// tables with small sub-tables for long codes, and word-sized match copies.
// The bulk of each block runs in a fast loop that needs no bounds checks
// because it only runs while both buffers have ample room; the ends of the
// input and output are decoded by a careful loop that reproduces the exact
// rules above.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "png/bytes.h"
#include "png/png_error.h"

namespace tf::png {

// What the caller shows when Inflate reports kTreeCreation.
extern const char* const kTreeCreationMessage;

struct InflateOutcome {
    int result = 0;                     // 0, -1 or -2 as described above
    PngError error = PngError::kNone;   // kTreeCreation or a fault; data unchanged
    bool ok() const { return error == PngError::kNone; }
};

// Lookup table for one Huffman code: a primary table indexed by the first
// bits of the stream, followed by sub-tables for codes longer than that.
struct DecodeTable {
    std::vector<std::uint32_t> entries;
    int primaryBits = 0;
};

class Inflater {
public:
    // Decodes `data` in place. `sizeHint` grows by 100, as the caller's
    // variable always has.
    InflateOutcome Inflate(Bytes& data, std::int32_t& sizeHint, bool deflate64);

    // Decodes `in` into `out`, reusing its memory; `out` is emptied on a tree
    // error or fault. `in` must not overlap `out`. `sizeHint` already
    // includes the 100.
    InflateOutcome Inflate(const std::uint8_t* in, std::size_t inSize, std::int64_t sizeHint,
                           bool deflate64, Bytes& out);

private:
    struct Stream;
    int BuildCodeTable(const std::uint8_t* lengths, int count, const std::uint32_t* symbolEntries,
                       int primaryBits, int& maxLen, int& minLen, DecodeTable& table);
    bool SetUpFixedCodes(Stream& s);
    int ReadDynamicHeader(Stream& s);
    bool DecodeHuffmanBlock(Stream& s);
    bool FastLoop(Stream& s, bool& endOfBlock);

    // Lookahead widths of the current codes. They decide how far the stored
    // block check looks into the input, so they follow the original rules:
    // raised by every table build in this object, reset only by a cached
    // fixed block.
    int maxLitLen_ = 0;
    int minLitLen_ = 0;
    int maxDistLen_ = 0;
    int minDistLen_ = 0;
    bool fixedTablesBuilt_ = false;
    DecodeTable fixedLitLen_, fixedDist_;
    DecodeTable litLen_, dist_, codeLengths_;
    const DecodeTable* curLitLen_ = nullptr;
    const DecodeTable* curDist_ = nullptr;
};

}  // namespace tf::png

// Hand-built deflate streams for each rule of the inflater.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "png/inflate.h"
#include "test_streams.h"

namespace tf::png {
namespace {

using test::BitWriter;
using test::PutFixedDistance;
using test::PutFixedSymbol;

std::vector<std::uint32_t> CanonicalCodes(const std::vector<std::uint8_t>& lengths) {
    std::vector<int> count(17, 0);
    for (auto l : lengths) ++count[l];
    count[0] = 0;
    std::vector<std::uint32_t> next(17, 0);
    std::uint32_t code = 0;
    for (int len = 1; len <= 16; ++len) {
        code = (code + static_cast<std::uint32_t>(count[len - 1])) << 1;
        next[len] = code;
    }
    std::vector<std::uint32_t> codes(lengths.size());
    for (std::size_t s = 0; s < lengths.size(); ++s) {
        if (lengths[s]) codes[s] = next[lengths[s]]++;
    }
    return codes;
}

// Code-length code: symbols 0-12 get 4 bits, 13-18 get 5 bits (complete).
const std::vector<std::uint8_t> kClLengths = {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5};
const int kClOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

struct ClSymbol {
    int symbol;
    std::uint32_t extra = 0;
    int extraBits = 0;
};

// Dynamic block header; `lengthSymbols` overrides the plain list of lengths.
void PutDynamicHeader(BitWriter& w, const std::vector<std::uint8_t>& lit,
                      const std::vector<std::uint8_t>& dist,
                      const std::vector<ClSymbol>* lengthSymbols = nullptr) {
    w.Put(static_cast<std::uint32_t>(lit.size() - 257), 5);  // HLIT
    w.Put(static_cast<std::uint32_t>(dist.size() - 1), 5);   // HDIST
    w.Put(19 - 4, 4);                                         // HCLEN
    for (int i = 0; i < 19; ++i) w.Put(kClLengths[kClOrder[i]], 3);
    const std::vector<std::uint32_t> cl = CanonicalCodes(kClLengths);
    std::vector<ClSymbol> symbols;
    if (lengthSymbols) {
        symbols = *lengthSymbols;
    } else {
        for (auto l : lit) symbols.push_back({l});
        for (auto l : dist) symbols.push_back({l});
    }
    for (const ClSymbol& s : symbols) {
        w.PutCode(cl[s.symbol], kClLengths[s.symbol]);
        w.Put(s.extra, s.extraBits);
    }
}

// Literal/length code: every symbol 0-287 used; 0-255 and 256-287 split so
// that the code is complete (lengths 8 and 9 like the fixed code, shuffled).
std::vector<std::uint8_t> DynamicLitLengths() {
    std::vector<std::uint8_t> lit(288, 9);
    for (int s = 0; s < 224; ++s) lit[s] = 8;  // 224/256 + 64/512 = 1
    return lit;
}

class InflateTest : public ::testing::Test {
protected:
    InflateOutcome Run(const std::vector<std::uint8_t>& in, std::int64_t hint, Bytes& out,
                       bool deflate64 = false) {
        return inflater.Inflate(in.data(), in.size(), hint, deflate64, out);
    }
    static std::string Text(const Bytes& b) { return std::string(b.begin(), b.end()); }

    Inflater inflater;
};

TEST_F(InflateTest, StoredBlockYieldsExactlyItsBytes) {
    const std::vector<std::uint8_t> data = {'h', 'e', 'l', 'l', 'o'};
    std::vector<std::uint8_t> in = test::StoredDeflate(data);
    in.push_back(0);  // the stored-block check wants a byte beyond LEN/NLEN
    Bytes out;
    const InflateOutcome r = Run(in, 200, out);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(Text(out), "hello");
}

TEST_F(InflateTest, StoredBlockWithWrongNlenStillCopiesWithMinusTwo) {
    BitWriter w;
    w.Put(1, 1);  // BFINAL
    w.Put(0, 2);  // stored
    w.PutByte(3);
    w.PutByte(0);     // LEN 3
    w.PutByte(0x12);  // NLEN, not ~3
    w.PutByte(0x34);
    for (char c : std::string("abc")) w.PutByte(static_cast<std::uint8_t>(c));
    w.PutByte(0);
    Bytes out;
    const InflateOutcome r = Run(w.Finish(), 10, out);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.result, -2);
    EXPECT_EQ(Text(out), "abc");
}

TEST_F(InflateTest, StoredHeaderNeedsOneByteBeyondLenAndNlen) {
    // The header check counts from the first byte after the block type, so an
    // empty stored block at the very end of the input is refused.
    BitWriter w;
    w.Put(1, 1);  // BFINAL
    w.Put(0, 2);  // stored
    for (std::uint8_t b : {0x00, 0x00, 0xFF, 0xFF}) w.PutByte(b);  // LEN 0, NLEN
    std::vector<std::uint8_t> exact = w.Finish();
    Bytes out;
    EXPECT_EQ(Run(exact, 10, out).result, -1);
    exact.push_back(0);
    EXPECT_EQ(Run(exact, 10, out).result, 0);
}

TEST_F(InflateTest, StoredBlockPastInputOrOutputIsMinusOneWithEarlierBytes) {
    BitWriter w;
    w.Put(0, 1);  // not final
    w.Put(1, 2);  // fixed
    PutFixedSymbol(w, 'a');
    PutFixedSymbol(w, 256);
    w.Put(1, 1);  // BFINAL
    w.Put(0, 2);  // stored
    w.PutByte(200);
    w.PutByte(0);  // LEN 200 ...
    w.PutByte(static_cast<std::uint8_t>(~200));
    w.PutByte(0xFF);
    w.PutByte('b');  // ... but only 1 byte follows
    Bytes out;
    InflateOutcome r = Run(w.Finish(), 1000, out);
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(Text(out), "a");

    std::vector<std::uint8_t> in = test::StoredDeflate(std::vector<std::uint8_t>(50, 'z'));
    in.push_back(0);
    r = Run(in, 10, out);  // room for 11 bytes only
    EXPECT_EQ(r.result, -1);
    EXPECT_TRUE(out.empty());
}

TEST_F(InflateTest, BlockTypeThreeKeepsBytesBeforeIt) {
    BitWriter w;
    w.Put(0, 1);
    w.Put(1, 2);  // fixed
    PutFixedSymbol(w, 'a');
    PutFixedSymbol(w, 'b');
    PutFixedSymbol(w, 256);
    w.Put(1, 1);
    w.Put(3, 2);  // reserved block type
    w.Put(0, 16);
    Bytes out;
    const InflateOutcome r = Run(w.Finish(), 100, out);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.result, -1);
    EXPECT_EQ(Text(out), "ab");
}

TEST_F(InflateTest, FixedAndDynamicBlocksDecodeAlikeAndFixedTablesAreReused) {
    const std::string text = "abcabcabcabcab-xyz";
    auto putBody = [&](BitWriter& w, auto putSym, auto putDist) {
        for (char c : std::string("abc")) putSym(c);
        putSym(265);  // length 11 + 1 extra bit
        w.Put(0, 1);  // length 11
        putDist(2);   // distance 3
        for (char c : std::string("-xyz")) putSym(c);
        putSym(256);
    };
    BitWriter fixed;
    for (int block = 0; block < 2; ++block) {  // two fixed blocks, the second from the cache
        fixed.Put(block == 1, 1);
        fixed.Put(1, 2);
        putBody(fixed, [&](int s) { PutFixedSymbol(fixed, s); }, [&](int d) { PutFixedDistance(fixed, d); });
    }
    const std::vector<std::uint8_t> lit = DynamicLitLengths();
    const std::vector<std::uint8_t> dist32(32, 5);
    const auto litCodes = CanonicalCodes(lit);
    const auto distCodes = CanonicalCodes(dist32);
    BitWriter dyn;
    for (int block = 0; block < 2; ++block) {
        dyn.Put(block == 1, 1);
        dyn.Put(2, 2);
        PutDynamicHeader(dyn, lit, dist32);
        putBody(dyn, [&](int s) { dyn.PutCode(litCodes[s], lit[s]); },
                [&](int d) { dyn.PutCode(distCodes[d], dist32[d]); });
    }
    Bytes a, b, c;
    EXPECT_TRUE(Run(fixed.Finish(), 100, a).ok());
    EXPECT_TRUE(Run(dyn.Finish(), 100, b).ok());
    EXPECT_TRUE(Run(fixed.Finish(), 100, c).ok());  // cached tables in a later decode
    EXPECT_EQ(Text(a), text + text);
    EXPECT_EQ(Text(b), Text(a));
    EXPECT_EQ(Text(c), Text(a));
}

TEST_F(InflateTest, DistanceOneRepeatsTheLastByte) {
    BitWriter w;
    w.Put(1, 1);
    w.Put(1, 2);
    PutFixedSymbol(w, 'q');
    PutFixedSymbol(w, 264);  // length 10
    PutFixedDistance(w, 0);  // distance 1
    PutFixedSymbol(w, 256);
    Bytes out;
    EXPECT_TRUE(Run(w.Finish(), 100, out).ok());
    EXPECT_EQ(Text(out), std::string(11, 'q'));
}

TEST_F(InflateTest, UnbuildableCodesReportTreeCreationAndLeaveDataAlone) {
    const std::vector<std::uint8_t> lit = DynamicLitLengths();
    struct Case {
        const char* name;
        std::vector<std::uint8_t> lit, dist;
        std::vector<ClSymbol> symbols;  // empty: plain lengths
    };
    std::vector<std::uint8_t> overLit = lit;
    overLit[0] = 1;  // over-subscribes the literal/length code
    std::vector<std::uint8_t> singleDist = {1};  // one distance code of length 1: incomplete
    std::vector<std::uint8_t> noDist(2, 0);      // no distance codes at all
    std::vector<ClSymbol> repeatFirst = {{16, 0, 2}};
    std::vector<ClSymbol> repeatPast;
    for (int i = 0; i < 288; ++i) repeatPast.push_back({lit[i]});
    repeatPast.push_back({18, 127, 7});  // 138 zeros with only 32 left
    const std::vector<Case> cases = {
        {"over-subscribed", overLit, std::vector<std::uint8_t>(32, 5), {}},
        {"single distance code", lit, singleDist, {}},
        {"no distance code", lit, noDist, {}},
        {"repeat first", lit, std::vector<std::uint8_t>(32, 5), repeatFirst},
        {"repeat past end", lit, std::vector<std::uint8_t>(32, 5), repeatPast},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BitWriter w;
        w.Put(1, 1);
        w.Put(2, 2);
        PutDynamicHeader(w, c.lit, c.dist, c.symbols.empty() ? nullptr : &c.symbols);
        w.Put(0, 32);
        const std::vector<std::uint8_t> in = w.Finish();
        Bytes data(in.begin(), in.end());
        std::int32_t hint = 50;
        const InflateOutcome r = inflater.Inflate(data, hint, false);
        EXPECT_EQ(r.error, PngError::kTreeCreation);
        EXPECT_EQ(std::vector<std::uint8_t>(data.begin(), data.end()), in);
        EXPECT_EQ(hint, 150);
    }
}

TEST_F(InflateTest, Deflate64SwitchTurnsLength258IntoSixteenBitLength) {
    auto stream = [] {
        BitWriter w;
        w.Put(1, 1);
        w.Put(1, 2);
        PutFixedSymbol(w, 'z');
        PutFixedSymbol(w, 285);
        return w;
    };
    BitWriter on = stream();
    on.Put(100, 16);  // 3 + 100 bytes
    PutFixedDistance(on, 0);
    PutFixedSymbol(on, 256);
    BitWriter off = stream();
    PutFixedDistance(off, 0);
    PutFixedSymbol(off, 256);
    Bytes out;
    EXPECT_TRUE(Run(on.Finish(), 1000, out, true).ok());
    EXPECT_EQ(out.size(), 1u + 103u);
    EXPECT_TRUE(Run(off.Finish(), 1000, out, false).ok());
    EXPECT_EQ(out.size(), 1u + 258u);
}

TEST_F(InflateTest, BackReferencePastTheHintCutsQuietly) {
    BitWriter w;
    w.Put(1, 1);
    w.Put(1, 2);
    PutFixedSymbol(w, 'r');
    for (int i = 0; i < 4; ++i) {
        PutFixedSymbol(w, 285);  // 258
        PutFixedDistance(w, 0);
    }
    PutFixedSymbol(w, 256);
    Bytes out;
    const InflateOutcome r = Run(w.Finish(), 300, out);  // buffer of 301 bytes
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(out.size(), 300u);
}

TEST_F(InflateTest, FaultsEndTheDecodeWithAnError) {
    Bytes out;
    {
        SCOPED_TRACE("literal past the buffer");
        BitWriter w;
        w.Put(1, 1);
        w.Put(1, 2);
        for (int i = 0; i < 5; ++i) PutFixedSymbol(w, 'a');
        PutFixedSymbol(w, 256);
        EXPECT_EQ(Run(w.Finish(), 3, out).error, PngError::kOutputOverflow);
    }
    {
        SCOPED_TRACE("distance before the output");
        BitWriter w;
        w.Put(1, 1);
        w.Put(1, 2);
        PutFixedSymbol(w, 'a');
        PutFixedSymbol(w, 257);
        PutFixedDistance(w, 1);  // distance 2 with one byte written
        PutFixedSymbol(w, 256);
        EXPECT_EQ(Run(w.Finish(), 100, out).error, PngError::kDistanceTooFar);
    }
    {
        SCOPED_TRACE("length symbol 286");
        BitWriter w;
        w.Put(1, 1);
        w.Put(1, 2);
        PutFixedSymbol(w, 'a');
        PutFixedSymbol(w, 286);
        w.Put(0, 16);
        EXPECT_EQ(Run(w.Finish(), 100, out).error, PngError::kInvalidSymbol);
    }
    {
        SCOPED_TRACE("input ends inside a header");
        BitWriter w;
        w.Put(0, 1);
        w.Put(2, 2);
        w.Put(3, 5);
        EXPECT_EQ(Run(w.Finish(), 100, out).error, PngError::kInputExhausted);
        EXPECT_EQ(Run({}, 100, out).error, PngError::kInputExhausted);
    }
}

TEST_F(InflateTest, LiteralsFromZeroBitsPastTheInputOverflowTheBuffer) {
    // In this code the all-zero pattern is literal 0: once the input is used
    // up, literals repeat until the output buffer is full.
    const std::vector<std::uint8_t> lit = DynamicLitLengths();
    const std::vector<std::uint8_t> dist(32, 5);
    const auto codes = CanonicalCodes(lit);
    ASSERT_EQ(codes[0], 0u);
    BitWriter w;
    w.Put(1, 1);
    w.Put(2, 2);
    PutDynamicHeader(w, lit, dist);
    w.PutCode(codes['a'], lit['a']);
    Bytes out;
    EXPECT_EQ(Run(w.Finish(), 200 << 20, out).error, PngError::kOutputOverflow);
    EXPECT_TRUE(out.empty());
}

TEST_F(InflateTest, CodesMayEndInZeroBitsPastTheInput) {
    // The end-of-block code of the fixed code is seven zero bits: cut off, it
    // still ends the final block.
    BitWriter w;
    w.Put(1, 1);
    w.Put(1, 2);
    PutFixedSymbol(w, 'k');  // 3 + 8 bits: the stream ends 5 bits into the next byte
    Bytes out;
    const InflateOutcome r = Run(w.Finish(), 100, out);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(Text(out), "k");
}

}  // namespace
}  // namespace tf::png

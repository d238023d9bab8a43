// The inflater on arbitrary streams. The first two bytes give the size hint
// and the Deflate64 switch; the rest is the stream. Where zlib decodes the
// same stream completely, the inflater must give the same bytes.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "png/inflate.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const bool deflate64 = data[0] & 0x80;
    const std::int64_t hint = ((data[0] & 0x7F) << 8 | data[1]) * 8;
    data += 2;
    size -= 2;

    tf::png::Inflater inflater;
    tf::png::Bytes out;
    const tf::png::InflateOutcome r = inflater.Inflate(data, size, hint + 100, deflate64, out);
    if (r.ok() && out.size() > static_cast<std::size_t>(hint + 101)) __builtin_trap();

    if (deflate64 || !r.ok() || r.result != 0) return 0;
    std::vector<std::uint8_t> expected(static_cast<std::size_t>(hint) + 101);
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return 0;
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = expected.data();
    z.avail_out = static_cast<uInt>(expected.size());
    const int status = inflate(&z, Z_FINISH);
    const std::size_t produced = z.total_out;
    inflateEnd(&z);
    // Only streams zlib decodes fully, with room to spare, are comparable;
    // past the hint the inflater cuts where zlib would go on.
    if (status == Z_STREAM_END && produced < static_cast<std::size_t>(hint + 100)) {
        if (out.size() != produced) __builtin_trap();
        for (std::size_t i = 0; i < produced; ++i) {
            if (out[i] != expected[i]) __builtin_trap();
        }
    }
    return 0;
}

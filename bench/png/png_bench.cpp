// Prints the time of the loader's inflater and decoder next to zlib's and
// libpng's on the same data, and the ratio (ours / theirs; below 1 is faster).
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "platform/message_sink.h"
#include "png/inflate.h"
#include "png/load_png.h"

namespace {

// Processor time of this (single-threaded) process, so that time spent
// descheduled on a busy machine does not count against either side.
double Seconds(const std::function<void()>& body) {
    const std::clock_t start = std::clock();
    body();
    return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
}

// Best times of both sides, runs interleaved so that load from other
// processes hits both alike.
std::pair<double, double> Compare(int runs, const std::function<void()>& ours,
                                  const std::function<void()>& theirs) {
    double bestOurs = 1e9, bestTheirs = 1e9;
    for (int i = 0; i < runs; ++i) {
        bestTheirs = std::min(bestTheirs, Seconds(theirs));
        bestOurs = std::min(bestOurs, Seconds(ours));
    }
    return {bestOurs, bestTheirs};
}

// Image-like bytes: smooth gradients with noise and flat areas, the kind of
// data PNG streams hold after filtering.
std::vector<std::uint8_t> ImageLikeData(std::size_t size, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> d(size);
    for (std::size_t i = 0; i < size; ++i) {
        const std::size_t x = i % 4096, y = i / 4096;
        const bool flat = ((x / 256) + (y / 64)) % 5 == 0;
        d[i] = flat ? 0 : static_cast<std::uint8_t>((x * 3 + y) / 16 + (rng() % 6));
    }
    return d;
}

std::vector<std::uint8_t> ZlibCompress(const std::vector<std::uint8_t>& data, int level) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::vector<std::uint8_t> out(size);
    compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), level);
    out.resize(size);
    return out;
}

bool ZlibInflate(const std::vector<std::uint8_t>& packed, std::vector<std::uint8_t>& out) {
    z_stream z{};
    inflateInit(&z);
    z.next_in = const_cast<Bytef*>(packed.data());
    z.avail_in = static_cast<uInt>(packed.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int status = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    return status == Z_STREAM_END;
}

bool OurInflate(const std::vector<std::uint8_t>& packed, std::size_t expected, tf::png::Bytes& out) {
    tf::platform::RecordingMessageSink messages;
    tf::png::Inflater inflater(messages);
    const auto r = inflater.Inflate(packed.data() + 2, packed.size() - 2,
                                    static_cast<std::int64_t>(expected) + 100, false, out);
    return r.ok() && out.size() == expected;
}

void Report(const char* what, double ours, double theirs, const char* theirName) {
    std::printf("%-44s ours %8.2f ms  %s %8.2f ms  ratio %.2f\n", what, ours * 1e3, theirName,
                theirs * 1e3, ours / theirs);
}

// A 4096 x 4096 RGBA picture written by libpng with its default filters.
std::vector<std::uint8_t> MakeRgbaPng(std::uint32_t size) {
    std::vector<std::uint8_t> pixels(std::size_t{size} * size * 4);
    std::mt19937 rng(42);
    for (std::uint32_t y = 0; y < size; ++y) {
        for (std::uint32_t x = 0; x < size; ++x) {
            std::uint8_t* p = &pixels[(std::size_t{y} * size + x) * 4];
            const int dx = static_cast<int>(x) - 2048, dy = static_cast<int>(y) - 2048;
            const bool disc = dx * dx + dy * dy < 1200 * 1200;
            p[0] = static_cast<std::uint8_t>(x / 16 + rng() % 4);
            p[1] = static_cast<std::uint8_t>(y / 16 + rng() % 4);
            p[2] = disc ? 200 : static_cast<std::uint8_t>((x + y) / 32);
            p[3] = disc ? 255 : static_cast<std::uint8_t>(x / 16);
        }
    }
    std::vector<std::uint8_t> file;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &file,
                     [](png_structp p, png_bytep data, png_size_t n) {
                         auto* f = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
                         f->insert(f->end(), data, data + n);
                     },
                     nullptr);
    png_set_IHDR(png, info, size, size, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (std::uint32_t y = 0; y < size; ++y) png_write_row(png, &pixels[std::size_t{y} * size * 4]);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return file;
}

struct MemoryReader {
    const std::vector<std::uint8_t>* file;
    std::size_t at;
};

bool LibpngDecode(const std::vector<std::uint8_t>& file, std::vector<std::uint8_t>& rgba) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    MemoryReader reader{&file, 0};
    png_set_read_fn(png, &reader, [](png_structp p, png_bytep data, png_size_t n) {
        auto* r = static_cast<MemoryReader*>(png_get_io_ptr(p));
        std::memcpy(data, r->file->data() + r->at, n);
        r->at += n;
    });
    png_read_info(png, info);
    const std::uint32_t w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    rgba.resize(std::size_t{w} * h * 4);
    std::vector<png_bytep> rows(h);
    for (std::uint32_t y = 0; y < h; ++y) rows[y] = &rgba[std::size_t{y} * w * 4];
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    constexpr int kRuns = 9;
    // Optional argument: run one part only (large, small or decode).
    const std::string only = argc > 1 ? argv[1] : "";
    auto wanted = [&](const char* part) { return only.empty() || only == part; };
    // One 50 MB stream.
    if (wanted("large")) {
        const std::vector<std::uint8_t> data = ImageLikeData(50u << 20, 1);
        const std::vector<std::uint8_t> packed = ZlibCompress(data, 6);
        std::vector<std::uint8_t> zout(data.size());
        tf::png::Bytes ours;
        bool ok = true;
        const auto [o, z] = Compare(kRuns, [&] { ok = OurInflate(packed, data.size(), ours) && ok; },
                                    [&] { ZlibInflate(packed, zout); });
        ok = ok && std::equal(ours.begin(), ours.end(), data.begin());
        std::printf("inflate 50 MB (%zu compressed bytes)%s\n", packed.size(), ok ? "" : "  OUTPUT DIFFERS");
        Report("  inflate, one 50 MB stream", o, z, "zlib");
    }
    // 1,000 IDAT-sized streams.
    if (wanted("small")) {
        std::vector<std::vector<std::uint8_t>> streams;
        std::vector<std::size_t> sizes;
        std::mt19937 rng(7);
        for (int i = 0; i < 1000; ++i) {
            const std::size_t size = 2048 + rng() % 30000;
            streams.push_back(ZlibCompress(ImageLikeData(size, static_cast<std::uint32_t>(i)), 1 + i % 9));
            sizes.push_back(size);
        }
        std::vector<std::uint8_t> zout(64 << 10);
        tf::png::Bytes ours;
        bool ok = true;
        const auto [o, z] = Compare(
            kRuns,
            [&] {
                for (std::size_t i = 0; i < streams.size(); ++i) ok = OurInflate(streams[i], sizes[i], ours) && ok;
            },
            [&] {
                for (const auto& s : streams) ZlibInflate(s, zout);
            });
        std::printf("inflate 1000 small streams%s\n", ok ? "" : "  OUTPUT DIFFERS");
        Report("  inflate, 1000 streams of 2-32 KB", o, z, "zlib");
    }
    // The whole decode of a 4096 x 4096 RGBA file.
    if (wanted("decode")) {
        const std::vector<std::uint8_t> file = MakeRgbaPng(4096);
        std::vector<std::uint8_t> rgba;
        std::printf("decode 4096x4096 RGBA (%zu byte file)\n", file.size());
        for (bool alphaOn : {false, true}) {
            bool ok = true;
            const auto [o, l] = Compare(
                kRuns,
                [&] {
                    tf::platform::RecordingMessageSink messages;
                    tf::png::LoadPNG png(messages);
                    png.SetAlpha(alphaOn);
                    ok = png.OpenPNGFromMemory(file.data(), file.size()) == tf::png::PngError::kNone && ok;
                },
                [&] { LibpngDecode(file, rgba); });
            std::printf("  libpng %.1f megapixels/s, ours %.1f\n", 4096.0 * 4096.0 / l / 1e6, 4096.0 * 4096.0 / o / 1e6);
            Report(alphaOn ? "  OpenPNG, blended to 24-bit" : "  OpenPNG, 32-bit BGRA", o, l, "libpng");
            if (!ok) std::printf("  DECODE FAILED\n");
        }
    }
    return 0;
}

// Prints the time of the loader's inflater and decoder next to zlib's and
// libpng's on the same data, and the ratio (ours / theirs; below 1 is faster).
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
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
    tf::png::Inflater inflater;
    const auto r = inflater.Inflate(packed.data() + 2, packed.size() - 2,
                                    static_cast<std::int64_t>(expected) + 100, false, out);
    return r.ok() && out.size() == expected;
}

// A PNG file written by libpng with its default filters and compression.
std::vector<std::uint8_t> WritePng(const std::vector<std::uint8_t>& pixels, std::uint32_t width,
                                   std::uint32_t height, int colourType, int channels) {
    std::vector<std::uint8_t> file;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &file,
                     [](png_structp p, png_bytep data, png_size_t n) {
                         auto* f = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(p));
                         f->insert(f->end(), data, data + n);
                     },
                     nullptr);
    png_set_IHDR(png, info, width, height, 8, colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (std::uint32_t y = 0; y < height; ++y) {
        png_write_row(png, const_cast<png_bytep>(&pixels[std::size_t{y} * width * channels]));
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return file;
}

// A 4096 x 4096 RGBA picture: gradients with noise, a flat disc, varying alpha.
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
    return WritePng(pixels, size, size, PNG_COLOR_TYPE_RGBA, 4);
}

// A button-sized picture of one of three kinds: smooth shading, flat shapes
// with anti-aliased edges, or photo-like noise.
std::vector<std::uint8_t> MakeIconPng(std::uint32_t size, int kind, std::mt19937& rng) {
    const int channels = kind == 2 ? 3 : 4;
    std::vector<std::uint8_t> pixels(std::size_t{size} * size * channels);
    const int c = static_cast<int>(size) / 2;
    for (std::uint32_t y = 0; y < size; ++y) {
        for (std::uint32_t x = 0; x < size; ++x) {
            std::uint8_t* p = &pixels[(std::size_t{y} * size + x) * channels];
            const int dx = static_cast<int>(x) - c, dy = static_cast<int>(y) - c;
            const int r2 = dx * dx + dy * dy;
            switch (kind) {
                case 0:
                    p[0] = static_cast<std::uint8_t>(40 + x * 2);
                    p[1] = static_cast<std::uint8_t>(90 + y);
                    p[2] = static_cast<std::uint8_t>(200 - (x + y) / 2);
                    p[3] = r2 < c * c ? 255 : (r2 < (c + 2) * (c + 2) ? 128 : 0);
                    break;
                case 1:
                    p[0] = (x / 8 + y / 8) % 2 ? 230 : 30;
                    p[1] = r2 < c * c / 2 ? 180 : 60;
                    p[2] = 120;
                    p[3] = static_cast<std::uint8_t>(std::abs(dx) < c - 2 && std::abs(dy) < c - 2 ? 255 : 64);
                    break;
                default:
                    for (int k = 0; k < 3; ++k) p[k] = static_cast<std::uint8_t>(100 + (x + y) / 2 + rng() % 24);
                    break;
            }
        }
    }
    return WritePng(pixels, size, size, channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, channels);
}

// The concatenated IDAT data of a PNG file: a zlib stream.
std::vector<std::uint8_t> IdatStream(const std::vector<std::uint8_t>& file) {
    std::vector<std::uint8_t> stream;
    for (std::size_t at = 8; at + 8 <= file.size();) {
        const std::uint32_t length = (std::uint32_t{file[at]} << 24) | (file[at + 1] << 16) | (file[at + 2] << 8) | file[at + 3];
        if (std::memcmp(&file[at + 4], "IDAT", 4) == 0) {
            stream.insert(stream.end(), file.begin() + static_cast<std::ptrdiff_t>(at + 8),
                          file.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
        }
        at += 12 + length;
    }
    return stream;
}

std::size_t InflatedSize(const std::vector<std::uint8_t>& stream) {
    std::vector<std::uint8_t> out(256 << 20);
    z_stream z{};
    inflateInit(&z);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    inflate(&z, Z_FINISH);
    const std::size_t n = z.total_out;
    inflateEnd(&z);
    return n;
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

void CompareInflate(const char* what, const std::vector<std::vector<std::uint8_t>>& streams,
                    const std::vector<std::size_t>& sizes, int runs) {
    std::size_t largest = 0, total = 0, packed = 0;
    for (std::size_t i = 0; i < streams.size(); ++i) {
        largest = std::max(largest, sizes[i]);
        total += sizes[i];
        packed += streams[i].size();
    }
    std::vector<std::uint8_t> zout(largest);
    tf::png::Bytes ours;
    bool ok = true;
    const auto [o, z] = Compare(
        runs,
        [&] {
            for (std::size_t i = 0; i < streams.size(); ++i) ok = OurInflate(streams[i], sizes[i], ours) && ok;
        },
        [&] {
            for (const auto& st : streams) ZlibInflate(st, zout);
        });
    std::printf("  %-42s %7.1f MB from %6.1f MB  ours %8.2f ms  zlib %8.2f ms  ratio %.2f%s\n", what,
                total / 1e6, packed / 1e6, o * 1e3, z * 1e3, o / z, ok ? "" : "  OUTPUT DIFFERS");
}

int main(int argc, char** argv) {
    constexpr int kRuns = 9;
    // Optional argument: run one section only (large, small or decode).
    const std::string only = argc > 1 ? argv[1] : "";
    auto wanted = [&](const char* section) { return only.empty() || only == section; };
    std::printf("processor time, best of %d interleaved runs; ratio = ours / theirs\n", kRuns);
    std::vector<std::uint8_t> bigPng;
    if (wanted("large") || wanted("decode")) bigPng = MakeRgbaPng(4096);
    if (wanted("large")) {
        std::printf("inflate, one large stream:\n");
        const std::vector<std::uint8_t> data = ImageLikeData(50u << 20, 1);
        CompareInflate("50 MB of noisy image-like bytes, level 6", {ZlibCompress(data, 6)}, {data.size()}, kRuns);
        const std::vector<std::uint8_t> idat = IdatStream(bigPng);
        CompareInflate("IDAT of the 4096x4096 RGBA file", {idat}, {InflatedSize(idat)}, kRuns);
    }
    if (wanted("small")) {
        std::printf("inflate, 1000 small streams:\n");
        std::mt19937 rng(7);
        std::vector<std::vector<std::uint8_t>> idats, noisy;
        std::vector<std::size_t> idatSizes, noisySizes;
        for (int i = 0; i < 1000; ++i) {
            const std::uint32_t side = 16 + static_cast<std::uint32_t>(rng() % 113);  // 16 to 128 pixels
            idats.push_back(IdatStream(MakeIconPng(side, i % 3, rng)));
            idatSizes.push_back(InflatedSize(idats.back()));
            const std::size_t size = 2048 + rng() % 30000;
            noisy.push_back(ZlibCompress(ImageLikeData(size, static_cast<std::uint32_t>(i)), 1 + i % 9));
            noisySizes.push_back(size);
        }
        CompareInflate("IDAT streams of 16-128 px images", idats, idatSizes, kRuns);
        CompareInflate("2-32 KB noisy image-like bytes, levels 1-9", noisy, noisySizes, kRuns);
    }
    if (wanted("decode")) {
        std::vector<std::uint8_t> rgba;
        std::printf("decode of the 4096x4096 RGBA file (%zu bytes):\n", bigPng.size());
        for (bool alphaOn : {false, true}) {
            bool ok = true;
            const auto [o, l] = Compare(
                kRuns,
                [&] {
                    tf::platform::RecordingMessageSink messages;
                    tf::png::LoadPNG png(messages);
                    png.SetAlpha(alphaOn);
                    ok = png.OpenPNGFromMemory(bigPng.data(), bigPng.size()) == tf::png::PngError::kNone && ok;
                },
                [&] { LibpngDecode(bigPng, rgba); });
            std::printf("  %-42s ours %8.2f ms (%.1f MP/s)  libpng %8.2f ms (%.1f MP/s)  ratio %.2f%s\n",
                        alphaOn ? "OpenPNG, alpha blended to 24-bit" : "OpenPNG, 32-bit BGRA", o * 1e3,
                        4096.0 * 4096.0 / o / 1e6, l * 1e3, 4096.0 * 4096.0 / l / 1e6, l > 0 ? o / l : 0.0,
                        ok ? "" : "  DECODE FAILED");
        }
    }
    return 0;
}

// tallyfold-png: prints what the loader makes of a PNG file and optionally
// writes the final image as a 24-bit BMP.
//
//   tallyfold-png [--background RRGGBB] [--no-alpha] [--no-trans] [--out FILE.bmp] FILE.png
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "app/version_option.h"
#include "platform/message_sink.h"
#include "png/blend.h"
#include "png/load_png.h"
#include "platform/tool_main.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct Options {
    std::string input;
    std::string output;
    bool haveBackground = false;
    std::uint32_t background = 0;  // colour value, red in the low byte
    bool alpha = true;
    bool trans = true;
};

const char kUsage[] =
    "usage: tallyfold-png [--background RRGGBB] [--no-alpha] [--no-trans] [--out FILE.bmp] FILE.png\n"
    "  --background RRGGBB  blend transparency onto this colour, not the file's own background\n"
    "  --no-alpha           draw without the alpha channel\n"
    "  --no-trans           ignore the tRNS transparency chunk\n"
    "  --out FILE.bmp       write the final image as a 24-bit BMP\n"
    "  -h, --help           show this help\n"
    "  --version            show the version\n"
    "Exit: 0 read, 1 the file was refused or the BMP could not be written, 2 bad arguments.\n";

void Usage() { std::cerr << kUsage; }

bool ParseHexColour(const std::string& text, std::uint32_t& colour) {
    if (text.size() != 6) return false;
    for (const char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    }
    const unsigned long rgb = std::strtoul(text.c_str(), nullptr, 16);
    colour = tf::png::MakeColour(static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8),
                                 static_cast<std::uint8_t>(rgb));
    return true;
}

bool ParseArgs(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--background" && i + 1 < argc) {
            if (!ParseHexColour(argv[++i], options.background)) return false;
            options.haveBackground = true;
        } else if (arg == "--out" && i + 1 < argc) {
            options.output = argv[++i];
        } else if (arg == "--no-alpha") {
            options.alpha = false;
        } else if (arg == "--no-trans") {
            options.trans = false;
        } else if (!arg.empty() && arg[0] == '-') {
            return false;
        } else if (options.input.empty()) {
            options.input = arg;
        } else {
            return false;
        }
    }
    return !options.input.empty();
}

// One property per line: the NUL separators show as |, and nothing in the
// text can start a line of its own or reach the terminal as a control byte.
std::string Visible(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '\0': shown += '|'; break;
            case '|': shown += "\\|"; break;
            case '\\': shown += "\\\\"; break;
            case '\n': shown += "\\n"; break;
            case '\r': shown += "\\r"; break;
            case '\t': shown += "\\t"; break;
            default:
                if (byte < 0x20 || byte == 0x7F) {
                    char escaped[5];
                    std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
                    shown += escaped;
                } else {
                    shown += c;
                }
        }
    }
    return shown;
}

// The stored gAMA integer over 100000, every digit kept.
std::string ExactGamma(std::int32_t stored) {
    const std::int64_t value = stored;
    const std::uint64_t magnitude = static_cast<std::uint64_t>(value < 0 ? -value : value);
    std::string text = (value < 0 ? "-" : "") + std::to_string(magnitude / 100000);
    std::string fraction = std::to_string(100000 + magnitude % 100000).substr(1);
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    if (!fraction.empty()) text += "." + fraction;
    return text;
}

std::string HexColour(std::uint32_t colour) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X%02X%02X", tf::png::RedOf(colour), tf::png::GreenOf(colour),
                  tf::png::BlueOf(colour));
    return text;
}

void PrintProperties(const tf::png::LoadPNG& png) {
    const char* const kBool[] = {"false", "true"};
    std::cout << "ErrorNumber: " << png.ErrorNumber() << '\n'
              << "Width: " << png.Width() << '\n'
              << "Height: " << png.Height() << '\n'
              << "Bitdepht: " << png.Bitdepht() << '\n'
              << "ColorType: " << png.ColorType() << '\n'
              << "Interlacing: " << png.Interlacing() << '\n'
              << "HaveAlpha: " << kBool[png.HaveAlpha()] << '\n'
              << "HaveTransparence: " << kBool[png.HaveTransparence()] << '\n'
              << "HasBKGDChunk: " << kBool[png.HasBKGDChunk()] << '\n'
              << "BkgdColor: " << HexColour(png.BkgdColor()) << '\n'
              << "gama: " << ExactGamma(png.GammaValue()) << '\n'
              << "ModiTime: " << png.ModiTime() << '\n'
              << "Text: " << Visible(png.Text()) << '\n'
              << "zText: " << Visible(png.zText()) << '\n'
              << "TextDropped: " << png.DroppedTextEntries() << '\n';
}

void PutLe(std::uint8_t*& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) *out++ = static_cast<std::uint8_t>(value >> (8 * i));
}

constexpr std::uint64_t kBmpHeaderBytes = 54;
// Larger files have size fields that readers take as negative.
constexpr std::uint64_t kMaxBmpBytes = 0x7FFFFFFF;

// Any final format as 24-bit BGR rows, bottom row first, padded to 4 bytes,
// written one row at a time. Empty on success, else why it failed.
std::string WriteBmp(const tf::png::DecodedImage& image, const std::string& path) {
    const std::uint64_t stride = (std::uint64_t{image.width} * 3 + 3) / 4 * 4;
    const std::uint64_t fileBytes = kBmpHeaderBytes + stride * image.height;
    if (image.width > 0x7FFFFFFF || image.height > 0x7FFFFFFF || fileBytes > kMaxBmpBytes) {
        return "a " + std::to_string(image.width) + "x" + std::to_string(image.height) +
               " BMP would take " + std::to_string(fileBytes) + " bytes, more than 2 GiB";
    }
    std::uint8_t header[kBmpHeaderBytes];
    std::uint8_t* h = header;
    *h++ = 'B';
    *h++ = 'M';
    PutLe(h, static_cast<std::uint32_t>(fileBytes), 4);
    PutLe(h, 0, 4);
    PutLe(h, static_cast<std::uint32_t>(kBmpHeaderBytes), 4);
    PutLe(h, 40, 4);
    PutLe(h, image.width, 4);
    PutLe(h, image.height, 4);
    PutLe(h, 1, 2);
    PutLe(h, 24, 2);
    PutLe(h, 0, 4);
    PutLe(h, static_cast<std::uint32_t>(fileBytes - kBmpHeaderBytes), 4);
    PutLe(h, 2835, 4);  // 72 dpi
    PutLe(h, 2835, 4);
    PutLe(h, 0, 4);
    PutLe(h, 0, 4);

    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header), sizeof header);
    std::vector<std::uint8_t> line(static_cast<std::size_t>(stride), 0);
    for (std::uint32_t k = 0; k < image.height && out; ++k) {
        std::uint8_t* dst = line.data();
        for (std::uint32_t x = 0; x < image.width; ++x, dst += 3) {
            const tf::png::BgrQuad q = tf::png::PixelAt(image, x, image.height - 1 - k);
            dst[0] = q.blue;
            dst[1] = q.green;
            dst[2] = q.red;
        }
        out.write(reinterpret_cast<const char*>(line.data()), static_cast<std::streamsize>(line.size()));
    }
    out.close();
    if (!out) return "cannot write " + path;
    return {};
}

}  // namespace

static int RunTool(int argc, char** argv) {
    if (tf::app::AnswerVersion(argc, argv, "tallyfold-png")) return kExitOk;
    if (argc == 2 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help")) {
        std::cout << kUsage;
        return kExitOk;
    }
    Options options;
    if (!ParseArgs(argc, argv, options)) {
        Usage();
        return kExitUsage;
    }
    tf::platform::RecordingMessageSink messages;
    tf::png::LoadPNG png(messages);
    png.SetAlpha(options.alpha);
    png.SetTrans(options.trans);
    if (options.haveBackground) png.SetOwnBkgndColor(true, options.background);
    const tf::png::PngError error = png.OpenPNG(options.input);

    PrintProperties(png);
    for (const std::string& message : messages.shown) std::cout << "Message: " << message << '\n';
    if (error != tf::png::PngError::kNone) {
        std::cout << "Error: " << tf::png::ToString(error) << '\n';
        return kExitFailure;
    }
    if (!options.output.empty()) {
        const std::string failure = WriteBmp(png.Image(), options.output);
        if (!failure.empty()) {
            std::cout << "Error: " << failure << '\n';
            return kExitFailure;
        }
    }
    return kExitOk;
}

int main(int argc, char** argv) {
    return tf::platform::GuardedMain("tallyfold-png", kExitFailure, [&] { return RunTool(argc, argv); });
}

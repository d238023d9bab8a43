// tallyfold-png: prints what the loader makes of a PNG file and optionally
// writes the final image as a 24-bit BMP.
//
//   tallyfold-png [--background RRGGBB] [--no-alpha] [--no-trans] [--out FILE.bmp] FILE.png
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "platform/message_sink.h"
#include "png/blend.h"
#include "png/load_png.h"

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

void Usage() {
    std::cerr << "usage: tallyfold-png [--background RRGGBB] [--no-alpha] [--no-trans] "
                 "[--out FILE.bmp] FILE.png\n";
}

bool ParseHexColour(const std::string& text, std::uint32_t& colour) {
    if (text.size() != 6) return false;
    char* end = nullptr;
    const unsigned long rgb = std::strtoul(text.c_str(), &end, 16);
    if (*end != '\0') return false;
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

std::string Visible(const std::string& text) {
    std::string shown = text;
    for (char& c : shown) {
        if (c == '\0') c = '|';
    }
    return shown;
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
              << "gama: " << png.gama() << '\n'
              << "ModiTime: " << png.ModiTime() << '\n'
              << "Text: " << Visible(png.Text()) << '\n'
              << "zText: " << Visible(png.zText()) << '\n';
}

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Any final format as 24-bit BGR rows, bottom row first, padded to 4 bytes.
bool WriteBmp(const tf::png::DecodedImage& image, const std::string& path) {
    const std::size_t stride = (std::size_t{image.width} * 3 + 3) / 4 * 4;
    const std::size_t pixelBytes = stride * image.height;
    std::vector<std::uint8_t> file;
    file.reserve(54 + pixelBytes);
    file.push_back('B');
    file.push_back('M');
    PutLe(file, static_cast<std::uint32_t>(54 + pixelBytes), 4);
    PutLe(file, 0, 4);
    PutLe(file, 54, 4);
    PutLe(file, 40, 4);
    PutLe(file, image.width, 4);
    PutLe(file, image.height, 4);
    PutLe(file, 1, 2);
    PutLe(file, 24, 2);
    PutLe(file, 0, 4);
    PutLe(file, static_cast<std::uint32_t>(pixelBytes), 4);
    PutLe(file, 2835, 4);  // 72 dpi
    PutLe(file, 2835, 4);
    PutLe(file, 0, 4);
    PutLe(file, 0, 4);
    for (std::uint32_t k = 0; k < image.height; ++k) {
        for (std::uint32_t x = 0; x < image.width; ++x) {
            const tf::png::BgrQuad q = tf::png::PixelAt(image, x, image.height - 1 - k);
            file.push_back(q.blue);
            file.push_back(q.green);
            file.push_back(q.red);
        }
        file.resize(file.size() + stride - std::size_t{image.width} * 3, 0);
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
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
    if (!options.output.empty() && !WriteBmp(png.Image(), options.output)) {
        std::cout << "Error: cannot write " << options.output << '\n';
        return kExitFailure;
    }
    return kExitOk;
}

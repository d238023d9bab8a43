// OpenPNG on a file in memory. The input's length picks the alpha and tRNS
// switches and whether a background surface is set, so every conversion and
// blend path is reached from the same corpus.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/message_sink.h"
#include "png/load_png.h"
#include "png/memory_surface.h"

namespace {

class FuzzSurface : public tf::png::MemorySurface {
public:
    FuzzSurface() : MemorySurface(8, 8, 0, 0) {}
    bool CaptureBackground(std::int32_t, std::int32_t, std::uint32_t, std::uint32_t height,
                           std::size_t stride, std::uint8_t* bgr) override {
        std::memset(bgr, 0x5A, stride * height);
        return true;
    }
    void Draw(const tf::png::DecodedImage& image, std::int32_t, std::int32_t, bool) override {
        // Touch the first and last byte the image claims to have.
        if (!image.pixels.empty()) sum += image.pixels.front() + image.pixels.back();
        if (image.pixels.size() < image.stride * image.height) __builtin_trap();
    }
    unsigned sum = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tf::platform::RecordingMessageSink messages;
    tf::png::LoadPNG png(messages);
    FuzzSurface surface;
    png.SetAlpha(size & 1);
    png.SetTrans(size & 2);
    if (size & 4) png.BackgroundPicture(&surface);
    png.PicBox(&surface);
    const tf::png::PngError error = png.OpenPNGFromMemory(data, size);
    // Success and ErrorNumber must agree.
    if ((error == tf::png::PngError::kNone) != (png.ErrorNumber() == 0)) __builtin_trap();
    return 0;
}

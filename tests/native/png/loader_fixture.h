#pragma once
// A LoadPNG with a recording message sink, and the small grey images that
// most loader tests build on.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/message_sink.h"
#include "png/load_png.h"
#include "test_streams.h"

namespace tf::png::test {

class LoaderTest : public ::testing::Test {
protected:
    PngError Open(const std::vector<std::uint8_t>& file) { return png.OpenPNGFromMemory(file.data(), file.size()); }
    // An 8-bit grey header of `width` x `height`.
    static PngWriter GreyImage(std::uint32_t width, std::uint32_t height) {
        PngWriter w;
        w.Header(width, height, 8, 0);
        return w;
    }
    // Its unfiltered rows, pixel (x, y) = x + 10 * y.
    static std::vector<std::uint8_t> GreyRows(std::uint32_t width, std::uint32_t height) {
        std::vector<std::uint8_t> rows;
        for (std::uint32_t y = 0; y < height; ++y) {
            rows.push_back(0);
            for (std::uint32_t x = 0; x < width; ++x) rows.push_back(static_cast<std::uint8_t>(x + 10 * y));
        }
        return rows;
    }

    platform::RecordingMessageSink messages;
    LoadPNG png{messages};
};

}  // namespace tf::png::test

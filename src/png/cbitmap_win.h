#pragma once
// The bitmap module on Windows: the bitmap headers with their colour tables,
// the device bitmap made from a final pixel buffer, and its copy onto a
// picture box. One module state serves every loader; images are drawn one
// after the other on the GUI thread.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "png/bytes.h"
#include "png/decoded_image.h"

namespace tf::png {

class PictureBoxSurface;

namespace CBitmap {

// CreateTrueColourBitmap formats.
constexpr int kFormat32 = 0;
constexpr int kFormat24 = 1;

// Loads the colour table of the 1-, 4- or 8-bit header from a table the
// colour-table procedures have filled.
void LoadColourTable(int bitsPerPixel, const std::vector<BgrQuad>& table);

// Each fills its header and makes the current bitmap from the whole buffer;
// false when no bitmap could be made (there is then no current bitmap).
bool CreateBitmap1(const Bytes& pixels, std::int32_t width, std::int32_t height, bool topDown,
                   std::uint32_t coloursUsed);
bool CreateBitmap4(const Bytes& pixels, std::int32_t width, std::int32_t height, bool topDown,
                   std::uint32_t coloursUsed);
bool CreateBitmap8(const Bytes& pixels, std::int32_t width, std::int32_t height, bool topDown,
                   std::uint32_t coloursUsed);
bool CreateTrueColourBitmap(const Bytes& pixels, std::int32_t width, std::int32_t height, bool topDown,
                            int format);

// The table and the creation procedure of the image's final format.
bool CreateFinalBitmap(const DecodedImage& image);

// The bitmap made last and not yet drawn, or null.
HBITMAP CurrentBitmap();

// Clears and sizes the box, copies the current bitmap onto it, deletes the
// bitmap and keeps the result as the box's picture.
void DrawOnPicture(std::int32_t width, std::int32_t height, PictureBoxSurface& surface, bool resize, std::int32_t x,
                   std::int32_t y, bool backgroundMode);

}  // namespace CBitmap
}  // namespace tf::png

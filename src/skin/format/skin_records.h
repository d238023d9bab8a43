#pragma once
// The records of a skin file as the engine keeps them. Everything here is
// plain data: the reader (skin_file.h) fills it from the file's bytes, the
// frame and menu code only read it. Sizes and offsets are those of the file,
// little-endian and without padding; the in-memory layout is not the file's.
#include <array>
#include <cstddef>
#include <cstdint>

namespace tf::skin {

// A source rectangle in the skin picture, in pixels.
struct SkinPiece {
    std::int32_t X = 0, Y = 0, Width = 0, Height = 0;
    // The file marks an unused piece by four values that add up to zero.
    bool Empty() const {
        return static_cast<std::int64_t>(X) + Y + Width + Height == 0;
    }
};

enum Piece { kStart = 0, kMiddle = 1, kEnd = 2 };
enum Edge { kLeft = 0, kTop = 1, kRight = 2, kBottom = 3 };
enum CaptionButton { kMinimise = 0, kMaximise = 1, kRestore = 2, kClose = 3 };
enum ButtonState { kNormal = 0, kHot = 1, kPressed = 2, kInactive = 3 };

// Start, middle (tiled) and end piece of one edge. Vertical edges run top to
// bottom, horizontal ones left to right.
struct EdgeStrip {
    std::array<SkinPiece, 3> pieces{};
    const SkinPiece& start() const { return pieces[kStart]; }
    const SkinPiece& middle() const { return pieces[kMiddle]; }
    const SkinPiece& end() const { return pieces[kEnd]; }
};

// One caption button: a piece per state and its place in the caption.
struct CaptionButtonSkin {
    std::array<SkinPiece, 4> states{};
    std::int32_t RightOffset = 0;  // from the window's right side to the button's left
    std::int32_t Top = 0;
};

// The 60 bytes of an ANSI logical font.
struct SkinFont {
    std::int32_t height = 0, width = 0, escapement = 0, orientation = 0, weight = 0;
    std::uint8_t italic = 0, underline = 0, strikeOut = 0, charSet = 0;
    std::uint8_t outPrecision = 0, clipPrecision = 0, quality = 0, pitchAndFamily = 0;
    std::array<char, 32> faceName{};  // NUL-padded; the reader guarantees a NUL
};

// A colour value (0x00BBGGRR); kNoColour (-1) means the system colour or
// "leave it to the window", as each member says.
using SkinColour = std::uint32_t;
inline constexpr SkinColour kNoColour = 0xFFFFFFFFu;

inline constexpr char kSkinSignature[] = "SKIN#";

struct SkinSignatureRecord {
    std::array<char, 5> signature{};
    std::array<std::uint16_t, 3> flags{};  // kept, never interpreted
};

struct SkinParameters {
    std::array<EdgeStrip, 4> ActiveFrame{};    // left, top (caption), right, bottom
    std::array<EdgeStrip, 4> InactiveFrame{};
    std::array<CaptionButtonSkin, 4> CaptionButtons{};  // minimise, maximise, restore, close
    std::int32_t CaptionTextLeft = 0;
    std::int32_t CaptionTextTop = 0;
    std::int32_t CaptionTextRight = 0;
    std::int32_t CaptionTextHeight = 0;
    SkinColour CaptionTextColorActive = 0;
    SkinColour CaptionTextColorInactive = 0;
    SkinFont CaptionFont{};
    std::uint32_t Reserved11 = 0;
    std::uint32_t CaptionTextFormat = 0;  // DrawText alignment: 0 left, 1 centre, 2 right
    std::uint32_t Reserved13 = 0;
    SkinPiece IconPiece{};  // X, Y in the caption; Width x Height drawn
    std::uint32_t Reserved15 = 0;
    EdgeStrip MenuBar{};
    EdgeStrip MenuItemHot{};
    EdgeStrip MenuItemPressed{};
    SkinColour MenuTextColor = 0;
    SkinColour MenuTextColorHot = 0;
    SkinColour MenuTextColorPressed = 0;
    SkinColour MenuTextColorDisabled = 0;
    SkinFont MenuFont{};
    std::array<std::uint32_t, 2> Reserved24{};
    SkinColour MenuBackColor = kNoColour;
    std::int16_t DropShadow = 0;  // 0 or -1
    std::int32_t MinTrackWidth = 0;
    std::int32_t MinTrackHeight = 0;
    SkinPiece ClientPiece{};
    SkinColour ClientColor = kNoColour;
    std::uint32_t Reserved30 = 0;
    std::array<char, 40> SkinText1{};   // space-padded description texts
    std::array<char, 40> SkinText2{};
    std::array<char, 400> SkinText3{};
};

// Sizes in the file.
inline constexpr std::size_t kSignatureRecordBytes = 11;
inline constexpr std::size_t kParameterRecordBytes = 1534;
inline constexpr std::size_t kPictureBagOffset = kSignatureRecordBytes + kParameterRecordBytes;  // 1,545

}  // namespace tf::skin

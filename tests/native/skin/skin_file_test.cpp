// Skin files built byte by byte: every member at its offset, the refusals of
// a damaged or hostile file, and the writer's exact bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "hand_bytes.h"
#include "skin/skin_file.h"

namespace tf::skin {
namespace {

using test::Bytes;
using test::PutLe;

constexpr std::size_t kParams = 11;  // the parameter record's offset in the file
constexpr int kPicture = 200;        // side of the test picture

// Distinct values for the k-th picture piece, all inside the test picture.
SkinPiece PieceNo(int k) { return {k, 100 + k, 1 + k, 2 + k}; }

class HandSkin {
public:
    HandSkin() : records_(kPictureBagOffset, 0) { std::memcpy(records_.data(), "SKIN#", 5); }

    void U16(std::size_t offset, std::uint32_t value) { PutLe(records_, kParams + offset, value, 2); }
    void U32(std::size_t offset, std::uint32_t value) { PutLe(records_, kParams + offset, value, 4); }
    void Piece(std::size_t offset, const SkinPiece& p) {
        U32(offset, p.X);
        U32(offset + 4, p.Y);
        U32(offset + 8, p.Width);
        U32(offset + 12, p.Height);
    }
    void Text(std::size_t offset, const std::string& text, std::size_t width, char pad) {
        for (std::size_t i = 0; i < width; ++i) records_[kParams + offset + i] = i < text.size() ? text[i] : pad;
    }
    Bytes& records() { return records_; }
    Bytes File() const {
        Bytes file = records_;
        test::Append(file, test::HandBag(test::HandBmp(kPicture, kPicture)));
        return file;
    }

private:
    Bytes records_;
};

// A valid skin whose members all differ; returns the number of pieces used.
void FillEveryMember(HandSkin& s) {
    PutLe(s.records(), 5, 0x0102, 2);  // flag words
    PutLe(s.records(), 7, 0x0304, 2);
    PutLe(s.records(), 9, 0x0506, 2);
    int k = 0;
    for (std::size_t frame : {0u, 192u}) {
        for (std::size_t edge = 0; edge < 4; ++edge) {
            for (std::size_t piece = 0; piece < 3; ++piece) s.Piece(frame + edge * 48 + piece * 16, PieceNo(k++));
        }
    }
    for (std::size_t button = 0; button < 4; ++button) {
        const std::size_t at = 384 + button * 72;
        for (std::size_t state = 0; state < 4; ++state) s.Piece(at + state * 16, PieceNo(k++));
        s.U32(at + 64, 1000 + button);  // RightOffset
        s.U32(at + 68, 2000 + button);  // Top
    }
    s.U32(672, 11);          // CaptionTextLeft
    s.U32(676, 12);          // CaptionTextTop
    s.U32(680, 13);          // CaptionTextRight
    s.U32(684, 14);          // CaptionTextHeight
    s.U32(688, 0x00112233);  // CaptionTextColorActive
    s.U32(692, 0x00445566);  // CaptionTextColorInactive
    s.U32(696, static_cast<std::uint32_t>(-13));  // CaptionFont: height
    s.U32(700, 5);                                // width
    s.U32(704, 6);                                // escapement
    s.U32(708, 7);                                // orientation
    s.U32(712, 700);                              // weight
    for (std::size_t i = 0; i < 8; ++i) s.records()[kParams + 716 + i] = static_cast<std::uint8_t>(21 + i);
    s.Text(724, "Tahoma", 32, '\0');
    s.U32(756, 0xA11);  // reserved
    s.U32(760, 1);      // CaptionTextFormat
    s.U32(764, 0xA13);  // reserved
    s.Piece(768, {6, 7, 16, 16});
    s.U32(784, 0xA15);  // reserved
    for (std::size_t strip : {788u, 836u, 884u}) {
        for (std::size_t piece = 0; piece < 3; ++piece) s.Piece(strip + piece * 16, PieceNo(k++));
    }
    s.U32(932, 0x00010203);  // menu text colours
    s.U32(936, 0x00040506);
    s.U32(940, 0x00070809);
    s.U32(944, 0x000A0B0C);
    s.U32(948, static_cast<std::uint32_t>(-11));  // MenuFont: height
    s.U32(964, 400);                              // weight
    s.records()[kParams + 975] = 0x22;            // pitch and family
    s.Text(976, "Verdana", 32, '\0');
    s.U32(1008, 0xA24);  // reserved, two words
    s.U32(1012, 0xB24);
    s.U32(1016, 0x00F0E0D0);  // MenuBackColor
    s.U16(1020, 0xFFFF);      // DropShadow
    s.U32(1022, 540);         // MinTrackSize
    s.U32(1026, 500);
    s.Piece(1030, PieceNo(k++));  // ClientPiece
    s.U32(1046, 0xFFFFFFFF);      // ClientColor
    s.U32(1050, 0xA30);           // reserved
    s.Text(1054, "One", 40, ' ');
    s.Text(1094, "Two", 40, ' ');
    s.Text(1134, std::string(399, 'x') + "!", 400, ' ');
    ASSERT_EQ(k, 50);
}

void ExpectPiece(const SkinPiece& p, const SkinPiece& want) {
    EXPECT_EQ(p.X, want.X);
    EXPECT_EQ(p.Y, want.Y);
    EXPECT_EQ(p.Width, want.Width);
    EXPECT_EQ(p.Height, want.Height);
}

TEST(SkinFileLayout, EveryMemberIsReadFromItsOffset) {
    HandSkin hand;
    FillEveryMember(hand);
    const Bytes file = hand.File();
    SkinFile skin;
    ASSERT_EQ(ReadSkinFile(file.data(), file.size(), skin), SkinFileError::kNone);

    EXPECT_EQ(std::string(skin.signature.signature.data(), 5), "SKIN#");
    EXPECT_EQ(skin.signature.flags[0], 0x0102);
    EXPECT_EQ(skin.signature.flags[1], 0x0304);
    EXPECT_EQ(skin.signature.flags[2], 0x0506);
    const SkinParameters& p = skin.parameters;
    int k = 0;
    for (const auto* frame : {&p.ActiveFrame, &p.InactiveFrame}) {
        for (const EdgeStrip& strip : *frame) {
            for (const SkinPiece& piece : strip.pieces) ExpectPiece(piece, PieceNo(k++));
        }
    }
    for (int b = 0; b < 4; ++b) {
        for (const SkinPiece& piece : p.CaptionButtons[b].states) ExpectPiece(piece, PieceNo(k++));
        EXPECT_EQ(p.CaptionButtons[b].RightOffset, 1000 + b);
        EXPECT_EQ(p.CaptionButtons[b].Top, 2000 + b);
    }
    EXPECT_EQ(p.CaptionTextLeft, 11);
    EXPECT_EQ(p.CaptionTextTop, 12);
    EXPECT_EQ(p.CaptionTextRight, 13);
    EXPECT_EQ(p.CaptionTextHeight, 14);
    EXPECT_EQ(p.CaptionTextColorActive, 0x00112233u);
    EXPECT_EQ(p.CaptionTextColorInactive, 0x00445566u);
    EXPECT_EQ(p.CaptionFont.height, -13);
    EXPECT_EQ(p.CaptionFont.width, 5);
    EXPECT_EQ(p.CaptionFont.escapement, 6);
    EXPECT_EQ(p.CaptionFont.orientation, 7);
    EXPECT_EQ(p.CaptionFont.weight, 700);
    const std::uint8_t bytes[8] = {p.CaptionFont.italic,       p.CaptionFont.underline,     p.CaptionFont.strikeOut,
                                   p.CaptionFont.charSet,      p.CaptionFont.outPrecision,  p.CaptionFont.clipPrecision,
                                   p.CaptionFont.quality,      p.CaptionFont.pitchAndFamily};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(bytes[i], 21 + i) << "font byte " << i;
    EXPECT_STREQ(p.CaptionFont.faceName.data(), "Tahoma");
    EXPECT_EQ(p.Reserved11, 0xA11u);
    EXPECT_EQ(p.CaptionTextFormat, 1u);
    EXPECT_EQ(p.Reserved13, 0xA13u);
    ExpectPiece(p.IconPiece, {6, 7, 16, 16});
    EXPECT_EQ(p.Reserved15, 0xA15u);
    for (const EdgeStrip* strip : {&p.MenuBar, &p.MenuItemHot, &p.MenuItemPressed}) {
        for (const SkinPiece& piece : strip->pieces) ExpectPiece(piece, PieceNo(k++));
    }
    EXPECT_EQ(p.MenuTextColor, 0x00010203u);
    EXPECT_EQ(p.MenuTextColorHot, 0x00040506u);
    EXPECT_EQ(p.MenuTextColorPressed, 0x00070809u);
    EXPECT_EQ(p.MenuTextColorDisabled, 0x000A0B0Cu);
    EXPECT_EQ(p.MenuFont.height, -11);
    EXPECT_EQ(p.MenuFont.weight, 400);
    EXPECT_EQ(p.MenuFont.pitchAndFamily, 0x22);
    EXPECT_STREQ(p.MenuFont.faceName.data(), "Verdana");
    EXPECT_EQ(p.Reserved24[0], 0xA24u);
    EXPECT_EQ(p.Reserved24[1], 0xB24u);
    EXPECT_EQ(p.MenuBackColor, 0x00F0E0D0u);
    EXPECT_EQ(p.DropShadow, -1);
    EXPECT_EQ(p.MinTrackWidth, 540);
    EXPECT_EQ(p.MinTrackHeight, 500);
    ExpectPiece(p.ClientPiece, PieceNo(k++));
    EXPECT_EQ(p.ClientColor, kNoColour);
    EXPECT_EQ(p.Reserved30, 0xA30u);
    EXPECT_EQ(std::string(p.SkinText1.data(), 40), "One" + std::string(37, ' '));
    EXPECT_EQ(std::string(p.SkinText2.data(), 40), "Two" + std::string(37, ' '));
    EXPECT_EQ(std::string(p.SkinText3.data(), 400), std::string(399, 'x') + "!");

    EXPECT_EQ(skin.picture.width, kPicture);
    EXPECT_EQ(skin.picture.height, kPicture);
    EXPECT_EQ(skin.picture.ColourAt(199, 0), test::Pattern(199, 0));
    EXPECT_EQ(skin.picture.ColourAt(3, 150), test::Pattern(3, 150));

    // The writer gives the same records back, and its bag reads again.
    const Bytes written = WriteSkinFile(skin);
    ASSERT_GT(written.size(), kPictureBagOffset);
    EXPECT_TRUE(std::equal(hand.records().begin(), hand.records().end(), written.begin()));
    SkinFile again;
    ASSERT_EQ(ReadSkinFile(written.data(), written.size(), again), SkinFileError::kNone);
    EXPECT_EQ(again.picture.bgr, skin.picture.bgr);
    EXPECT_EQ(WriteSkinFile(again), written);
}

// A skin file read into `out` must leave it as it was on every refusal.
SkinFileError ReadOver(const Bytes& file, SkinFile& out) {
    return ReadSkinFile(file.data(), file.size(), out);
}

class SkinFileRefusal : public ::testing::Test {
protected:
    void SetUp() override {
        FillEveryMember(hand_);
        const Bytes good = hand_.File();
        ASSERT_EQ(ReadOver(good, kept_), SkinFileError::kNone);
    }
    // Reads `file` over the kept skin and checks that nothing changed.
    SkinFileError Refused(const Bytes& file) {
        const SkinFileError error = ReadOver(file, kept_);
        EXPECT_EQ(kept_.parameters.CaptionTextLeft, 11);
        EXPECT_EQ(kept_.picture.width, kPicture);
        return error;
    }
    HandSkin hand_;
    SkinFile kept_;
};

TEST_F(SkinFileRefusal, SignatureIsCheckedFirstAndCaseSensitively) {
    Bytes file = hand_.File();
    file[0] = 's', file[1] = 'k', file[2] = 'i', file[3] = 'n';
    EXPECT_EQ(Refused(file), SkinFileError::kBadSignature);
    // Also when the rest is missing too, and for files too short to hold it.
    EXPECT_EQ(Refused(Bytes(file.begin(), file.begin() + 20)), SkinFileError::kBadSignature);
    EXPECT_EQ(Refused(Bytes{'S', 'K', 'I', 'N'}), SkinFileError::kBadSignature);
    EXPECT_EQ(Refused(Bytes{}), SkinFileError::kBadSignature);
    // The refused file leaves nothing behind: a valid one reads next.
    const Bytes good = hand_.File();
    EXPECT_EQ(ReadOver(good, kept_), SkinFileError::kNone);
}

TEST_F(SkinFileRefusal, ShortFilesAndAnEmptyBag) {
    const Bytes file = hand_.File();
    EXPECT_EQ(Refused(Bytes(file.begin(), file.begin() + 5)), SkinFileError::kTruncated);
    EXPECT_EQ(Refused(Bytes(file.begin(), file.begin() + kPictureBagOffset - 1)), SkinFileError::kTruncated);
    EXPECT_EQ(Refused(Bytes(file.begin(), file.begin() + kPictureBagOffset)), SkinFileError::kBadBag);
    // Cut anywhere inside the bag: refused, never read past the end.
    for (std::size_t cut = kPictureBagOffset + 1; cut < file.size(); cut += 97) {
        const Bytes shorter(file.begin(), file.begin() + cut);
        EXPECT_NE(Refused(shorter), SkinFileError::kNone) << "cut at " << cut;
    }
}

TEST_F(SkinFileRefusal, HostilePieces) {
    struct Case {
        std::size_t offset;
        SkinPiece piece;
        SkinFileError error;
    };
    const Case cases[] = {
        {16, {0, 0, -4, 30}, SkinFileError::kBadPiece},                // negative width
        {400, {0, 0, 4, -1}, SkinFileError::kBadPiece},                // negative height, a button state
        {0, {190, 0, 11, 5}, SkinFileError::kBadPiece},                // one column past the right side
        {836, {0, 195, 4, 6}, SkinFileError::kBadPiece},               // one row past the bottom
        {1030, {-1, 0, 3, 3}, SkinFileError::kBadPiece},               // left of the picture
        {192, {0x7FFFFFF0, 0, 100, 1}, SkinFileError::kBadPiece},      // X + Width overflows 32 bits
        {48, {0, 0, 5000, 4}, SkinFileError::kTooLarge},               // beyond the piece cap
        {768, {0, 0, -16, 20}, SkinFileError::kBadPiece},              // icon of negative size
        {768, {0, 0, 16, 4097}, SkinFileError::kTooLarge},             // icon beyond the cap
    };
    for (const Case& c : cases) {
        HandSkin bad = hand_;
        bad.Piece(c.offset, c.piece);
        EXPECT_EQ(Refused(bad.File()), c.error) << "piece at " << c.offset;
    }
}

TEST_F(SkinFileRefusal, EmptyPiecesAndTheIconPlaceNeedNotLieInThePicture) {
    HandSkin odd = hand_;
    odd.Piece(0, {0, 0, 0, 0});
    odd.Piece(16, {-7, 7, 0, 0});        // adds up to zero: unused
    odd.Piece(768, {900, -3, 16, 16});   // icon place: window coordinates
    SkinFile skin;
    const Bytes file = odd.File();
    ASSERT_EQ(ReadSkinFile(file.data(), file.size(), skin), SkinFileError::kNone);
    EXPECT_TRUE(skin.parameters.ActiveFrame[kLeft].pieces[kMiddle].Empty());
    EXPECT_EQ(skin.parameters.IconPiece.X, 900);
}

TEST(SkinFileFonts, FaceNameWithoutNulIsCut) {
    HandSkin hand;
    FillEveryMember(hand);
    hand.Text(724, std::string(32, 'A'), 32, '\0');
    hand.Text(976, std::string(31, 'B'), 32, '\0');
    SkinFile skin;
    const Bytes file = hand.File();
    ASSERT_EQ(ReadSkinFile(file.data(), file.size(), skin), SkinFileError::kNone);
    EXPECT_EQ(std::string(skin.parameters.CaptionFont.faceName.data()), std::string(31, 'A'));
    EXPECT_EQ(std::string(skin.parameters.MenuFont.faceName.data()), std::string(31, 'B'));
}

}  // namespace
}  // namespace tf::skin

// Skin files built byte by byte: every member at its offset, the refusals of
// a damaged or hostile file, and the writer's exact bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "hand_bytes.h"
#include "skin/format/skin_description.h"
#include "skin/format/skin_file.h"

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

    void Put(std::size_t offset, std::uint32_t value, int width = 4) { PutLe(records_, kParams + offset, value, width); }
    void Piece(std::size_t offset, const SkinPiece& p) {
        for (std::int32_t v : {p.X, p.Y, p.Width, p.Height}) Put(offset, static_cast<std::uint32_t>(v)), offset += 4;
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

// The members that are not pieces: offset in the parameter record, width,
// value, and the description line the value must come back under.
struct Member {
    std::size_t offset;
    int width;
    std::uint32_t value;
    const char* line;
};
const Member kMembers[] = {
    {384 + 64, 4, 1000, "CaptionButton.Minimise.RightOffset 1000"},
    {384 + 68, 4, 2000, "CaptionButton.Minimise.Top 2000"},
    {384 + 72 + 64, 4, 1001, "CaptionButton.Maximise.RightOffset 1001"},
    {384 + 72 + 68, 4, 2001, "CaptionButton.Maximise.Top 2001"},
    {384 + 2 * 72 + 64, 4, 1002, "CaptionButton.Restore.RightOffset 1002"},
    {384 + 2 * 72 + 68, 4, 2002, "CaptionButton.Restore.Top 2002"},
    {384 + 3 * 72 + 64, 4, 1003, "CaptionButton.Close.RightOffset 1003"},
    {384 + 3 * 72 + 68, 4, 2003, "CaptionButton.Close.Top 2003"},
    {672, 4, 11, "CaptionTextLeft 11"},
    {676, 4, 12, "CaptionTextTop 12"},
    {680, 4, 13, "CaptionTextRight 13"},
    {684, 4, 14, "CaptionTextHeight 14"},
    {688, 4, 0x00112233, "CaptionTextColorActive #332211"},
    {692, 4, 0x00445566, "CaptionTextColorInactive #665544"},
    {696, 4, 0xFFFFFFF3, "CaptionFont.Height -13"},
    {700, 4, 5, "CaptionFont.Width 5"},
    {704, 4, 6, "CaptionFont.Escapement 6"},
    {708, 4, 7, "CaptionFont.Orientation 7"},
    {712, 4, 700, "CaptionFont.Weight 700"},
    {716, 1, 21, "CaptionFont.Italic 21"},
    {717, 1, 22, "CaptionFont.Underline 22"},
    {718, 1, 23, "CaptionFont.StrikeOut 23"},
    {719, 1, 24, "CaptionFont.CharSet 24"},
    {720, 1, 25, "CaptionFont.OutPrecision 25"},
    {721, 1, 26, "CaptionFont.ClipPrecision 26"},
    {722, 1, 27, "CaptionFont.Quality 27"},
    {723, 1, 28, "CaptionFont.PitchAndFamily 28"},
    {756, 4, 0xA11, "Reserved11 2577"},
    {760, 4, 1, "CaptionTextFormat 1"},
    {764, 4, 0xA13, "Reserved13 2579"},
    {784, 4, 0xA15, "Reserved15 2581"},
    {932, 4, 0x00010203, "MenuTextColor #030201"},
    {936, 4, 0x00040506, "MenuTextColorHot #060504"},
    {940, 4, 0x00070809, "MenuTextColorPressed #090807"},
    {944, 4, 0x000A0B0C, "MenuTextColorDisabled #0C0B0A"},
    {948, 4, 0xFFFFFFF5, "MenuFont.Height -11"},
    {964, 4, 400, "MenuFont.Weight 400"},
    {975, 1, 0x22, "MenuFont.PitchAndFamily 34"},
    {1008, 4, 0xA24, "Reserved24.1 2596"},
    {1012, 4, 0xB24, "Reserved24.2 2852"},
    {1016, 4, 0x00F0E0D0, "MenuBackColor #D0E0F0"},
    {1020, 2, 0xFFFF, "DropShadow -1"},
    {1022, 4, 540, "MinTrackSize.Width 540"},
    {1026, 4, 500, "MinTrackSize.Height 500"},
    {1046, 4, 0xFFFFFFFF, "ClientColor none"},
    {1050, 4, 0xA30, "Reserved30 2608"},
};

// Picture pieces in record order: their offsets and description names.
std::vector<std::pair<std::size_t, std::string>> PictureMembers() {
    const char* const edges[] = {"Left", "Top", "Right", "Bottom"};
    const char* const pieces[] = {"Start", "Middle", "End"};
    const char* const buttons[] = {"Minimise", "Maximise", "Restore", "Close"};
    const char* const states[] = {"Normal", "Hot", "Pressed", "Inactive"};
    std::vector<std::pair<std::size_t, std::string>> members;
    for (int e = 0; e < 4; ++e) {
        for (int p = 0; p < 3; ++p) {
            members.emplace_back(e * 48 + p * 16, std::string("ActiveFrame.") + edges[e] + "." + pieces[p]);
            members.emplace_back(192 + e * 48 + p * 16, std::string("InactiveFrame.") + edges[e] + "." + pieces[p]);
        }
    }
    for (int b = 0; b < 4; ++b) {
        for (int s = 0; s < 4; ++s) {
            members.emplace_back(384 + b * 72 + s * 16, std::string("CaptionButton.") + buttons[b] + "." + states[s]);
        }
    }
    const std::pair<std::size_t, const char*> strips[] = {{788, "MenuBar"}, {836, "MenuItemHot"}, {884, "MenuItemPressed"}};
    for (const auto& [offset, name] : strips) {
        for (int p = 0; p < 3; ++p) members.emplace_back(offset + p * 16, std::string(name) + "." + pieces[p]);
    }
    members.emplace_back(1030, "ClientPiece");
    return members;
}

// A valid skin whose members all differ.
void FillEveryMember(HandSkin& s) {
    PutLe(s.records(), 5, 0x0102, 2);  // flag words
    PutLe(s.records(), 7, 0x0304, 2);
    PutLe(s.records(), 9, 0x0506, 2);
    int k = 0;
    for (const auto& member : PictureMembers()) s.Piece(member.first, PieceNo(k++));
    for (const Member& m : kMembers) s.Put(m.offset, m.value, m.width);
    s.Piece(768, {6, 7, 16, 16});  // IconPiece
    s.Text(724, "Tahoma", 32, '\0');
    s.Text(976, "Verdana", 32, '\0');
    s.Text(1054, "One", 40, ' ');
    s.Text(1094, "Two", 40, ' ');
    s.Text(1134, std::string(399, 'x') + "!", 400, ' ');
}

TEST(SkinFileLayout, EveryMemberIsReadFromItsOffset) {
    HandSkin hand;
    FillEveryMember(hand);
    const Bytes file = hand.File();
    SkinFile skin;
    ASSERT_EQ(ReadSkinFile(file.data(), file.size(), skin), SkinFileError::kNone);

    EXPECT_EQ(std::string(skin.signature.signature.data(), 5), "SKIN#");
    const std::string text = "\n" + DescribeSkin(skin.signature, skin.parameters);
    std::vector<std::string> expected = {"Flag1 258", "Flag2 772", "Flag3 1286", "IconPiece 6 7 16 16",
                                         "CaptionFont.FaceName \"Tahoma\"", "MenuFont.FaceName \"Verdana\"",
                                         "SkinText1 \"One\"", "SkinText2 \"Two\"",
                                         "SkinText3 \"" + std::string(399, 'x') + "!\""};
    for (const Member& m : kMembers) expected.push_back(m.line);
    int k = 0;
    for (const auto& member : PictureMembers()) {
        const SkinPiece p = PieceNo(k++);
        expected.push_back(member.second + " " + std::to_string(p.X) + " " + std::to_string(p.Y) + " " +
                           std::to_string(p.Width) + " " + std::to_string(p.Height));
    }
    for (const std::string& line : expected) EXPECT_NE(text.find("\n" + line + "\n"), std::string::npos) << line;
    EXPECT_EQ(std::string(skin.parameters.SkinText1.data(), 40), "One" + std::string(37, ' '));

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

// Found by fuzzing: a menu face name of 32 spaces. The file is read, the name
// is cut to 31 spaces, and that byte is the only one a rewrite changes.
TEST(SkinFileFonts, FuzzedFaceNameOfSpaces) {
    std::ifstream in(std::string(TF_SKIN_REGRESSIONS_DIR) + "/menu-face-name-without-nul.Skin", std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SkinFile skin;
    ASSERT_EQ(ReadSkinFile(file.data(), file.size(), skin), SkinFileError::kNone);
    EXPECT_EQ(std::string(skin.parameters.MenuFont.faceName.data()), std::string(31, ' '));
    const Bytes written = WriteSkinFile(skin);
    const std::size_t lastFaceByte = kParams + 976 + 31;
    for (std::size_t i = 0; i < kPictureBagOffset; ++i) {
        if (i != lastFaceByte) {
            ASSERT_EQ(written[i], file[i]) << "byte " << i;
        }
    }
    EXPECT_EQ(written[lastFaceByte], 0);
}

}  // namespace
}  // namespace tf::skin
